// Variant: owner of one VARIANT (initialised on construction, cleared on destruction).
//
//   com::Variant v;
//   com::ThrowIfFailed(dict->get_Item(key.Get(), v.Receive()));   // callee fills it
//   com::ThrowIfFailed(::VariantChangeType(v.Get(), v.Get(), 0, VT_BSTR));
//   v.CopyFrom(*index);            // VariantCopy into a cleared owner
//   v.Detach(pItem);               // move into an uninitialised [out] VARIANT
//
// Failures of VariantCopy / VariantCopyInd throw com::ComError with their HRESULT.
#pragma once

#include "com/com_error.h"
#include "platform/win.h"

#include <cstring>

namespace com {

class Variant {
public:
    Variant() noexcept { ::VariantInit(&v_); }
    ~Variant() { Clear(); }

    Variant(Variant&& other) noexcept
    {
        std::memcpy(&v_, &other.v_, sizeof v_);
        ::VariantInit(&other.v_);
    }
    Variant& operator=(Variant&& other) noexcept
    {
        if (this != &other) {
            Clear();
            std::memcpy(&v_, &other.v_, sizeof v_);
            ::VariantInit(&other.v_);
        }
        return *this;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* Get() noexcept { return &v_; }
    const VARIANT* Get() const noexcept { return &v_; }
    VARTYPE Type() const noexcept { return v_.vt; }

    /// Clears the current value and returns the slot for a callee's [out] VARIANT.
    VARIANT* Receive() noexcept
    {
        Clear();
        return &v_;
    }

    void Clear() noexcept
    {
        ::VariantClear(&v_);
        ::VariantInit(&v_);
    }

    /// Replaces the value with a copy of source.
    void CopyFrom(const VARIANT& source)
    {
        Clear();
        ThrowIfFailed(::VariantCopy(&v_, const_cast<VARIANT*>(&source)));
    }

    /// Replaces the value with a copy of source, looking through one VT_BYREF level.
    void CopyIndirectFrom(const VARIANT& source)
    {
        Clear();
        ThrowIfFailed(::VariantCopyInd(&v_, const_cast<VARIANT*>(&source)));
    }

    /// Moves the value into *out without reading it (an [out] VARIANT may be uninitialised);
    /// this owner is left empty.
    void Detach(VARIANT* out) noexcept
    {
        std::memcpy(out, &v_, sizeof v_);
        ::VariantInit(&v_);
    }

private:
    VARIANT v_;
};

} // namespace com
