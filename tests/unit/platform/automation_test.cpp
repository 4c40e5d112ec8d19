// BSTR, VARIANT and SAFEARRAY: the ownership and conversion rules callers rely on.
#include "platform/win.h"
#include "test_objects.h"

#include <gtest/gtest.h>

#include <cstring>

using platform_test::CountedDispatch;

namespace {

WideString Text(BSTR b)
{
    return WideString(b, SysStringLen(b));
}

/// Converts v to a string with VariantChangeType; the HRESULT and the text.
std::pair<HRESULT, WideString> ToText(const VARIANT& v)
{
    VARIANT out;
    VariantInit(&out);
    HRESULT hr = VariantChangeType(&out, const_cast<VARIANT*>(&v), 0, VT_BSTR);
    WideString text = SUCCEEDED(hr) && out.vt == VT_BSTR ? Text(out.bstrVal) : WideString();
    VariantClear(&out);
    return {hr, text};
}

} // namespace

TEST(Bstr, LengthPrefixCountsEmbeddedNulsAndTerminates)
{
    const OLECHAR text[] = OLESTR("ab\0cd");
    BSTR b = SysAllocStringLen(text, 5);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 5u);
    EXPECT_EQ(SysStringByteLen(b), 10u);
    EXPECT_EQ(b[2], 0);
    EXPECT_EQ(b[4], OLECHAR('d'));
    EXPECT_EQ(b[5], 0); // terminator after the counted characters
    DWORD prefix;
    std::memcpy(&prefix, reinterpret_cast<char*>(b) - 4, 4);
    EXPECT_EQ(prefix, 10u);
    SysFreeString(b);

    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    BSTR stopsAtNul = SysAllocString(text);
    EXPECT_EQ(SysStringLen(stopsAtNul), 2u);
    SysFreeString(stopsAtNul);
    SysFreeString(nullptr);
}

TEST(Bstr, ByteLengthAndReallocationFromItself)
{
    BSTR odd = SysAllocStringByteLen("abc", 3);
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(SysStringByteLen(odd), 3u);
    EXPECT_EQ(SysStringLen(odd), 1u);
    BSTR copy = SysAllocString(odd); // reads up to a whole NUL character: must stay inside the block
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(SysStringLen(copy), 2u); // "ab" and "c" with the first padding byte
    SysFreeString(copy);
    SysFreeString(odd);

    BSTR b = SysAllocString(OLESTR("hello world"));
    ASSERT_TRUE(SysReAllocString(&b, b + 6)); // source inside the string being replaced
    EXPECT_EQ(Text(b), WideString(OLESTR("world")));
    ASSERT_TRUE(SysReAllocStringLen(&b, OLESTR("xy\0z"), 4));
    EXPECT_EQ(SysStringLen(b), 4u);
    SysFreeString(b);
}

TEST(VariantChangeType, ObjectGivesItsDefaultValue)
{
    CountedDispatch withDefault(OLESTR("multipart/form-data; boundary=x"));
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = &withDefault;
    auto [hr, text] = ToText(v);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(text, WideString(OLESTR("multipart/form-data; boundary=x")));
    EXPECT_EQ(withDefault.Invocations(), 1);
    EXPECT_EQ(withDefault.References(), 1u);

    // Converted in place, the object reference held by the variant is released.
    withDefault.AddRef();
    EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(withDefault.References(), 1u);
    VariantClear(&v);

    CountedDispatch withoutDefault;
    v.vt = VT_DISPATCH;
    v.pdispVal = &withoutDefault;
    EXPECT_EQ(ToText(v).first, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(withoutDefault.References(), 1u);

    v.pdispVal = nullptr;
    EXPECT_TRUE(FAILED(ToText(v).first));
}

TEST(VariantChangeType, EmptyNullNumbersAndBooleansToText)
{
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(ToText(v), std::make_pair(S_OK, WideString()));
    v.vt = VT_NULL;
    EXPECT_EQ(ToText(v).first, DISP_E_TYPEMISMATCH);
    v.vt = VT_I4;
    v.lVal = -2147483647 - 1;
    EXPECT_EQ(ToText(v).second, WideString(OLESTR("-2147483648")));
    v.vt = VT_UI4;
    v.ulVal = 4294967295u;
    EXPECT_EQ(ToText(v).second, WideString(OLESTR("4294967295")));
    v.vt = VT_I2;
    v.iVal = -7;
    EXPECT_EQ(ToText(v).second, WideString(OLESTR("-7")));
    v.vt = VT_UI1;
    v.bVal = 200;
    EXPECT_EQ(ToText(v).second, WideString(OLESTR("200")));
    v.vt = VT_R8;
    v.dblVal = 1e20;
    EXPECT_EQ(ToText(v).second, WideString(OLESTR("1E+20")));
    v.dblVal = 1.0 / 3;
    EXPECT_EQ(ToText(v).second, WideString(OLESTR("0.333333333333333")));
    v.dblVal = 1.5e-7;
    EXPECT_EQ(ToText(v).second, WideString(OLESTR("1.5E-07")));
    v.vt = VT_BOOL;
    v.boolVal = VARIANT_TRUE;
    EXPECT_EQ(ToText(v).second, WideString(OLESTR("-1")));
}

TEST(VariantChangeType, TextAndReferencesToIntegers)
{
    VARIANT v, out;
    VariantInit(&v);
    VariantInit(&out);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(OLESTR(" 2.5 "));
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_I4), S_OK);
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, 2); // halves round to even
    SysReAllocString(&v.bstrVal, OLESTR("3.5"));
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_I4), S_OK);
    EXPECT_EQ(out.lVal, 4);
    SysReAllocString(&v.bstrVal, OLESTR("-1"));
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_UI4), DISP_E_OVERFLOW);
    SysReAllocString(&v.bstrVal, OLESTR("abc"));
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_I4), DISP_E_TYPEMISMATCH);
    SysReAllocString(&v.bstrVal, OLESTR(""));
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_I4), DISP_E_TYPEMISMATCH);
    SysReAllocString(&v.bstrVal, OLESTR("4294967295"));
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_UI4), S_OK);
    EXPECT_EQ(out.ulVal, 4294967295u);
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_I4), DISP_E_OVERFLOW);
    VariantClear(&v);

    // A script variable arrives as a reference to a variant.
    VARIANT inner;
    VariantInit(&inner);
    inner.vt = VT_I2;
    inner.iVal = 42;
    v.vt = VT_BYREF | VT_VARIANT;
    v.pvarVal = &inner;
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_I4), S_OK);
    EXPECT_EQ(out.lVal, 42);
    LONG number = 7;
    v.vt = VT_BYREF | VT_I4;
    v.plVal = &number;
    EXPECT_EQ(ToText(v).second, WideString(OLESTR("7")));
    VariantClear(&out);
}

