// The result objects as a script reaches them. Everywhere: the members that a script's calls end
// in answer as the script must see them, and a failure leaves the error object (source,
// description) and maps to the code a script shows. Under Wine, where the harness has registered
// the DLL, the same calls also go through IDispatch and the registered type library: DISPIDs,
// default members, unused DISPIDs, and a failure arriving as DISP_E_EXCEPTION. The POSIX stand-in
// has no type library, so that part is built for Windows only.

#include "com/bstr.h"
#include "com/com_object.h"
#include "com/error_info.h"
#include "com/variant.h"
#include "results/text_field.h"
#include "results/text_field_collection.h"
#include "results/uploaded_file.h"
#include "tests/unit/test_temp_dir.h"

#include <gtest/gtest.h>

namespace {

// An UploadedFile of three bytes, named "f".
com::ComPtr<com::ComObject<CUploadedFile>> MakeFile(testing_support::TestTempDir& dir)
{
    com::ComPtr<com::ComObject<CUploadedFile>> file;
    EXPECT_EQ(com::CreateComObject(file), S_OK);
    file->Init({}, {}, com::Bstr(OLESTR("f")), com::Bstr(dir.Write("tmp", "abc")));
    return file;
}

com::ComPtr<com::ComObject<CTextField>> MakeText(const OLECHAR* name, const OLECHAR* value)
{
    com::ComPtr<com::ComObject<CTextField>> text;
    EXPECT_EQ(com::CreateComObject(text), S_OK);
    text->Init(com::Bstr(value), {}, com::Bstr(name));
    return text;
}

// A Form holding one field, "name" = "v".
com::ComPtr<com::ComObject<CTextFieldCollection>> MakeForm()
{
    com::ComPtr<com::ComObject<CTextFieldCollection>> form;
    EXPECT_EQ(com::CreateComObject(form), S_OK);
    form->Add(static_cast<ITextField*>(MakeText(OLESTR("name"), OLESTR("v")).Get()));
    return form;
}

com::Variant SmallInteger(SHORT value)
{
    com::Variant index;
    index.Get()->vt = VT_I2;
    index.Get()->iVal = value;
    return index;
}

const WideString kItemZeroDescription = OLESTR("Item: there is no item 0 in a collection of 1 items");

TEST(DispatchSurface, MembersAnswerAndAFailureLeavesWhatAScriptShows)
{
    testing_support::TestTempDir dir;
    auto file = MakeFile(dir);
    LONG length = 0;
    ASSERT_EQ(file->get_ContentLength(&length), S_OK);
    EXPECT_EQ(length, 3);
    auto text = MakeText(OLESTR("t"), OLESTR("value"));
    com::Bstr value;
    ASSERT_EQ(text->get_Value(value.Receive()), S_OK);
    EXPECT_EQ(value.ToWide(), OLESTR("value"));

    auto form = MakeForm();
    com::Variant result;
    ASSERT_EQ(form->Item(*SmallInteger(1).Get(), result.Get()), S_OK);
    EXPECT_EQ(result.Type(), VT_DISPATCH);

    EXPECT_EQ(form->Item(*SmallInteger(0).Get(), result.Receive()), E_INVALIDARG);
    com::ComPtr<IErrorInfo> error;
    ASSERT_EQ(::GetErrorInfo(0, error.Receive()), S_OK);
    ASSERT_TRUE(error);
    com::Bstr source;
    com::Bstr description;
    ASSERT_EQ(error->GetSource(source.Receive()), S_OK);
    ASSERT_EQ(error->GetDescription(description.Receive()), S_OK);
    EXPECT_EQ(source.ToWide(), OLESTR("Kestrune.TextFieldCollection"));
    EXPECT_EQ(description.ToWide(), kItemZeroDescription);
    // With that error object, a script shows run-time error 5, as it would for the bare code.
    EXPECT_EQ(com::ScriptErrorCode(E_INVALIDARG), static_cast<SCODE>(0x800A0005));
}

#ifdef _WIN32
HRESULT Get(IDispatch* object, DISPID id, VARIANT* result, EXCEPINFO* error, VARIANT* argument = nullptr)
{
    DISPPARAMS params{argument, nullptr, argument ? 1u : 0u, 0};
    UINT badArgument = 0;
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result,
                          error, &badArgument);
}

// The Wine harness registers the DLL before the unit suite: a library that cannot be loaded is a
// failure here, not a reason to skip.
void ExpectRegisteredLibrary(IDispatch* object)
{
    com::ComPtr<ITypeInfo> info;
    ASSERT_EQ(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Receive()), S_OK) << "no registered type library";
}

TEST(DispatchSurface, UnusedDispidsAreNotMembers)
{
    testing_support::TestTempDir dir;
    auto file = MakeFile(dir);
    auto text = MakeText(OLESTR("t"), OLESTR("value"));
    IDispatch* fileDispatch = static_cast<IUploadedFile*>(file.Get());
    IDispatch* textDispatch = static_cast<ITextField*>(text.Get());
    ASSERT_NO_FATAL_FAILURE(ExpectRegisteredLibrary(fileDispatch));

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
    auto form = MakeForm();
    IDispatch* dispatch = static_cast<ITextFieldCollection*>(form.Get());
    ASSERT_NO_FATAL_FAILURE(ExpectRegisteredLibrary(dispatch));

    com::Variant result;
    EXCEPINFO error{};
    ASSERT_EQ(Get(dispatch, DISPID_VALUE, result.Get(), &error, SmallInteger(1).Get()), S_OK);
    EXPECT_EQ(result.Type(), VT_DISPATCH);

    // The failure comes with the collection's description, under the code a script shows for an
    // invalid argument (run-time error 5), as it would without the description.
    EXPECT_EQ(Get(dispatch, DISPID_VALUE, result.Receive(), &error, SmallInteger(0).Get()), DISP_E_EXCEPTION);
    EXPECT_EQ(error.scode, static_cast<SCODE>(0x800A0005));
    EXPECT_EQ(com::Bstr::ToWide(error.bstrSource), OLESTR("Kestrune.TextFieldCollection"));
    EXPECT_EQ(com::Bstr::ToWide(error.bstrDescription), kItemZeroDescription);
    ::SysFreeString(error.bstrSource);
    ::SysFreeString(error.bstrDescription);
    ::SysFreeString(error.bstrHelpFile);
}
#endif

} // namespace
