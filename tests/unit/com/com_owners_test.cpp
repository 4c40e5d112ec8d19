#include "com/bstr.h"
#include "com/com_boundary.h"
#include "com/com_ptr.h"
#include "com/safe_array.h"
#include "com/variant.h"
#include "platform/win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>

namespace {

TEST(ComBoundary, TranslatesEveryExceptionIntoAnHresult)
{
    EXPECT_EQ(com::ComBoundary([] {}), S_OK);
    EXPECT_EQ(com::ComBoundary([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(com::ComBoundary([] { return E_POINTER; }), E_POINTER);
    EXPECT_EQ(com::ComBoundary([]() -> HRESULT { throw com::ComError(E_OUTOFMEMORY); }), E_OUTOFMEMORY);
    EXPECT_EQ(com::ComBoundary([] { com::ThrowIfFailed(DISP_E_TYPEMISMATCH); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(com::ComBoundary([] { com::ThrowIfFailed(S_FALSE); }), S_OK);
    // Only a ComError chooses its HRESULT: an allocation failure is an internal failure like any other.
    EXPECT_EQ(com::ComBoundary([] { throw std::bad_alloc(); }), E_FAIL);
    EXPECT_EQ(com::ComBoundary([] { throw std::runtime_error("x"); }), E_FAIL);
    EXPECT_EQ(com::ComBoundary([] { throw 7; }), E_FAIL);
}

TEST(Bstr, ConvertsUpToTheFirstNulAndTreatsNullAsEmpty)
{
    EXPECT_EQ(com::Bstr::ToWide(nullptr), WideString());
    const WideString withNul(OLESTR("ab\0cd"), 5);
    com::Bstr b(withNul);
    EXPECT_EQ(b.Length(), 5u) << "the BSTR keeps the whole string";
    EXPECT_EQ(b.ToWide(), WideString(OLESTR("ab")));
    EXPECT_EQ(b.Get()[5], OLECHAR(0)) << "terminated after its length";

    com::Bstr empty(WideString{});
    EXPECT_NE(empty.Get(), nullptr);
    EXPECT_EQ(empty.Length(), 0u);
    EXPECT_EQ(com::Bstr(static_cast<const OLECHAR*>(nullptr)).Get(), nullptr);
}

TEST(Bstr, WithRoomThenTruncateKeepsTheCharactersWritten)
{
    com::Bstr b = com::Bstr::WithRoom(6);
    ASSERT_EQ(b.Length(), 6u);
    std::memcpy(b.Get(), OLESTR("abcdef"), 6 * sizeof(OLECHAR));
    b.Truncate(3);
    EXPECT_EQ(::SysStringByteLen(b.Get()), 3 * sizeof(OLECHAR));
    EXPECT_EQ(WideString(b.Get(), b.Length()), WideString(OLESTR("abc")));
    EXPECT_EQ(b.Get()[3], OLECHAR(0)) << "terminated after the new length";
    b.Truncate(5);
    EXPECT_EQ(b.Length(), 3u) << "a length above the string's changes nothing";
    b.Truncate(0);
    ASSERT_NE(b.Get(), nullptr);
    EXPECT_EQ(b.Length(), 0u);
    EXPECT_EQ(b.Get()[0], OLECHAR(0));
}

TEST(Bstr, TransfersOwnership)
{
    com::Bstr a(OLESTR("text"));
    BSTR raw = a.Get();
    com::Bstr b(std::move(a));
    EXPECT_EQ(a.Get(), nullptr);
    EXPECT_EQ(b.Get(), raw);
    BSTR out = b.Detach();
    EXPECT_EQ(b.Get(), nullptr);
    com::Bstr c = com::Bstr::Attach(out);
    EXPECT_EQ(c.ToWide(), WideString(OLESTR("text")));

    BSTR copy = nullptr;
    com::Bstr::CopyOut(OLESTR("value"), &copy);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(::SysStringLen(copy), 5u);
    ::SysFreeString(copy);

    BSTR* slot = c.Receive();
    EXPECT_EQ(*slot, nullptr) << "Receive frees the old string first";
}

TEST(Variant, CopiesDeeplyAndDetachesIntoUninitialisedStorage)
{
    com::Variant source;
    source.Get()->vt = VT_BSTR;
    source.Get()->bstrVal = ::SysAllocString(OLESTR("name"));

    com::Variant copy;
    copy.CopyFrom(*source.Get());
    ASSERT_EQ(copy.Type(), VT_BSTR);
    EXPECT_NE(copy.Get()->bstrVal, source.Get()->bstrVal);

    // A script variable arrives as a reference to a VARIANT.
    VARIANT byRef;
    ::VariantInit(&byRef);
    byRef.vt = VT_BYREF | VT_VARIANT;
    byRef.pvarVal = source.Get();
    com::Variant resolved;
    resolved.CopyIndirectFrom(byRef);
    ASSERT_EQ(resolved.Type(), VT_BSTR);
    EXPECT_EQ(com::Bstr::ToWide(resolved.Get()->bstrVal), WideString(OLESTR("name")));

    VARIANT out;
    std::memset(&out, 0xCD, sizeof out);
    copy.Detach(&out);
    EXPECT_EQ(copy.Type(), VT_EMPTY);
    EXPECT_EQ(out.vt, VT_BSTR);
    ::VariantClear(&out);

    com::Variant moved(std::move(resolved));
    EXPECT_EQ(resolved.Type(), VT_EMPTY);
    EXPECT_EQ(moved.Type(), VT_BSTR);
}

// A bare IUnknown that counts its references.
class Counted : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
    long refs = 0;
};

TEST(ComPtr, CountsReferencesThroughCopyMoveAndRelease)
{
    Counted object;
    {
        com::ComPtr<IUnknown> a(&object);
        EXPECT_EQ(object.refs, 1);
        com::ComPtr<IUnknown> b = a;
        EXPECT_EQ(object.refs, 2);
        com::ComPtr<IUnknown> c = std::move(b);
        EXPECT_EQ(object.refs, 2);
        EXPECT_FALSE(b);
        c = a;
        EXPECT_EQ(object.refs, 2);
        c = c;
        EXPECT_EQ(object.refs, 2);

        IUnknown* out = nullptr;
        EXPECT_EQ(a.CopyTo(&out), S_OK);
        EXPECT_EQ(object.refs, 3);
        out->Release();
        EXPECT_EQ(a.CopyTo(nullptr), E_POINTER);

        IUnknown* detached = c.Detach();
        EXPECT_EQ(object.refs, 2);
        auto attached = com::ComPtr<IUnknown>::Attach(detached);
        EXPECT_EQ(object.refs, 2);
        *attached.Receive() = nullptr;
        EXPECT_EQ(object.refs, 1) << "Receive releases the old reference";
    }
    EXPECT_EQ(object.refs, 0);
}

TEST(SafeArray, DataIsLockedForItsScopeSoThatTheOwnerCanDestroyTheArray)
{
    com::SafeArray array(::SafeArrayCreateVector(VT_UI1, 0, 4));
    ASSERT_TRUE(array);
    {
        const com::SafeArrayData outer(array.get());
        ASSERT_TRUE(outer);
        outer.Bytes()[3] = 0x5A;
        const com::SafeArrayData inner(array.get());
        EXPECT_EQ(inner.Data(), outer.Data());
        EXPECT_EQ(array->cLocks, 2u);
        EXPECT_EQ(::SafeArrayDestroy(array.get()), DISP_E_ARRAYISLOCKED);
    }
    EXPECT_EQ(array->cLocks, 0u) << "every lock ends with its scope";
    BYTE last = 0;
    LONG index = 3;
    ASSERT_EQ(::SafeArrayGetElement(array.get(), &index, &last), S_OK);
    EXPECT_EQ(last, 0x5A);

    const com::SafeArrayData none(nullptr);
    EXPECT_FALSE(none);
    EXPECT_EQ(none.Bytes(), nullptr);
    // `array` destroys the array now unlocked; LeakSanitizer would report it otherwise.
}

} // namespace
