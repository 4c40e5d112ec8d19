#include "progress/upload_metadata.h"

#include "com/com_boundary.h"

namespace {

constexpr bool IsRunning(LONG result) noexcept
{
    return result == CUploadMetadata::ResultRunning;
}

} // namespace

CUploadMetadata::CUploadMetadata() noexcept : progress_(::GetTickCount()) {}

HRESULT CUploadMetadata::FinalConstruct()
{
    return ::CoCreateFreeThreadedMarshaler(ControllingUnknown(), marshaler_.Receive());
}

// Every getter: E_INVALIDARG for a null out pointer, else the value computed under the lock.
template <class T, class F>
HRESULT CUploadMetadata::Read(T* pVal, F&& compute) noexcept
{
    if (!pVal)
        return E_INVALIDARG;
    return com::ComBoundary([&] {
        com::ObjectLockGuard lock(*this);
        *pVal = compute();
    });
}

BSTR CUploadMetadata::Copy(BSTR field) noexcept
{
    if (!field)
        return nullptr;
    // Same byte length as the stored string; a failed copy hands back null.
    return ::SysAllocStringByteLen(reinterpret_cast<const char*>(field), ::SysStringByteLen(field));
}

HRESULT CUploadMetadata::StoreCopy(com::Bstr& field, BSTR newVal) noexcept
{
    if (newVal == field.Get())
        return S_OK;
    field.Reset();
    if (!newVal)
        return S_OK;
    field = com::Bstr::Attach(::SysAllocString(newVal)); // up to the first NUL
    return field.Get() ? S_OK : E_FAIL;
}

// --- IUploadMetadata ---

STDMETHODIMP CUploadMetadata::get_BytesPerSecondAverage(DOUBLE* pVal)
{
    return Read(pVal, [&] { return IsRunning(result_) ? progress_.averageSpeed() : 0.0; });
}

STDMETHODIMP CUploadMetadata::get_BytesPerSecondCurrent(DOUBLE* pVal)
{
    return Read(pVal, [&] { return IsRunning(result_) ? progress_.currentSpeed() : 0.0; });
}

STDMETHODIMP CUploadMetadata::get_CurrentFileName(BSTR* pVal)
{
    if (!pVal)
        return E_INVALIDARG;
    return com::ComBoundary([&]() -> HRESULT {
        com::ObjectLockGuard lock(*this);
        if (IsRunning(result_)) {
            *pVal = Copy(currentFileName_.Get());
            return S_OK;
        }
        // Once the upload has ended the name reads as an empty string, not a null one.
        BSTR empty = ::SysAllocString(OLESTR(""));
        if (!empty)
            return E_FAIL;
        *pVal = empty;
        return S_OK;
    });
}

STDMETHODIMP CUploadMetadata::get_ID(BSTR* pVal)
{
    return Read(pVal, [&] { return Copy(id_.Get()); });
}

STDMETHODIMP CUploadMetadata::get_PercentDone(DOUBLE* pVal)
{
    return Read(pVal, [&] {
        if (progress_.totalBytes == 0)
            return 0.0;
        return static_cast<double>(progress_.uploadedBytes) / static_cast<double>(progress_.totalBytes) * 100.0;
    });
}

STDMETHODIMP CUploadMetadata::get_SecondsDone(DOUBLE* pVal)
{
    return Read(pVal, [&] { return static_cast<double>(::GetTickCount() - progress_.startTick) / 1000.0; });
}

STDMETHODIMP CUploadMetadata::get_SecondsLeftAverage(DOUBLE* pVal)
{
    return Read(pVal,
                [&] { return IsRunning(result_) ? progress_.getTimeLeft(progress_.averageSpeed()) / 1000.0 : 0.0; });
}

STDMETHODIMP CUploadMetadata::get_SecondsLeftCurrent(DOUBLE* pVal)
{
    return Read(pVal,
                [&] { return IsRunning(result_) ? progress_.getTimeLeft(progress_.currentSpeed()) / 1000.0 : 0.0; });
}

STDMETHODIMP CUploadMetadata::get_TotalBytes(LONG* pVal)
{
    return Read(pVal, [&] { return static_cast<LONG>(progress_.totalBytes); });
}

