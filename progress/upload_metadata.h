// CUploadMetadata: the statistics of one upload, shared by three threads -- the uploading page
// writes through IUploadStatisticsControl(2), the progress timer samples through
// ITimerSubscriber, progress pages read through IUploadMetadata(2). One lock guards everything and
// is always the innermost lock: no member calls out of the object while holding it.
//
// Speeds, times and the percentage are computed at read time from TUploadProgress. Created only
// through its class object (com::CreateUploadMetadataInstance); not aggregatable.
//
// Since it synchronises itself, it aggregates the free-threaded marshaler: the Global Interface
// Table and every other apartment get the object itself, never a proxy.
#pragma once

#include "com/bstr.h"
#include "com/com_object.h"
#include "com/com_ptr.h"
#include "platform/win.h"
#include "progress/upload_progress.h"

#include "kestrune_idl.h"

class CUploadMetadata : public com::ComObjectRoot,
                        public IUploadMetadata2,
                        public IUploadStatisticsControl2,
                        public ITimerSubscriber {
public:
    using TUploadProgress = ::TUploadProgress;

    // Values of `result`.
    static constexpr LONG ResultRunning = 0;
    static constexpr LONG ResultFailed = 1;
    static constexpr LONG ResultSucceeded = 2;
    static constexpr LONG ResultCancelled = 3;
    static constexpr LONG ResultRejected = 4;

    KESTRUNE_INTERFACE_TABLE(CUploadMetadata, KESTRUNE_INTERFACE_AS(CUploadMetadata, IUploadMetadata, IUploadMetadata2),
                             KESTRUNE_INTERFACE_AS(CUploadMetadata, IUploadStatisticsControl,
                                                   IUploadStatisticsControl2),
                             KESTRUNE_INTERFACE(CUploadMetadata, ITimerSubscriber),
                             KESTRUNE_INTERFACE(CUploadMetadata, IUploadMetadata2),
                             KESTRUNE_INTERFACE(CUploadMetadata, IUploadStatisticsControl2),
                             KESTRUNE_INTERFACE_AGGREGATE(CUploadMetadata, IMarshal, marshaler_))

    CUploadMetadata() noexcept;

    // IUploadMetadata
    STDMETHODIMP get_BytesPerSecondAverage(DOUBLE* pVal) override;
    STDMETHODIMP get_BytesPerSecondCurrent(DOUBLE* pVal) override;
    STDMETHODIMP get_CurrentFileName(BSTR* pVal) override;
    STDMETHODIMP get_ID(BSTR* pVal) override;
    STDMETHODIMP get_PercentDone(DOUBLE* pVal) override;
    STDMETHODIMP get_SecondsDone(DOUBLE* pVal) override;
    STDMETHODIMP get_SecondsLeftAverage(DOUBLE* pVal) override;
    STDMETHODIMP get_SecondsLeftCurrent(DOUBLE* pVal) override;
    STDMETHODIMP get_TotalBytes(LONG* pVal) override;
    STDMETHODIMP get_UploadComplete(VARIANT_BOOL* pVal) override;
    STDMETHODIMP get_UploadedBytes(LONG* pVal) override;
    STDMETHODIMP get_UploadedFilesCount(LONG* pVal) override;
    STDMETHODIMP get_UploadStatus(UploadState* pVal) override;
    STDMETHODIMP get_UploadCancelled(VARIANT_BOOL* pVal) override;
    STDMETHODIMP CancelUpload() override;

    // IUploadMetadata2: why the upload failed, was rejected or was cancelled; an empty string
    // while it runs or when it succeeded.
    STDMETHODIMP get_StatusReason(BSTR* pVal) override;

    // IUploadStatisticsControl
    STDMETHODIMP AddUploadedBytes(LONG newVal) override;
    STDMETHODIMP IncNumberOfUploadedFiles() override;
    STDMETHODIMP get_CurrentlyProcessedFileName(BSTR* pVal) override;
    STDMETHODIMP put_CurrentlyProcessedFileName(BSTR newVal) override;
    STDMETHODIMP put_UploadCancelled(VARIANT_BOOL newVal) override;
    STDMETHODIMP put_ID(BSTR newVal) override;
    STDMETHODIMP put_UploadResult(TUploadResult newVal) override;
    STDMETHODIMP put_TotalBytes(LONG newVal) override;
    // get_UploadCancelled, get_ID and get_TotalBytes serve both interfaces.

    // IUploadStatisticsControl2: records the reason (up to its first NUL) read by StatusReason.
    STDMETHODIMP put_StatusReason(BSTR newVal) override;

    // ITimerSubscriber
    STDMETHODIMP Run() override;

protected:
    /// Aggregates the free-threaded marshaler.
    HRESULT FinalConstruct();

private:
    template <class T, class F>
    HRESULT Read(T* pVal, F&& compute) noexcept;
    static HRESULT StoreCopy(com::Bstr& field, BSTR newVal) noexcept;
    static BSTR Copy(BSTR field) noexcept;

    VARIANT_BOOL cancelled_ = VARIANT_FALSE;
    LONG result_ = ResultRunning;
    TUploadProgress progress_;
    com::Bstr id_;
    com::Bstr currentFileName_;
    com::Bstr statusReason_;
    LONG uploadedFilesCount_ = 0;
    com::ComPtr<IUnknown> marshaler_;
};
