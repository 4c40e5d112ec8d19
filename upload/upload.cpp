#include "upload/upload.h"

#include "com/bstr.h"
#include "com/code_page_text.h"
#include "com/com_boundary.h"
#include "com/failure_reason.h"
#include "progress/progress_services.h"
#include "com/variant.h"
#include "progress/upload_manager.h"
#include "progress/upload_metadata_auto_wrap.h"
#include "results/text_field_collection.h"
#include "results/uploaded_file_collection.h"
#include "upload/boundary_parameter.h"
#include "upload/com_object_auto_wrap.h"
#include "upload/process_post_query.h"

#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

namespace {

// A server variable as a string (up to its first NUL): Item, then the conversion to VT_BSTR that
// takes a returned object's default value. Throws CUpload::EUpload on failure.
WideString LookUpServerVariable(IRequestDictionary* variables, const OLECHAR* name)
{
    com::Variant key;
    // The type only once the string exists: a failed allocation must leave nothing to free.
    key.Get()->bstrVal = com::Bstr(name).Detach();
    key.Get()->vt = VT_BSTR;
    com::Variant value;
    HRESULT hr = variables->get_Item(*key.Get(), value.Get());
    if (SUCCEEDED(hr))
        hr = ::VariantChangeType(value.Get(), value.Get(), 0, VT_BSTR);
    if (FAILED(hr)) {
        com::ReportFailure("Save: the server variable ", com::Quoted(std::basic_string_view<OLECHAR>(name)),
                           " could not be read as a string (", com::HResult{hr}, ")");
        throw CUpload::EUpload();
    }
    return com::Bstr::ToWide(value.Get()->bstrVal);
}

WideString LowerCase(WideString text)
{
    if (!text.empty())
        ::CharLowerW(text.data());
    return text;
}

com::ComPtr<IRequestDictionary> ServerVariables(IRequest* request)
{
    com::ComPtr<IRequestDictionary> variables;
    const HRESULT hr = request ? request->get_ServerVariables(variables.Receive()) : E_POINTER;
    if (FAILED(hr) || !variables) {
        com::ReportFailure("Save: Request.ServerVariables failed (", com::HResult{hr}, ")");
        throw CUpload::EUpload();
    }
    return variables;
}

// Request.TotalBytes; throws CUpload::EUpload, naming the cause, when it cannot be read.
LONG TotalBytes(IRequest* request)
{
    if (!request) {
        com::ReportFailure("Save: no Request object (OnStartPage was not called, or OnEndPage already was)");
        throw CUpload::EUpload();
    }
    LONG totalBytes = 0;
    const HRESULT hr = request->get_TotalBytes(&totalBytes);
    if (FAILED(hr)) {
        com::ReportFailure("Save: Request.TotalBytes failed (", com::HResult{hr}, ")");
        throw CUpload::EUpload();
    }
    return totalBytes;
}

bool StartsWith(const WideString& text, std::basic_string_view<OLECHAR> prefix)
{
    return std::basic_string_view<OLECHAR>(text).substr(0, prefix.size()) == prefix;
}

} // namespace

void CUpload::FinalRelease() noexcept
{
    files_.Reset();
    form_.Reset();
    id_.clear();
    response_.Reset();
    request_.Reset();
}

STDMETHODIMP CUpload::OnStartPage(IUnknown* piUnk)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!piUnk)
            return E_POINTER;
        com::ObjectLockGuard lock(*this);
        com::ComPtr<IScriptingContext> context;
        if (FAILED(com::QueryInterfaceTo(piUnk, IID_IScriptingContext, context)) || !context)
            return E_FAIL;
        HRESULT hr = context->get_Request(request_.Receive());
        if (FAILED(hr))
            return hr;
        hr = context->get_Response(response_.Receive());
        if (FAILED(hr)) {
            request_.Reset();
            return hr;
        }
        pageBound_ = TRUE;
        return S_OK;
    });
}

STDMETHODIMP CUpload::OnEndPage()
{
    // Takes the lock so that the page objects are never released under a Save running on
    // another thread.
    com::ObjectLockGuard lock(*this);
    if (!pageBound_)
        return S_OK;
    request_.Reset();
    response_.Reset();
    pageBound_ = FALSE;
    return S_OK;
}

