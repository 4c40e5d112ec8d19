// ComBoundary: the one place where exceptions turn into HRESULTs.
//
// Every interface member ends in it:
//
//   STDMETHODIMP CTextField::get_Length(LONG* pVal)
//   {
//       return com::ComBoundary([&] {
//           if (!pVal) return E_POINTER;
//           com::ObjectLockGuard lock(*this);
//           *pVal = length_;
//           return S_OK;
//       });
//   }
//
// The callable returns an HRESULT (answered as is) or nothing (answered S_OK). A com::ComError
// answers its own HRESULT; any other exception, std::bad_alloc included, answers E_FAIL.
//
// Every failure also clears the calling thread's error object, so that a caller that asks (the
// automation layer does, to fill a script's Err.Description) never finds one left by an earlier,
// unrelated call. The objects scripts call name themselves instead:
//
//   return com::ComBoundary(kErrorSource, [&]() -> HRESULT { ... });
//
// and a failure then leaves an error object of theirs: the ProgID as its source, and as its
// description the failure reason the call reported last (com::ReportFailure), or a plain
// sentence for the HRESULT when the call reported none.
#pragma once

#include "com/com_error.h"
#include "com/error_info.h"
#include "com/failure_reason.h"
#include "platform/win.h"

#include <cstdint>
#include <type_traits>
#include <utility>

namespace com {

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

/// ComBoundary for an object that answers through error information (ISupportErrorInfo): a failure
/// leaves an error object from `source` that describes it.
template <class F>
HRESULT ComBoundary(const ErrorSource& source, F&& body) noexcept
{
    const std::uint32_t reasonsBefore = FailureReasonsOnThisThread();
    const HRESULT hr = ComBoundary(std::forward<F>(body));
    if (FAILED(hr))
        LeaveErrorInfo(source, hr, FailureReasonsOnThisThread() != reasonsBefore);
    return hr;
}

} // namespace com
