// CComApartment: the calling thread's membership of a COM apartment for the owner's lifetime:
// CoInitializeEx when it is made, CoUninitialize when it goes if that succeeded. A failure is
// only recorded; what it means is the caller's choice.
//
//   host::CComApartment apartment(COINIT_APARTMENTTHREADED);
//   if (FAILED(apartment.Result()))
//       return Fail("CoInitializeEx failed");
#pragma once

#include "platform/win.h"

namespace host {

class CComApartment {
public:
    /// Joins the apartment of the given model (COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED).
    explicit CComApartment(DWORD model) noexcept : result_(::CoInitializeEx(nullptr, model)) {}
    ~CComApartment()
    {
        if (SUCCEEDED(result_))
            ::CoUninitialize();
    }
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;

    /// What CoInitializeEx answered.
    HRESULT Result() const noexcept { return result_; }

private:
    const HRESULT result_;
};

} // namespace host
