// DispatchImpl<Itf, &IID_Itf>: IDispatch for a dual interface, driven by the registered type
// library (type information cached per interface, see type_info_cache.h). Derive the object from
// it instead of from Itf directly and implement only Itf's own members:
//
//   class CUpload : public com::ComObjectRoot, public com::DispatchImpl<IUpload, &IID_IUpload>, ...
//
// Where no library is registered (the POSIX build) every member but GetTypeInfoCount answers the
// loader's failure, TYPE_E_LIBNOTREGISTERED.
//
// A member that fails leaves an error object (ComBoundary with a source); the type library's
// Invoke then answers DISP_E_EXCEPTION with the member's HRESULT and the object's description.
// Its code goes through ScriptErrorCode, so that a page's Err.Number is what it would be without
// the description (5 for E_INVALIDARG, 7 for E_OUTOFMEMORY).
#pragma once

#include "com/com_ptr.h"
#include "com/error_info.h"
#include "com/guid.h"
#include "com/type_info_cache.h"
#include "platform/win.h"

namespace com {

template <class Itf, const IID* ItfId>
class DispatchImpl : public Itf {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }

    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        if (!info)
            return E_POINTER;
        *info = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        return GetCachedTypeInfo(*ItfId, info);
    }

    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (!SameGuid(riid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        const HRESULT hr = GetCachedTypeInfo(*ItfId, info.Receive());
        if (FAILED(hr))
            return hr;
        return info->GetIDsOfNames(names, count, ids);
    }

    STDMETHODIMP Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) override
    {
        if (!SameGuid(riid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        const HRESULT hr = GetCachedTypeInfo(*ItfId, info.Receive());
        if (FAILED(hr))
            return hr;
        const HRESULT invoked =
            info->Invoke(static_cast<Itf*>(this), member, flags, params, result, exception, argumentError);
        if (invoked == DISP_E_EXCEPTION && exception) {
            if (exception->pfnDeferredFillIn) {
                exception->pfnDeferredFillIn(exception);
                exception->pfnDeferredFillIn = nullptr;
            }
            exception->scode = ScriptErrorCode(exception->scode);
        }
        return invoked;
    }
};

} // namespace com
