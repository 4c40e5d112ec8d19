#include "com/bstr.h"
#include "com/com_object.h"
#include "results/text_field.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

com::ComPtr<com::ComObject<CTextField>> MakeField(com::Bstr value, com::Bstr contentType, com::Bstr name)
{
    com::ComPtr<com::ComObject<CTextField>> field;
    EXPECT_EQ(com::CreateComObject(field), S_OK);
    field->Init(std::move(value), std::move(contentType), std::move(name));
    return field;
}

com::Bstr Owned(const WideString& text)
{
    return com::Bstr(text);
}

TEST(TextField, ReturnsExactCopiesOfWhatInitWasGiven)
{
    // Embedded NUL and a character outside the BMP (two code units).
    const WideString value{static_cast<OLECHAR>('a'), static_cast<OLECHAR>(0), static_cast<OLECHAR>('b'),
                           static_cast<OLECHAR>(0xD83D), static_cast<OLECHAR>(0xDE00)};
    auto field = MakeField(Owned(value), Owned(OLESTR("text/plain")), Owned(OLESTR("note")));

    com::Bstr got;
    ASSERT_EQ(field->get_Value(got.Receive()), S_OK);
    EXPECT_EQ(WideString(got.Get(), got.Length()), value);
    LONG length = -1;
    ASSERT_EQ(field->get_Length(&length), S_OK);
    EXPECT_EQ(length, 5);
    ASSERT_EQ(field->get_ContentType(got.Receive()), S_OK);
    EXPECT_EQ(got.ToWide(), OLESTR("text/plain"));
    ASSERT_EQ(field->get_FieldName(got.Receive()), S_OK);
    EXPECT_EQ(got.ToWide(), OLESTR("note"));
}

TEST(TextField, NullStringsReadAsNullAndEmptyValueHasLengthZero)
{
    auto field = MakeField({}, {}, Owned(OLESTR("n")));
    BSTR value = Owned(OLESTR("stale")).Detach();
    BSTR keep = value;
    ASSERT_EQ(field->get_Value(&value), S_OK);
    EXPECT_EQ(value, nullptr);
    ::SysFreeString(keep);
    LONG length = -1;
    ASSERT_EQ(field->get_Length(&length), S_OK);
    EXPECT_EQ(length, 0);

    auto empty = MakeField(Owned(WideString()), {}, Owned(OLESTR("e")));
    com::Bstr got;
    ASSERT_EQ(empty->get_Value(got.Receive()), S_OK);
    ASSERT_NE(got.Get(), nullptr);
    EXPECT_EQ(got.Length(), 0u);
}

TEST(TextField, NullOutPointersAreInvalidArguments)
{
    auto field = MakeField(Owned(OLESTR("v")), {}, Owned(OLESTR("n")));
    EXPECT_EQ(field->get_Value(nullptr), E_INVALIDARG);
    EXPECT_EQ(field->get_Length(nullptr), E_INVALIDARG);
    EXPECT_EQ(field->get_ContentType(nullptr), E_INVALIDARG);
    EXPECT_EQ(field->get_FieldName(nullptr), E_INVALIDARG);
}

TEST(TextField, AnswersItsInterfacesAndErrorInfoForItsOwnOnly)
{
    auto field = MakeField({}, {}, {});
    com::ComPtr<ISupportErrorInfo> info;
    ASSERT_EQ(com::QueryInterfaceTo(field.Get(), IID_ISupportErrorInfo, info), S_OK);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_ITextField), S_OK);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IUploadedFile), S_FALSE);
    com::ComPtr<IDispatch> dispatch;
    EXPECT_EQ(com::QueryInterfaceTo(field.Get(), IID_IDispatch, dispatch), S_OK);
    com::ComPtr<IUploadedFile> other;
    EXPECT_EQ(com::QueryInterfaceTo(field.Get(), IID_IUploadedFile, other), E_NOINTERFACE);
}

} // namespace
