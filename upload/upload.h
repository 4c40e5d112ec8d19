#pragma once
// CUpload: the Upload coclass. Bound to an ASP page by OnStartPage; Save checks the request and
// parses its body into the Files and Form collections, at most once per object.

#include "frame/com_object.h"
#include "frame/com_ptr.h"
#include "frame/dispatch_impl.h"
#include "frame/support_error_info_impl.h"
#include "parser/parser_options.h"
#include "platform/win.h"
#include "kestrune_idl.h"

#include <asptlb.h>

#include <cstdint>
#include <string>

class CUploadMetadataAutoWrap;

class CUpload : public frame::ComObjectRoot,
                public frame::DispatchImpl<IUpload, &IID_IUpload>,
                public frame::SupportErrorInfoImpl<&IID_IUpload> {
public:
    /// The request or a setting was rejected, or an intrinsic object call failed.
    class EUpload {};
    /// The request carries no body.
    class EEmptyQuery {};

    KESTRUNE_INTERFACE_TABLE(CUpload, KESTRUNE_INTERFACE(CUpload, IUpload),
                             KESTRUNE_INTERFACE_AS(CUpload, IDispatch, IUpload),
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

    /// The boundary named by a content type value: the `boundary` parameter (name in any case,
    /// quoted value unquoted), in the thread's ANSI code page; empty when there is none.
    static std::string BoundaryFromContentType(const WideString& contentType);

private:
    enum class SaveState : LONG { NotRun = 0, Finished = 1, Failed = 2 };

    void RunSave(BSTR tempDir);
    /// Tells the statistics how the parse ended; a failure to do so is dropped.
    static void ReportResult(CUploadMetadataAutoWrap& updater, TUploadResult result) noexcept;
    /// Names why the parse failed when no step of it did: a missing boundary, or a body that does
    /// not match it.
    static void ReportParseFailure(const std::string& boundary) noexcept;
    void CheckRequest();
    std::string ExtractBoundary();
    std::int32_t CharRefsMode() const;

    frame::ComPtr<IRequest> request_;
    frame::ComPtr<IResponse> response_;
    BOOL pageBound_ = FALSE;
    SaveState saveState_ = SaveState::NotRun;
    frame::ComPtr<IUploadedFileCollection> files_;
    frame::ComPtr<ITextFieldCollection> form_;
    LONG codePage_ = 0;
    // Kept as a plain integer: scripts may store any 32-bit value, which Save then rejects.
    std::int32_t detectCharRefs_ = ynaAuto;
    WideString id_;
};
