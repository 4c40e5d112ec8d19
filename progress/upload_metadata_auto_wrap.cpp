#include "progress/upload_metadata_auto_wrap.h"

#include "com/bstr.h"
#include "progress/progress_services.h"

#include <string>

CUploadMetadataAutoWrap::CUploadMetadataAutoWrap(WideString& id, std::int32_t totalBytes) : totalBytes_(totalBytes)
{
    if (FAILED(::CoCreateInstance(CLSID_UploadMetadata, nullptr, CLSCTX_INPROC_SERVER, IID_IUploadStatisticsControl,
                                  stats_.ReceiveVoid())) ||
        !stats_)
        throw EUploadMetadataAutoWrap();
    Check(stats_->put_TotalBytes(totalBytes));

    CProgressServices& services = CProgressServices::Instance();
    {
        com::ComPtr<IUploadMetadata> metadata;
        Check(com::QueryInterfaceTo(stats_.Get(), IID_IUploadMetadata, metadata));
        IUploadMetadata* raw = metadata.Get();
        services.UploadManager().Register(id, raw);
    }
    try {
        registeredId_ = id;
        com::ComPtr<ITimerSubscriber> subscriber;
        Check(com::QueryInterfaceTo(stats_.Get(), IID_ITimerSubscriber, subscriber));
        ITimerSubscriber* raw = subscriber.Get();
        services.ProgressTimer().Subscribe(id, raw);
    } catch (...) {
        services.UploadManager().Remove(id);
        throw;
    }
}

CUploadMetadataAutoWrap::~CUploadMetadataAutoWrap()
{
    // The ID kept since registration, not one read back from the statistics object: reading
    // allocates, and a failed read must not leave the upload subscribed and registered forever.
    const WideString& id = registeredId_;
    if (!id.empty()) {
        CProgressServices& services = CProgressServices::Instance();
        // Leave the timer first: no sample is taken after Save has ended.
        try {
            services.ProgressTimer().Unsubscribe(id, true);
        } catch (...) {
        }
        try {
            services.UploadManager().Unregister(id);
        } catch (...) {
        }
    }
}

void CUploadMetadataAutoWrap::Check(HRESULT hr)
{
    if (FAILED(hr))
        throw EUploadMetadataAutoWrap();
}

void CUploadMetadataAutoWrap::AddUploadedBytes(std::int32_t n)
{
    Check(stats_->AddUploadedBytes(n));
    receivedBytes_ += static_cast<std::uint32_t>(n);
}

void CUploadMetadataAutoWrap::IncNumberOfUploadedFiles()
{
    Check(stats_->IncNumberOfUploadedFiles());
}

void CUploadMetadataAutoWrap::SetCurrentFileName(const WideString& name)
{
    const com::Bstr text(name.c_str()); // up to the first NUL; throws E_OUTOFMEMORY
    const HRESULT hr = stats_->put_CurrentlyProcessedFileName(text.Get());
    Check(hr);
}

bool CUploadMetadataAutoWrap::IsUploadCancelled()
{
    VARIANT_BOOL cancelled = VARIANT_FALSE;
    Check(stats_->get_UploadCancelled(&cancelled));
    return cancelled != VARIANT_FALSE;
}

void CUploadMetadataAutoWrap::SetUploadResult(TUploadResult result)
{
    Check(stats_->put_UploadResult(result));
}

void CUploadMetadataAutoWrap::SetStatusReason(const WideString& reason)
{
    com::ComPtr<IUploadStatisticsControl2> control;
    Check(com::QueryInterfaceTo(stats_.Get(), IID_IUploadStatisticsControl2, control));
    const com::Bstr text(reason);
    Check(control->put_StatusReason(text.Get()));
}

WideString CUploadMetadataAutoWrap::CancelReason() const
{
    const std::string text = "Save: the upload was cancelled (Progress.CancelUpload) after " +
                             std::to_string(receivedBytes_) + " of " + std::to_string(totalBytes_) + " bytes";
    return WideString(text.begin(), text.end());
}
