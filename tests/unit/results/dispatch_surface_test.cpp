// The result objects as a script reaches them, through IDispatch and the registered type library.
// Where no library is registered (the POSIX build) these tests are skipped; under Wine they run.

#include "com/bstr.h"
#include "com/com_object.h"
#include "com/variant.h"
#include "results/text_field.h"
#include "results/text_field_collection.h"
#include "results/uploaded_file.h"
#include "tests/unit/test_temp_dir.h"

#include <gtest/gtest.h>

namespace {

bool LibraryRegistered(IDispatch* object)
{
    com::ComPtr<ITypeInfo> info;
    return SUCCEEDED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Receive()));
}

HRESULT Get(IDispatch* object, DISPID id, VARIANT* result, EXCEPINFO* error, VARIANT* argument = nullptr)
{
    DISPPARAMS params{argument, nullptr, argument ? 1u : 0u, 0};
    UINT badArgument = 0;
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result,
                          error, &badArgument);
}

TEST(DispatchSurface, UnusedDispidsAreNotMembers)
{
    testing_support::TestTempDir dir;
    com::ComPtr<com::ComObject<CUploadedFile>> file;
    ASSERT_EQ(com::CreateComObject(file), S_OK);
    file->Init({}, {}, com::Bstr(OLESTR("f")), com::Bstr(dir.Write("tmp", "abc")));
    com::ComPtr<com::ComObject<CTextField>> text;
    ASSERT_EQ(com::CreateComObject(text), S_OK);
    text->Init(com::Bstr(OLESTR("value")), {}, com::Bstr(OLESTR("t")));
    IDispatch* fileDispatch = static_cast<IUploadedFile*>(file.Get());
    IDispatch* textDispatch = static_cast<ITextField*>(text.Get());
    if (!LibraryRegistered(fileDispatch))
        GTEST_SKIP() << "no registered type library";

    EXCEPINFO error{};
    com::Variant result;
    EXPECT_EQ(Get(fileDispatch, 6, result.Get(), &error), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Get(textDispatch, 1, result.Receive(), &error), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Get(textDispatch, 4, result.Receive(), &error), DISP_E_MEMBERNOTFOUND);

    // Neighbouring members answer; Value is the default member.
    ASSERT_EQ(Get(fileDispatch, 2, result.Receive(), &error), S_OK);
    EXPECT_EQ(result.Get()->lVal, 3);
    ASSERT_EQ(Get(textDispatch, DISPID_VALUE, result.Receive(), &error), S_OK);
    ASSERT_EQ(result.Type(), VT_BSTR);
    EXPECT_EQ(com::Bstr::ToWide(result.Get()->bstrVal), OLESTR("value"));
}

TEST(DispatchSurface, CollectionItemIsTheDefaultMemberAndItsFailuresReachTheCaller)
{
    com::ComPtr<com::ComObject<CTextFieldCollection>> form;
    ASSERT_EQ(com::CreateComObject(form), S_OK);
    com::ComPtr<com::ComObject<CTextField>> text;
    ASSERT_EQ(com::CreateComObject(text), S_OK);
    text->Init(com::Bstr(OLESTR("v")), {}, com::Bstr(OLESTR("name")));
    form->Add(static_cast<ITextField*>(text.Get()));
    IDispatch* dispatch = static_cast<ITextFieldCollection*>(form.Get());
    if (!LibraryRegistered(dispatch))
        GTEST_SKIP() << "no registered type library";

    com::Variant index;
    index.Get()->vt = VT_I2;
    index.Get()->iVal = 1;
    com::Variant result;
    EXCEPINFO error{};
    ASSERT_EQ(Get(dispatch, DISPID_VALUE, result.Get(), &error, index.Get()), S_OK);
    EXPECT_EQ(result.Type(), VT_DISPATCH);

    // The failure comes with the collection's description, under the code a script shows for an
    // invalid argument (run-time error 5), as it would without the description.
    index.Get()->iVal = 0;
    EXPECT_EQ(Get(dispatch, DISPID_VALUE, result.Receive(), &error, index.Get()), DISP_E_EXCEPTION);
    EXPECT_EQ(error.scode, static_cast<SCODE>(0x800A0005));
    EXPECT_EQ(com::Bstr::ToWide(error.bstrSource), OLESTR("Kestrune.TextFieldCollection"));
    EXPECT_EQ(com::Bstr::ToWide(error.bstrDescription), OLESTR("Item: there is no item 0 in a collection of 1 items"));
    ::SysFreeString(error.bstrSource);
    ::SysFreeString(error.bstrDescription);
    ::SysFreeString(error.bstrHelpFile);
}

} // namespace