STDMETHODIMP CUpload::IsUploadInitialized(BSTR ID, VARIANT_BOOL* pVal)
{
    // Neither the object lock nor any member: answers while a Save runs on this object.
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        const bool known = CProgressServices::Instance().UploadManager().Contains(com::Bstr::ToWide(ID));
        *pVal = known ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

STDMETHODIMP CUpload::get_Files(IUploadedFileCollection** pVal)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        *pVal = nullptr;
        com::ObjectLockGuard lock(*this);
        if (!files_) {
            com::ReportFailure("Files: there are no files before Save has run");
            return E_FAIL;
        }
        return files_.CopyTo(pVal);
    });
}

STDMETHODIMP CUpload::get_Form(ITextFieldCollection** pVal)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        *pVal = nullptr;
        com::ObjectLockGuard lock(*this);
        if (!form_) {
            com::ReportFailure("Form: there are no fields before Save has run");
            return E_FAIL;
        }
        return form_.CopyTo(pVal);
    });
}

STDMETHODIMP CUpload::get_CodePage(LONG* pVal)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        com::ObjectLockGuard lock(*this);
        *pVal = codePage_;
        return S_OK;
    });
}

STDMETHODIMP CUpload::put_CodePage(LONG newVal)
{
    com::ObjectLockGuard lock(*this);
    codePage_ = newVal;
    return S_OK;
}

STDMETHODIMP CUpload::get_DetectCharRefs(TYesNoAuto* pVal)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        com::ObjectLockGuard lock(*this);
        std::memcpy(pVal, &detectCharRefs_, sizeof detectCharRefs_);
        return S_OK;
    });
}

STDMETHODIMP CUpload::put_DetectCharRefs(TYesNoAuto newVal)
{
    // The raw 32 bits: the value need not be one of the enumeration's.
    static_assert(sizeof newVal == sizeof detectCharRefs_);
    com::ObjectLockGuard lock(*this);
    std::memcpy(&detectCharRefs_, &newVal, sizeof newVal);
    return S_OK;
}

STDMETHODIMP CUpload::get_ID(BSTR* pVal)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        com::ObjectLockGuard lock(*this);
        try {
            com::Bstr::CopyOut(id_, pVal);
        } catch (...) {
            return E_FAIL; // an allocation failure included
        }
        return S_OK;
    });
}

STDMETHODIMP CUpload::put_ID(BSTR newVal)
{
    const HRESULT hr = com::ComBoundary(kErrorSource, [&] {
        com::ObjectLockGuard lock(*this);
        id_ = com::Bstr::ToWide(newVal);
    });
    return SUCCEEDED(hr) ? hr : E_FAIL;
}

STDMETHODIMP CUpload::get_MaxTotalBytes(LONG* pVal)
{
    return GetLimit(maxTotalBytes_, pVal);
}

STDMETHODIMP CUpload::put_MaxTotalBytes(LONG newVal)
{
    return PutLimit(maxTotalBytes_, newVal, "MaxTotalBytes");
}

STDMETHODIMP CUpload::get_MaxFileBytes(LONG* pVal)
{
    return GetLimit(maxFileBytes_, pVal);
}

STDMETHODIMP CUpload::put_MaxFileBytes(LONG newVal)
{
    return PutLimit(maxFileBytes_, newVal, "MaxFileBytes");
}

STDMETHODIMP CUpload::get_MaxFiles(LONG* pVal)
{
    return GetLimit(maxFiles_, pVal);
}

STDMETHODIMP CUpload::put_MaxFiles(LONG newVal)
{
    return PutLimit(maxFiles_, newVal, "MaxFiles");
}

STDMETHODIMP CUpload::get_MaxFields(LONG* pVal)
{
    return GetLimit(maxFields_, pVal);
}

STDMETHODIMP CUpload::put_MaxFields(LONG newVal)
{
    return PutLimit(maxFields_, newVal, "MaxFields");
}

STDMETHODIMP CUpload::get_MaxFieldBytes(LONG* pVal)
{
    return GetLimit(maxFieldBytes_, pVal);
}

STDMETHODIMP CUpload::put_MaxFieldBytes(LONG newVal)
{
    return PutLimit(maxFieldBytes_, newVal, "MaxFieldBytes");
}

STDMETHODIMP CUpload::get_MaxParts(LONG* pVal)
{
    return GetLimit(maxParts_, pVal);
}

STDMETHODIMP CUpload::put_MaxParts(LONG newVal)
{
    return PutLimit(maxParts_, newVal, "MaxParts");
}

STDMETHODIMP CUpload::get_RequireCompleteBody(VARIANT_BOOL* pVal)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        com::ObjectLockGuard lock(*this);
        *pVal = requireCompleteBody_;
        return S_OK;
    });
}

