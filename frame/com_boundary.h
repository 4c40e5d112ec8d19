// ComBoundary: the one place where exceptions turn into HRESULTs.
//
// Every interface member ends in it:
//
//   STDMETHODIMP CTextField::get_Length(LONG* pVal)
//   {
//       return frame::ComBoundary([&] {
//           if (!pVal) return E_POINTER;
//           frame::ObjectLockGuard lock(*this);
//           *pVal = length_;
//           return S_OK;
//       });
//   }
//
// The callable returns an HRESULT (answered as is) or nothing (answered S_OK). A frame::ComError
// answers its own HRESULT; any other exception, std::bad_alloc included, answers E_FAIL.
//
// Every failure also clears the calling thread's error object: our objects answer
// ISupportErrorInfo but never set one, so a caller that asks (the automation layer does, to fill a
// script's Err.Description) must find none rather than one left by an earlier, unrelated call.
#pragma once

#include "frame/com_error.h"
#include "platform/win.h"

#include <type_traits>
#include <utility>

namespace frame {

template <class F>
HRESULT ComBoundary(F&& body) noexcept
{
    HRESULT hr = S_OK;
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<F&>>)
            body();
        else
            hr = static_cast<HRESULT>(body());
    } catch (const ComError& e) {
        hr = e.Result();
    } catch (...) {
        hr = E_FAIL;
    }
    if (FAILED(hr))
        ::SetErrorInfo(0, nullptr);
    return hr;
}

} // namespace frame
