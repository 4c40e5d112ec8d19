// CProgress: the script-facing Progress object. It holds only an upload ID; every property read
// looks the ID up in the upload manager afresh and forwards to that upload's statistics, so the
// object never prolongs an upload's life. An ID that is not (or no longer) registered reads as an
// upload that has not started: zeros and the status Waiting. Creatable and aggregatable.
// IProgress2 adds StatusReason: why the upload failed, was rejected or was cancelled.
//
// Lock order: this object's lock, then the manager's (inside Find), then the statistics'.
#pragma once

#include "com/com_object.h"
#include "com/dispatch_impl.h"
#include "com/support_error_info_impl.h"
#include "platform/win.h"

#include "kestrune_idl.h"

class CProgress : public com::ComObjectRoot,
                  public com::DispatchImpl<IProgress2, &IID_IProgress2>,
                  public com::SupportErrorInfoImpl<&IID_IProgress2, &IID_IProgress> {
public:
    class EProgress {};

    /// Failures of this object's members name it (Err.Source) and say what happened.
    static constexpr com::ErrorSource kErrorSource{OLESTR("Kestrune.Progress"), &IID_IProgress2};

    KESTRUNE_INTERFACE_TABLE(CProgress, KESTRUNE_INTERFACE(CProgress, IProgress2),
                             KESTRUNE_INTERFACE_AS(CProgress, IProgress, IProgress2),
                             KESTRUNE_INTERFACE_AS(CProgress, IDispatch, IProgress2),
                             KESTRUNE_INTERFACE(CProgress, ISupportErrorInfo))

    /// The text a page shows for a status; null for a value outside the enumeration.
    static const OLECHAR* StatusText(UploadState status) noexcept;

    STDMETHODIMP get_BytesPerSecondAverage(DOUBLE* pVal) override;
    STDMETHODIMP get_BytesPerSecondCurrent(DOUBLE* pVal) override;
    STDMETHODIMP get_CurrentFileName(BSTR* pVal) override;
    STDMETHODIMP get_ID(BSTR* pVal) override;
    STDMETHODIMP put_ID(BSTR newVal) override;
    STDMETHODIMP get_PercentDone(DOUBLE* pVal) override;
    STDMETHODIMP get_SecondsDone(DOUBLE* pVal) override;
    STDMETHODIMP get_SecondsLeftAverage(DOUBLE* pVal) override;
    STDMETHODIMP get_SecondsLeftCurrent(DOUBLE* pVal) override;
    STDMETHODIMP get_TotalBytes(LONG* pVal) override;
    STDMETHODIMP get_UploadComplete(VARIANT_BOOL* pVal) override;
    STDMETHODIMP get_UploadedBytes(LONG* pVal) override;
    STDMETHODIMP get_UploadedFilesCount(LONG* pVal) override;
    STDMETHODIMP get_UploadStatus(UploadState* pVal) override;
    STDMETHODIMP get_UploadStatusString(BSTR* pVal) override;
    STDMETHODIMP get_UploadCancelled(VARIANT_BOOL* pVal) override;
    STDMETHODIMP CancelUpload() override;
    STDMETHODIMP OnStartPage(IUnknown* piUnk) override;
    STDMETHODIMP OnEndPage() override;
    STDMETHODIMP get_StatusReason(BSTR* pVal) override;

private:
    /// The statistics registered under the ID, or null; raises EProgress, naming why, when no ID
    /// has been set. The object lock must be held.
    com::ComPtr<IUploadMetadata> FindStatistics(const char* member);

    // Reads one property of the statistics registered under the ID, or stores `absent` when the
    // ID is not registered.
    template <class T>
    HRESULT Forward(T* pVal, HRESULT (STDMETHODCALLTYPE IUploadMetadata::*getter)(T*), T absent) noexcept;

    WideString id_;
};
