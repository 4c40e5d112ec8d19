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
#pragma once

#include "frame/com_error.h"
#include "platform/win.h"

#include <type_traits>
#include <utility>

namespace frame {

template <class F>
HRESULT ComBoundary(F&& body) noexcept
{
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<F&>>) {
            body();
            return S_OK;
        } else {
            return static_cast<HRESULT>(body());
        }
    } catch (const ComError& e) {
        return e.Result();
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace frame
