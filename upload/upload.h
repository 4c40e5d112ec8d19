#pragma once
// CUpload: the Upload coclass. Bound to an ASP page by OnStartPage; Save checks the request and
// parses its body into the Files and Form collections, at most once per object. IUpload2 adds the
// limits a page sets before Save: a request over one is rejected (its KestruneLimitError), and
// nothing of it stays.

#include "com/com_object.h"
#include "com/com_ptr.h"
#include "com/dispatch_impl.h"
#include "com/support_error_info_impl.h"
#include "parser/parser_options.h"
#include "platform/win.h"
#include "kestrune_idl.h"

#include <asptlb.h>

#include <cstdint>
#include <string>

class CUploadMetadataAutoWrap;

class CUpload : public com::ComObjectRoot,
                public com::DispatchImpl<IUpload2, &IID_IUpload2>,
                public com::SupportErrorInfoImpl<&IID_IUpload2, &IID_IUpload> {
public:
    /// The request or a setting was rejected, or an intrinsic object call failed.
    class EUpload {};
    /// The request carries no body.
    class EEmptyQuery {};

    /// Failures of this object's members name it (Err.Source) and say what happened.
    static constexpr com::ErrorSource kErrorSource{OLESTR("Kestrune.Upload"), &IID_IUpload2};

    /// The limits' values until a page sets them: the two that bound memory and parts.
    static constexpr LONG kDefaultMaxFieldBytes = 64 * 1024 * 1024;
    static constexpr LONG kDefaultMaxParts = 10000;

    KESTRUNE_INTERFACE_TABLE(CUpload, KESTRUNE_INTERFACE(CUpload, IUpload2),
                             KESTRUNE_INTERFACE_AS(CUpload, IUpload, IUpload2),
                             KESTRUNE_INTERFACE_AS(CUpload, IDispatch, IUpload2),
                             KESTRUNE_INTERFACE(CUpload, ISupportErrorInfo))

    /// Releases Files, then Form, then the page's Response and Request.
    void FinalRelease() noexcept;

    STDMETHODIMP IsUploadInitialized(BSTR ID, VARIANT_BOOL* pVal) override;
    STDMETHODIMP get_Files(IUploadedFileCollection** pVal) override;
    STDMETHODIMP get_Form(ITextFieldCollection** pVal) override;
    STDMETHODIMP Save(BSTR TempDir) override;
    STDMETHODIMP get_CodePage(LONG* pVal) override;
    STDMETHODIMP put_CodePage(LONG newVal) override;
    STDMETHODIMP get_DetectCharRefs(TYesNoAuto* pVal) override;
    STDMETHODIMP put_DetectCharRefs(TYesNoAuto newVal) override;
    STDMETHODIMP get_ID(BSTR* pVal) override;
    STDMETHODIMP put_ID(BSTR newVal) override;
    STDMETHODIMP OnStartPage(IUnknown* piUnk) override;
    STDMETHODIMP OnEndPage() override;

    // IUpload2: the limits, each 0 for none; a negative value is refused (E_INVALIDARG).
    STDMETHODIMP get_MaxTotalBytes(LONG* pVal) override;
    STDMETHODIMP put_MaxTotalBytes(LONG newVal) override;
    STDMETHODIMP get_MaxFileBytes(LONG* pVal) override;
    STDMETHODIMP put_MaxFileBytes(LONG newVal) override;
    STDMETHODIMP get_MaxFiles(LONG* pVal) override;
    STDMETHODIMP put_MaxFiles(LONG newVal) override;
    STDMETHODIMP get_MaxFields(LONG* pVal) override;
    STDMETHODIMP put_MaxFields(LONG newVal) override;
    STDMETHODIMP get_MaxFieldBytes(LONG* pVal) override;
    STDMETHODIMP put_MaxFieldBytes(LONG newVal) override;
    STDMETHODIMP get_MaxParts(LONG* pVal) override;
    STDMETHODIMP put_MaxParts(LONG newVal) override;
    STDMETHODIMP get_RequireCompleteBody(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_RequireCompleteBody(VARIANT_BOOL newVal) override;

    /// The boundary named by a content type value: the `boundary` parameter (name in any case,
    /// quoted value unquoted), in the thread's ANSI code page; empty when there is none.
    static std::string BoundaryFromContentType(const WideString& contentType);

private:
    enum class SaveState : LONG { NotRun = 0, Finished = 1, Failed = 2 };

    /// Steps of Save after the state check: S_OK, or the KestruneLimitError of a rejected request.
    /// Other failures leave as exceptions.
    HRESULT RunSave(BSTR tempDir);
    /// Tells the statistics how the parse ended and why; a failure to do so is dropped.
    static void ReportResult(CUploadMetadataAutoWrap& updater, TUploadResult result, const WideString& reason) noexcept;
    /// The error a limit exception in flight stands for (call inside its catch block).
    static HRESULT LimitErrorInFlight() noexcept;
    /// A limit's getter and setter.
    HRESULT GetLimit(const LONG& limit, LONG* pVal);
    HRESULT PutLimit(LONG& limit, LONG newVal, const char* name);
    /// Names why the parse failed when no step of it did: a missing boundary, or a body that does
    /// not match it.
    static void ReportParseFailure(const std::string& boundary) noexcept;
    void CheckRequest();
    std::string ExtractBoundary();
    std::int32_t CharRefsMode() const;

    com::ComPtr<IRequest> request_;
    com::ComPtr<IResponse> response_;
    BOOL pageBound_ = FALSE;
    SaveState saveState_ = SaveState::NotRun;
    com::ComPtr<IUploadedFileCollection> files_;
    com::ComPtr<ITextFieldCollection> form_;
    LONG codePage_ = 0;
    // Kept as a plain integer: scripts may store any 32-bit value, which Save then rejects.
    std::int32_t detectCharRefs_ = ynaAuto;
    WideString id_;
    LONG maxTotalBytes_ = 0;
    LONG maxFileBytes_ = 0;
    LONG maxFiles_ = 0;
    LONG maxFields_ = 0;
    LONG maxFieldBytes_ = kDefaultMaxFieldBytes;
    LONG maxParts_ = kDefaultMaxParts;
    VARIANT_BOOL requireCompleteBody_ = VARIANT_FALSE;
};