TEST(VariantCopy, ClearsTheDestinationAndCopiesDeeply)
{
    CountedDispatch held;
    VARIANT dest, src;
    VariantInit(&dest);
    VariantInit(&src);
    held.AddRef();
    dest.vt = VT_DISPATCH;
    dest.pdispVal = &held;
    src.vt = VT_BSTR;
    src.bstrVal = SysAllocStringLen(OLESTR("a\0b"), 3);
    EXPECT_EQ(VariantCopy(&dest, &src), S_OK);
    EXPECT_EQ(held.References(), 1u); // the old object was released
    ASSERT_EQ(dest.vt, VT_BSTR);
    EXPECT_NE(dest.bstrVal, src.bstrVal);
    EXPECT_EQ(Text(dest.bstrVal), WideString(OLESTR("a\0b"), 3));

    // Copying an object adds a reference; clearing drops it.
    VariantClear(&src);
    src.vt = VT_DISPATCH;
    src.pdispVal = &held;
    EXPECT_EQ(VariantCopy(&dest, &src), S_OK);
    EXPECT_EQ(held.References(), 2u);
    VariantClear(&dest);
    EXPECT_EQ(held.References(), 1u);
    EXPECT_EQ(dest.vt, VT_EMPTY);
}

TEST(VariantCopyInd, LooksThroughOneReference)
{
    BSTR name = SysAllocString(OLESTR("file1"));
    VARIANT ref, out;
    VariantInit(&out);
    ref.vt = VT_BYREF | VT_BSTR;
    ref.pbstrVal = &name;
    EXPECT_EQ(VariantCopyInd(&out, &ref), S_OK);
    ASSERT_EQ(out.vt, VT_BSTR);
    EXPECT_NE(out.bstrVal, name);
    EXPECT_EQ(Text(out.bstrVal), WideString(OLESTR("file1")));

    VARIANT inner;
    VariantInit(&inner);
    inner.vt = VT_I4;
    inner.lVal = 3;
    ref.vt = VT_BYREF | VT_VARIANT;
    ref.pvarVal = &inner;
    EXPECT_EQ(VariantCopyInd(&out, &ref), S_OK); // the old string in out is freed
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, 3);
    SysFreeString(name);
}

TEST(SafeArray, ByteVectorAccessLockingAndBounds)
{
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, 8192);
    ASSERT_NE(psa, nullptr);
    EXPECT_EQ(SafeArrayGetDim(psa), 1u);
    EXPECT_EQ(SafeArrayGetElemsize(psa), 1u);
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
    EXPECT_EQ(vt, VT_UI1);
    LONG lower = -1, upper = -1;
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &upper), S_OK);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 8191);
    EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lower), DISP_E_BADINDEX);

    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
    static_cast<BYTE*>(data)[8191] = 0xAB;
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayUnlock(psa), E_UNEXPECTED); // not locked any more

    BYTE last = 0;
    LONG index = 8191;
    EXPECT_EQ(SafeArrayGetElement(psa, &index, &last), S_OK);
    EXPECT_EQ(last, 0xAB);
    index = 8192;
    EXPECT_EQ(SafeArrayGetElement(psa, &index, &last), DISP_E_BADINDEX);

    // A variant owning the array copies it whole and destroys it on clear.
    VARIANT v, copy;
    VariantInit(&v);
    VariantInit(&copy);
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = psa;
    EXPECT_EQ(VariantCopy(&copy, &v), S_OK);
    EXPECT_NE(copy.parray, psa);
    EXPECT_EQ(SafeArrayAccessData(copy.parray, &data), S_OK);
    EXPECT_EQ(static_cast<BYTE*>(data)[8191], 0xAB);
    SafeArrayUnaccessData(copy.parray);
    EXPECT_EQ(VariantClear(&copy), S_OK);
    EXPECT_EQ(VariantClear(&v), S_OK);
}

TEST(SafeArray, LowerBoundOtherThanZero)
{
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 1, 3);
    ASSERT_NE(psa, nullptr);
    LONG upper = 0;
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &upper), S_OK);
    EXPECT_EQ(upper, 3);
    BYTE value = 9;
    LONG index = 0;
    EXPECT_EQ(SafeArrayPutElement(psa, &index, &value), DISP_E_BADINDEX);
    index = 3;
    EXPECT_EQ(SafeArrayPutElement(psa, &index, &value), S_OK);
    EXPECT_EQ(static_cast<BYTE*>(psa->pvData)[2], 9);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}
