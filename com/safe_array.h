// SafeArray: owner of one SAFEARRAY (destroyed with SafeArrayDestroy). SafeArrayData: a
// SAFEARRAY's data locked (SafeArrayAccessData) for a scope, unlocked on every exit.
//
//   com::SafeArray bytes(::SafeArrayCreateVector(VT_UI1, 0, n));
//   if (!bytes) return E_OUTOFMEMORY;
//   {
//       com::SafeArrayData data(bytes.get());
//       if (!data) return E_FAIL;                  // the data could not be locked
//       std::memcpy(data.Bytes(), source, n);
//   }
//   *out = bytes.release();                        // hand it to the caller
//
// Neither owner throws.
#pragma once

#include "platform/win.h"

#include <memory>

namespace com {

/// Destroys an owned array; SafeArrayDestroy leaves an array whose data is still locked alone, so
/// every SafeArrayData on it ends first.
struct SafeArrayDestroyer {
    void operator()(SAFEARRAY* array) const noexcept { ::SafeArrayDestroy(array); }
};

/// Owner of one SAFEARRAY: get(), release() to hand it on, reset(); movable, not copyable.
using SafeArray = std::unique_ptr<SAFEARRAY, SafeArrayDestroyer>;

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
