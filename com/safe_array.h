// SafeArray: owner of one SAFEARRAY (destroyed with SafeArrayDestroy). SafeArrayData: a
// SAFEARRAY's data locked (SafeArrayAccessData) for a scope, unlocked on every exit.
//
//   com::SafeArray bytes = com::SafeArray::Attach(::SafeArrayCreateVector(VT_UI1, 0, n));
//   if (!bytes) return E_OUTOFMEMORY;
//   {
//       com::SafeArrayData data(bytes.Get());
//       if (!data) return E_FAIL;                  // the data could not be locked
//       std::memcpy(data.Bytes(), source, n);
//   }
//   *out = bytes.Detach();                         // hand it to the caller
//
// Neither owner throws.
#pragma once

#include "platform/win.h"

#include <utility>

namespace com {

class SafeArray {
public:
    SafeArray() noexcept = default;
    ~SafeArray() { Reset(); }

    SafeArray(SafeArray&& other) noexcept : array_(std::exchange(other.array_, nullptr)) {}
    SafeArray& operator=(SafeArray&& other) noexcept
    {
        if (this != &other) {
            Reset();
            array_ = std::exchange(other.array_, nullptr);
        }
        return *this;
    }
    SafeArray(const SafeArray&) = delete;
    SafeArray& operator=(const SafeArray&) = delete;

    /// Takes ownership of an existing array (null gives an empty owner).
    static SafeArray Attach(SAFEARRAY* owned) noexcept
    {
        SafeArray a;
        a.array_ = owned;
        return a;
    }

    /// Gives up ownership; the caller destroys the result.
    SAFEARRAY* Detach() noexcept { return std::exchange(array_, nullptr); }

    SAFEARRAY* Get() const noexcept { return array_; }
    explicit operator bool() const noexcept { return array_ != nullptr; }

    /// Destroys the array, if any. An array whose data is still locked is left alone by
    /// SafeArrayDestroy: unlock (end every SafeArrayData) first.
    void Reset() noexcept
    {
        if (SAFEARRAY* a = std::exchange(array_, nullptr))
            ::SafeArrayDestroy(a);
    }

private:
    SAFEARRAY* array_ = nullptr;
};

class SafeArrayData {
public:
    /// Locks the data of `array`; a null array, or one whose data cannot be locked, gives an
    /// object that holds nothing (false, Data() null).
    explicit SafeArrayData(SAFEARRAY* array) noexcept : array_(array)
    {
        if (!array_ || FAILED(::SafeArrayAccessData(array_, &data_)))
            data_ = nullptr;
    }
    ~SafeArrayData()
    {
        if (data_)
            ::SafeArrayUnaccessData(array_);
    }
    SafeArrayData(const SafeArrayData&) = delete;
    SafeArrayData& operator=(const SafeArrayData&) = delete;

    explicit operator bool() const noexcept { return data_ != nullptr; }
    void* Data() const noexcept { return data_; }
    BYTE* Bytes() const noexcept { return static_cast<BYTE*>(data_); }

private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
};

} // namespace com
