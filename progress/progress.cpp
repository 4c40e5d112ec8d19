#include "progress/progress.h"

#include "com/bstr.h"
#include "com/com_boundary.h"
#include "com/failure_reason.h"
#include "progress/progress_services.h"
#include "progress/upload_manager.h"

#include <asptlb.h>

template <class T>
HRESULT CProgress::Forward(T* pVal, HRESULT (STDMETHODCALLTYPE IUploadMetadata::*getter)(T*), T absent) noexcept
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        com::ObjectLockGuard lock(*this);
        const com::ComPtr<IUploadMetadata> stats = FindStatistics("Progress");
        if (!stats) {
            *pVal = absent;
            return S_OK;
        }
        return (stats.Get()->*getter)(pVal);
    });
}

com::ComPtr<IUploadMetadata> CProgress::FindStatistics(const char* member)
{
    if (id_.empty()) {
        com::ReportFailure(member, ": no ID has been set, so there is no upload to follow");
        throw EProgress();
    }
    return CProgressServices::Instance().UploadManager().Find(id_);
}

const OLECHAR* CProgress::StatusText(UploadState status) noexcept
{
    switch (status) {
    case Waiting: return OLESTR("Upload has not started yet or a long time ago completed");
    case Uploading: return OLESTR("Upload in progress");
    case Complete: return OLESTR("Upload successfully completed");
    case Error: return OLESTR("Upload completed with an error");
    case Cancelled: return OLESTR("Upload cancelled due to a user request");
    case Rejected: return OLESTR("Upload rejected");
    }
    return nullptr;
}

STDMETHODIMP CProgress::get_BytesPerSecondAverage(DOUBLE* pVal)
{
    return Forward(pVal, &IUploadMetadata::get_BytesPerSecondAverage, 0.0);
}

STDMETHODIMP CProgress::get_BytesPerSecondCurrent(DOUBLE* pVal)
{
    return Forward(pVal, &IUploadMetadata::get_BytesPerSecondCurrent, 0.0);
}

STDMETHODIMP CProgress::get_CurrentFileName(BSTR* pVal)
{
    return Forward(pVal, &IUploadMetadata::get_CurrentFileName, static_cast<BSTR>(nullptr));
}

STDMETHODIMP CProgress::get_ID(BSTR* pVal)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        com::ObjectLockGuard lock(*this);
        BSTR copy = ::SysAllocStringLen(id_.data(), static_cast<UINT>(id_.size()));
        if (!copy)
            return E_FAIL;
        *pVal = copy;
        return S_OK;
    });
}

STDMETHODIMP CProgress::put_ID(BSTR newVal)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        WideString id = com::Bstr::ToWide(newVal);
        com::ObjectLockGuard lock(*this);
        id_.swap(id);
        return S_OK;
    });
}

STDMETHODIMP CProgress::get_PercentDone(DOUBLE* pVal)
{
    return Forward(pVal, &IUploadMetadata::get_PercentDone, 0.0);
}

STDMETHODIMP CProgress::get_SecondsDone(DOUBLE* pVal)
{
    return Forward(pVal, &IUploadMetadata::get_SecondsDone, 0.0);
}

STDMETHODIMP CProgress::get_SecondsLeftAverage(DOUBLE* pVal)
{
    return Forward(pVal, &IUploadMetadata::get_SecondsLeftAverage, 0.0);
}

STDMETHODIMP CProgress::get_SecondsLeftCurrent(DOUBLE* pVal)
{
    return Forward(pVal, &IUploadMetadata::get_SecondsLeftCurrent, 0.0);
}

STDMETHODIMP CProgress::get_TotalBytes(LONG* pVal)
{
    return Forward(pVal, &IUploadMetadata::get_TotalBytes, LONG{0});
}

STDMETHODIMP CProgress::get_UploadComplete(VARIANT_BOOL* pVal)
{
    return Forward(pVal, &IUploadMetadata::get_UploadComplete, VARIANT_BOOL{VARIANT_FALSE});
}

STDMETHODIMP CProgress::get_UploadedBytes(LONG* pVal)
{
    return Forward(pVal, &IUploadMetadata::get_UploadedBytes, LONG{0});
}

STDMETHODIMP CProgress::get_UploadedFilesCount(LONG* pVal)
{
    return Forward(pVal, &IUploadMetadata::get_UploadedFilesCount, LONG{0});
}

STDMETHODIMP CProgress::get_UploadStatus(UploadState* pVal)
{
    return Forward(pVal, &IUploadMetadata::get_UploadStatus, Waiting);
}

STDMETHODIMP CProgress::get_UploadCancelled(VARIANT_BOOL* pVal)
{
    return Forward(pVal, &IUploadMetadata::get_UploadCancelled, VARIANT_BOOL{VARIANT_FALSE});
}

STDMETHODIMP CProgress::get_UploadStatusString(BSTR* pVal)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        UploadState status = Waiting;
        const HRESULT hr = get_UploadStatus(&status);
        if (FAILED(hr))
            return hr;
        const OLECHAR* text = StatusText(status);
        if (!text)
            return S_OK; // out of range: the caller's value stays
        BSTR copy = ::SysAllocString(text);
        if (!copy)
            return E_FAIL;
        *pVal = copy;
        return S_OK;
    });
}

STDMETHODIMP CProgress::CancelUpload()
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        com::ObjectLockGuard lock(*this);
        const com::ComPtr<IUploadMetadata> stats = FindStatistics("CancelUpload");
        if (!stats) {
            com::ReportFailure("CancelUpload: no upload is registered under the ID ", com::Quoted(id_),
                               " (it has not started, or it ended more than ", CUploadManager::RetentionMinutes,
                               " minutes ago)");
            throw EProgress();
        }
        VARIANT_BOOL cancelled = VARIANT_FALSE;
        if (FAILED(stats->get_UploadCancelled(&cancelled)))
            return E_FAIL;
        if (cancelled != VARIANT_FALSE)
            return S_OK;
        return stats->CancelUpload();
    });
}

STDMETHODIMP CProgress::OnStartPage(IUnknown* piUnk)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!piUnk)
            return E_POINTER;
        com::ComPtr<IScriptingContext> context;
        if (FAILED(com::QueryInterfaceTo(piUnk, IID_IScriptingContext, context)) || !context)
            return E_FAIL;
        com::ComPtr<IRequest> request;
        const HRESULT hr = context->get_Request(request.Receive());
        return FAILED(hr) ? hr : S_OK; // nothing is kept
    });
}

STDMETHODIMP CProgress::OnEndPage()
{
    return S_OK;
}

STDMETHODIMP CProgress::get_StatusReason(BSTR* pVal)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        com::ObjectLockGuard lock(*this);
        const com::ComPtr<IUploadMetadata> stats = FindStatistics("StatusReason");
        com::ComPtr<IUploadMetadata2> reasons;
        if (!stats || FAILED(com::QueryInterfaceTo(stats.Get(), IID_IUploadMetadata2, reasons)) || !reasons) {
            *pVal = ::SysAllocString(OLESTR(""));
            return *pVal ? S_OK : E_OUTOFMEMORY;
        }
        return reasons->get_StatusReason(pVal);
    });
}