STDMETHODIMP CUploadMetadata::get_UploadComplete(VARIANT_BOOL* pVal)
{
    return Read(pVal, [&] { return IsRunning(result_) ? VARIANT_FALSE : VARIANT_TRUE; });
}

STDMETHODIMP CUploadMetadata::get_UploadedBytes(LONG* pVal)
{
    return Read(pVal, [&] { return static_cast<LONG>(progress_.uploadedBytes); });
}

STDMETHODIMP CUploadMetadata::get_UploadedFilesCount(LONG* pVal)
{
    return Read(pVal, [&] { return uploadedFilesCount_; });
}

STDMETHODIMP CUploadMetadata::get_UploadStatus(UploadState* pVal)
{
    return Read(pVal, [&] {
        switch (result_) {
        case ResultFailed: return Error;
        case ResultSucceeded: return Complete;
        case ResultCancelled: return Cancelled;
        case ResultRejected: return Rejected;
        default: return Uploading;
        }
    });
}

STDMETHODIMP CUploadMetadata::get_UploadCancelled(VARIANT_BOOL* pVal)
{
    return Read(pVal, [&] { return cancelled_; });
}

STDMETHODIMP CUploadMetadata::CancelUpload()
{
    com::ObjectLockGuard lock(*this);
    cancelled_ = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CUploadMetadata::get_StatusReason(BSTR* pVal)
{
    if (!pVal)
        return E_INVALIDARG;
    return com::ComBoundary([&]() -> HRESULT {
        com::ObjectLockGuard lock(*this);
        const bool explained = result_ == ResultFailed || result_ == ResultRejected || result_ == ResultCancelled;
        *pVal = ::SysAllocString(explained && statusReason_.Get() ? statusReason_.Get() : OLESTR(""));
        return *pVal ? S_OK : E_OUTOFMEMORY;
    });
}

// --- IUploadStatisticsControl ---

STDMETHODIMP CUploadMetadata::AddUploadedBytes(LONG newVal)
{
    if (newVal < 0)
        return E_INVALIDARG;
    com::ObjectLockGuard lock(*this);
    progress_.uploadedBytes += static_cast<std::uint32_t>(newVal);
    return S_OK;
}

STDMETHODIMP CUploadMetadata::IncNumberOfUploadedFiles()
{
    com::ObjectLockGuard lock(*this);
    ++uploadedFilesCount_;
    return S_OK;
}

STDMETHODIMP CUploadMetadata::get_CurrentlyProcessedFileName(BSTR* pVal)
{
    return Read(pVal, [&] { return Copy(currentFileName_.Get()); });
}

STDMETHODIMP CUploadMetadata::put_CurrentlyProcessedFileName(BSTR newVal)
{
    com::ObjectLockGuard lock(*this);
    return StoreCopy(currentFileName_, newVal);
}

STDMETHODIMP CUploadMetadata::put_UploadCancelled(VARIANT_BOOL newVal)
{
    com::ObjectLockGuard lock(*this);
    cancelled_ = newVal;
    return S_OK;
}

STDMETHODIMP CUploadMetadata::put_ID(BSTR newVal)
{
    com::ObjectLockGuard lock(*this);
    return StoreCopy(id_, newVal);
}

STDMETHODIMP CUploadMetadata::put_UploadResult(TUploadResult newVal)
{
    com::ObjectLockGuard lock(*this);
    switch (newVal) {
    case uprFail: result_ = ResultFailed; break;
    case uprCancel: result_ = ResultCancelled; break;
    case uprSuccess: result_ = ResultSucceeded; break;
    case uprReject: result_ = ResultRejected; break;
    default: break; // accepted, ignored
    }
    return S_OK;
}

STDMETHODIMP CUploadMetadata::put_StatusReason(BSTR newVal)
{
    com::ObjectLockGuard lock(*this);
    return StoreCopy(statusReason_, newVal);
}

STDMETHODIMP CUploadMetadata::put_TotalBytes(LONG newVal)
{
    com::ObjectLockGuard lock(*this);
    progress_.totalBytes = static_cast<std::uint32_t>(newVal);
    return S_OK;
}

// --- ITimerSubscriber ---

STDMETHODIMP CUploadMetadata::Run()
{
    com::ObjectLockGuard lock(*this);
    progress_.takeSample(::GetTickCount());
    return S_OK;
}
