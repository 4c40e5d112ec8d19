// Bstr: owner of one BSTR (freed with SysFreeString), plus the conversions between BSTR and
// WideString that every member needs.
//
//   com::Bstr name(fieldName_);              // copy of a WideString; E_OUTOFMEMORY on failure
//   *pVal = name.Detach();                      // hand it to the caller
//   com::Bstr::CopyOut(value_, pVal);          // the same in one step
//   WideString dir = com::Bstr::ToWide(TempDir);   // up to the first NUL; null counts as empty
//   com::Bstr s; pRequest->get_Something(s.Receive());   // take ownership of an out BSTR
//   com::Bstr value = com::Bstr::WithRoom(bound);   // write up to bound characters at value.Get(),
//   value.Truncate(written);                             // then keep the ones written
//
// A failed allocation throws com::ComError(E_OUTOFMEMORY).
#pragma once

#include "com/com_error.h"
#include "platform/win.h"

#include <climits>
#include <utility>

namespace com {

class Bstr {
public:
    Bstr() noexcept = default;
    /// Copies a NUL-terminated string; a null pointer gives a null BSTR.
    explicit Bstr(const OLECHAR* text) : bstr_(text ? Allocate(text, Length(text)) : nullptr) {}
    /// Copies the whole string, embedded NULs included.
    explicit Bstr(const WideString& text) : bstr_(Allocate(text.data(), text.size())) {}
    ~Bstr() { Reset(); }

    Bstr(Bstr&& other) noexcept : bstr_(std::exchange(other.bstr_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept
    {
        if (this != &other) {
            Reset();
            bstr_ = std::exchange(other.bstr_, nullptr);
        }
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    /// Takes ownership of an existing BSTR.
    static Bstr Attach(BSTR owned) noexcept
    {
        Bstr b;
        b.bstr_ = owned;
        return b;
    }

    /// A string of `length` characters for the caller to write (Get() is the first of them).
    static Bstr WithRoom(size_t length)
    {
        Bstr b;
        b.bstr_ = Allocate(nullptr, length);
        return b;
    }

    /// Shortens the string to its first `length` characters (at most Length()), in its own memory
    /// where the allocator can; a failure leaves the string as it was.
    void Truncate(UINT length)
    {
        if (length < Length() && !::SysReAllocStringLen(&bstr_, bstr_, length))
            throw ComError(E_OUTOFMEMORY);
    }

    /// Gives up ownership; the caller frees the result.
    BSTR Detach() noexcept { return std::exchange(bstr_, nullptr); }

    BSTR Get() const noexcept { return bstr_; }

    /// Frees the current string and returns the slot for a callee's [out] BSTR.
    BSTR* Receive() noexcept
    {
        Reset();
        return &bstr_;
    }

    void Reset() noexcept
    {
        if (bstr_)
            ::SysFreeString(bstr_);
        bstr_ = nullptr;
    }

    /// Number of characters (the length prefix); 0 for a null BSTR.
    UINT Length() const noexcept { return bstr_ ? ::SysStringLen(bstr_) : 0; }

    /// The text up to its first NUL.
    WideString ToWide() const { return ToWide(bstr_); }

    /// Text of a BSTR up to its first NUL; a null BSTR gives an empty string.
    static WideString ToWide(const OLECHAR* text) { return text ? WideString(text, Length(text)) : WideString(); }

    /// Allocates a copy of text into *out (which must not be null); E_OUTOFMEMORY on failure.
    static void CopyOut(const WideString& text, BSTR* out) { *out = Allocate(text.data(), text.size()); }

private:
    static size_t Length(const OLECHAR* text) noexcept
    {
        size_t n = 0;
        while (text[n])
            ++n;
        return n;
    }

    static BSTR Allocate(const OLECHAR* text, size_t length)
    {
        if (length > UINT_MAX)
            throw ComError(E_OUTOFMEMORY);
        BSTR b = ::SysAllocStringLen(text, static_cast<UINT>(length));
        if (!b)
            throw ComError(E_OUTOFMEMORY);
        return b;
    }

    BSTR bstr_ = nullptr;
};

} // namespace com
