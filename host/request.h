// CRequest: the page's Request object over an HTTP request head and a body source.
// TotalBytes is the Content-Length; ServerVariables is a CServerVariables; BinaryRead pulls the
// body from its source as asked, never more than asked and never past Content-Length (a source
// that ends earlier ends the body early). QueryString and Form decode name=value pairs (Form only
// for an application/x-www-form-urlencoded body, read whole when first asked) with the text code
// page; as on IIS, a request uses either Form or BinaryRead: the other then fails with E_FAIL.
// Request("name") looks in QueryString, then (for a URL-encoded body) Form, then ServerVariables.
// ClientCertificate, Cookies and Body answer E_NOTIMPL.
//
//   com::ComPtr<CRequest> request = CRequest::Create(head, std::move(body));
//   request->SetReadObserver([&](LONGLONG asked, LONG got) { log.push_back({asked, got}); });
//   request->InjectReadFault({CRequest::TReadFault::Kind::Fail, 3, E_ACCESSDENIED});   // for tests
#pragma once

#include "com/com_ptr.h"
#include "host/body_source.h"
#include "host/host_object.h"
#include "host/http_request_head.h"
#include "host/server_variables.h"
#include "platform/win.h"

#include <asptlb.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace host {

class CRequest : public CHostObject<IRequest, &IID_IRequest> {
public:
    /// Called after each BinaryRead that succeeded, with the count asked and the count delivered.
    using TReadObserver = std::function<void(LONGLONG asked, LONG delivered)>;

    /// Throws THttpRequestHead::EBadRequest for a bad Content-Length or a transfer coding.
    /// server: variables the server adds (SERVER_PORT, REMOTE_ADDR, ...).
    static com::ComPtr<CRequest> Create(const THttpRequestHead& head, std::unique_ptr<CBodySource> body,
                                        std::vector<CServerVariables::TVariable> server = {});

    /// The code page QueryString and Form decode with, asked at their first use (default: the
    /// ANSI code page).
    void SetTextCodePage(std::function<UINT()> codePage);

    /// The largest URL-encoded body Form reads; a larger one makes Form fail with E_OUTOFMEMORY.
    static constexpr LONG kMaxFormBytes = 16 * 1024 * 1024;

    void SetReadObserver(TReadObserver observer);

    /// A misbehaviour of BinaryRead for tests: at the call numbered `call` (1 = the first), Fail
    /// answers `failure` without reading; CountType reads but answers the count as VT_I2;
    /// DataType reads but labels the array VT_ARRAY|VT_I1. Kind::None (the default) behaves.
    struct TReadFault {
        enum class Kind { None, Fail, CountType, DataType };
        Kind kind = Kind::None;
        unsigned call = 0;
        HRESULT failure = E_FAIL;
    };
    void InjectReadFault(TReadFault fault);

    /// Body bytes handed out by BinaryRead so far.
    LONG BytesDelivered() const;

    STDMETHODIMP get_Item(BSTR bstrVar, IDispatch** ppObjReturn) override;
    STDMETHODIMP get_QueryString(IRequestDictionary** ppDictReturn) override;
    STDMETHODIMP get_Form(IRequestDictionary** ppDictReturn) override;
    STDMETHODIMP get_Body(IRequestDictionary** ppDictReturn) override;
    /// A counted reference to the one server-variables collection of the request.
    STDMETHODIMP get_ServerVariables(IRequestDictionary** ppDictReturn) override;
    STDMETHODIMP get_ClientCertificate(IRequestDictionary** ppDictReturn) override;
    STDMETHODIMP get_Cookies(IRequestDictionary** ppDictReturn) override;
    /// The Content-Length, 0 without one.
    STDMETHODIMP get_TotalBytes(LONG* pcbTotal) override;
    /// pvarCountToRead: in, any integer VARIANT (or a reference to one) with the number wanted;
    /// out, VT_I4 with the number delivered, 0 once the body has ended. pvarReturn: out,
    /// VT_ARRAY|VT_UI1 holding the bytes (an empty array when none). A negative count gives
    /// E_INVALIDARG, a non-integer DISP_E_TYPEMISMATCH, a failing source its HRESULT; on
    /// failure neither VARIANT is changed.
    STDMETHODIMP BinaryRead(VARIANT* pvarCountToRead, VARIANT* pvarReturn) override;

protected:
    CRequest(com::ComPtr<CServerVariables> variables, LONG totalBytes, std::unique_ptr<CBodySource> body,
             std::string queryString, bool urlEncodedBody);

private:
    HRESULT InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result) override;
    HRESULT ReadBody(ULONGLONG asked, SAFEARRAY** data, ULONG* delivered);
    com::ComPtr<CServerVariables> Decoded(const std::string& text) const;
    HRESULT FormLocked(com::ComPtr<CServerVariables>& form);
    HRESULT LookUp(const VARIANT& name, VARIANT* result);

    const com::ComPtr<CServerVariables> variables_;
    const LONG totalBytes_;
    mutable std::mutex lock_; // guards everything below
    std::unique_ptr<CBodySource> body_;
    LONG delivered_ = 0;
    bool ended_ = false;
    TReadObserver observer_;
    const std::string queryString_;
    const bool urlEncodedBody_;
    std::function<UINT()> codePage_;
    com::ComPtr<CServerVariables> queryCollection_;
    com::ComPtr<CServerVariables> formCollection_;
    bool binaryReadUsed_ = false;
    TReadFault fault_;
    unsigned calls_ = 0;
};

} // namespace host