STDMETHODIMP CUpload::put_RequireCompleteBody(VARIANT_BOOL newVal)
{
    com::ObjectLockGuard lock(*this);
    requireCompleteBody_ = newVal ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CUpload::GetLimit(const LONG& limit, LONG* pVal)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        com::ObjectLockGuard lock(*this);
        *pVal = limit;
        return S_OK;
    });
}

HRESULT CUpload::PutLimit(LONG& limit, LONG newVal, const char* name)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (newVal < 0) {
            com::ReportFailure(name, ": ", newVal, " is not a limit; give a number of 1 or more, or 0 for none");
            return E_INVALIDARG;
        }
        com::ObjectLockGuard lock(*this);
        limit = newVal;
        return S_OK;
    });
}

STDMETHODIMP CUpload::Save(BSTR TempDir)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        com::ObjectLockGuard lock(*this);
        if (saveState_ != SaveState::NotRun) {
            com::ReportFailure("Save: this object has already run Save, which runs once");
            return E_FAIL;
        }
        const std::uint32_t reasonsBefore = com::FailureReasonsOnThisThread();
        try {
            const HRESULT hr = RunSave(TempDir);
            saveState_ = SUCCEEDED(hr) ? SaveState::Finished : SaveState::Failed;
            return hr;
        } catch (const EEmptyQuery&) {
            saveState_ = SaveState::Finished;
            return S_OK;
        } catch (const CUploadManager::EIdTooLong&) {
            saveState_ = SaveState::Failed;
            return E_INVALIDARG;
        } catch (...) {
            saveState_ = SaveState::Failed;
            if (com::FailureReasonsOnThisThread() == reasonsBefore)
                com::ReportFailure("Save: failed (out of memory, or the statistics of the upload could not be set up)");
            return E_FAIL;
        }
    });
}

HRESULT CUpload::RunSave(BSTR tempDir)
{
    const WideString directory = com::Bstr::ToWide(tempDir);

    utils::CComObjectAutoWrap<CUploadedFileCollection> files;
    utils::CComObjectAutoWrap<CTextFieldCollection> texts;
    files_ = files.Query<IUploadedFileCollection>(IID_IUploadedFileCollection);
    form_ = texts.Query<ITextFieldCollection>(IID_ITextFieldCollection);

    CheckRequest();

    const LONG totalBytes = TotalBytes(request_.Get());

    // Registered under ID (a generated one when ID is empty) until it goes out of scope, which
    // withdraws the upload on every path.
    CUploadMetadataAutoWrap updater(id_, totalBytes);

    // Registered first, so that a progress page sees the rejection; no byte of the body is read.
    if (maxTotalBytes_ > 0 && totalBytes > maxTotalBytes_) {
        com::ReportFailure("Save: the request is rejected: its body of ", totalBytes,
                           " bytes is larger than MaxTotalBytes (", maxTotalBytes_, " bytes)");
        ReportResult(updater, uprReject, com::LastFailureReasonOnThisThread());
        return static_cast<HRESULT>(kleMaxTotalBytes);
    }

    TParserOptions options;
    options.boundary = ExtractBoundary();
    options.tempDir = directory;
    options.codePage = codePage_;
    options.charRefsMode = CharRefsMode();
    options.limits.maxFileBytes = static_cast<std::uint32_t>(maxFileBytes_);
    options.limits.maxFiles = static_cast<std::uint32_t>(maxFiles_);
    options.limits.maxFields = static_cast<std::uint32_t>(maxFields_);
    options.limits.maxFieldBytes = static_cast<std::uint32_t>(maxFieldBytes_);
    options.limits.maxParts = static_cast<std::uint32_t>(maxParts_);

    const std::uint32_t reasonsBefore = com::FailureReasonsOnThisThread();
    try {
        const bool closed = ProcessPostQuery(options, request_, &updater, &files.Object(), &texts.Object());
        if (!closed && requireCompleteBody_) {
            com::ReportFailure("Save: the body ended before its close delimiter, and RequireCompleteBody is set");
            throw EUpload();
        }
        updater.SetUploadResult(uprSuccess);
    } catch (const EUserCancelledUpload&) {
        ReportResult(updater, uprCancel, updater.CancelReason());
        files->Clear();
        texts->Clear();
    } catch (const parser::CPartLimits::ELimitExceeded&) {
        const HRESULT rejected = LimitErrorInFlight();
        ReportResult(updater, uprReject, com::LastFailureReasonOnThisThread());
        files->Clear();
        texts->Clear();
        return rejected;
    } catch (...) {
        files->Clear();
        texts->Clear();
        if (com::FailureReasonsOnThisThread() == reasonsBefore)
            ReportParseFailure(options.boundary);
        ReportResult(updater, uprFail, com::LastFailureReasonOnThisThread());
        throw;
    }
    return S_OK;
}

void CUpload::ReportResult(CUploadMetadataAutoWrap& updater, TUploadResult result, const WideString& reason) noexcept
{
    // A progress page then shows a stale state; the upload's own outcome is what counts.
    try {
        updater.SetStatusReason(reason);
    } catch (...) {
    }
    try {
        updater.SetUploadResult(result);
    } catch (...) {
    }
}

HRESULT CUpload::LimitErrorInFlight() noexcept
{
    try {
        throw;
    } catch (const parser::CPartLimits::EFileTooLarge&) {
        return static_cast<HRESULT>(kleMaxFileBytes);
    } catch (const parser::CPartLimits::ETooManyFiles&) {
        return static_cast<HRESULT>(kleMaxFiles);
    } catch (const parser::CPartLimits::ETooManyFields&) {
        return static_cast<HRESULT>(kleMaxFields);
    } catch (const parser::CPartLimits::EFieldTooLarge&) {
        return static_cast<HRESULT>(kleMaxFieldBytes);
    } catch (const parser::CPartLimits::ETooManyParts&) {
        return static_cast<HRESULT>(kleMaxParts);
    } catch (...) {
        return E_FAIL;
    }
}

void CUpload::ReportParseFailure(const std::string& boundary) noexcept
{
    if (boundary.empty()) {
        com::ReportFailure("Save: the Content-Type has no usable boundary parameter (none, an empty one, two, or a "
                           "quoted value left open)");
        return;
    }
    try {
        WideString bytes; // the boundary's bytes, one unit each: enough to recognise it
        for (char c : boundary)
            bytes.push_back(static_cast<OLECHAR>(static_cast<unsigned char>(c)));
        com::ReportFailure("Save: the body could not be parsed as multipart/form-data with the boundary ",
                           com::Quoted(bytes));
    } catch (...) {
    }
}

void CUpload::CheckRequest()
{
    if (TotalBytes(request_.Get()) <= 0)
        throw EEmptyQuery();

    const com::ComPtr<IRequestDictionary> variables = ServerVariables(request_.Get());
    const WideString method = LookUpServerVariable(variables.Get(), OLESTR("REQUEST_METHOD"));
    if (LowerCase(method) != OLESTR("post")) {
        com::ReportFailure("Save: the request method is ", com::Quoted(method), ", not POST");
        throw EUpload();
    }

    const WideString header = LookUpServerVariable(variables.Get(), OLESTR("HTTP_Content_Type"));
    const WideString cgi = LookUpServerVariable(variables.Get(), OLESTR("CONTENT_TYPE"));
    const std::basic_string_view<OLECHAR> multipart = OLESTR("multipart/form-data");
    if (!StartsWith(LowerCase(header), multipart) && !StartsWith(LowerCase(cgi), multipart)) {
        com::ReportFailure("Save: the request is not multipart/form-data (Content-Type ",
                           com::Quoted(header.empty() ? cgi : header), ")");
        throw EUpload();
    }
}

std::string CUpload::BoundaryFromContentType(const WideString& contentType)
{
    const WideString boundary = utils::FindBoundaryParameter(std::basic_string_view<OLECHAR>(contentType));
    if (boundary.empty())
        return {};
    std::optional<std::string> narrow = com::NarrowText(boundary, CP_THREAD_ACP);
    if (!narrow) {
        com::ReportFailure("Save: the boundary ", com::Quoted(boundary),
                           " cannot be converted to the thread's ANSI code page");
        throw EUpload();
    }
    return std::move(*narrow);
}

std::string CUpload::ExtractBoundary()
{
    const com::ComPtr<IRequestDictionary> variables = ServerVariables(request_.Get());
    std::string boundary = BoundaryFromContentType(LookUpServerVariable(variables.Get(), OLESTR("HTTP_Content_Type")));
    if (boundary.empty())
        boundary = BoundaryFromContentType(LookUpServerVariable(variables.Get(), OLESTR("CONTENT_TYPE")));
    return boundary;
}

std::int32_t CUpload::CharRefsMode() const
{
    switch (detectCharRefs_) {
    case ynaYes: return kDecodeCharRefs;
    case ynaNo: return kKeepCharRefs;
    case ynaAuto: return kAutoCharRefs;
    default:
        com::ReportFailure("Save: DetectCharRefs is ", detectCharRefs_, "; it must be 0 (no), 1 (yes) or 2 (auto)");
        throw EUpload();
    }
}
