// CServer: the page's Server object. CreateObject creates a component by ProgID and, as ASP does,
// calls its OnStartPage with the page's scripting context when it has that method; EndPage later
// calls OnEndPage on each of them. HTMLEncode and URLEncode encode text (URLEncode in the page's
// code page), MapPath maps a site path to a file in the served folder, ScriptTimeout reads and
// sets the page's CScriptDeadline (more time than the server's setting, never less). Execute,
// Transfer, GetLastError and URLPathEncode answer E_NOTIMPL. Windows only.
//
//   auto server = host::CServer::Create(L"C:\\site", "/upload.asp", context, [&] { return codePage; }, deadline);
//   context->SetServer(server.Get());
//   ... the page runs ...
//   server->EndPage();
#pragma once

#include "com/com_ptr.h"
#include "host/host_object.h"
#include "platform/win.h"
#include "host/script_deadline.h"

#include <asptlb.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace host {

class CServer : public CHostObject<IServer, &IID_IServer> {
public:
    /// root: the served folder; page: the running page's site path; context: handed to
    /// OnStartPage (not held beyond EndPage); codePage: the page's current code page;
    /// deadline: the page's script deadline.
    static com::ComPtr<CServer> Create(std::wstring root, std::string page, IUnknown* context,
                                       std::function<UINT()> codePage, std::shared_ptr<CScriptDeadline> deadline);

    /// Calls OnEndPage on every object CreateObject started, newest first, and lets them go.
    void EndPage() noexcept;

    STDMETHODIMP get_ScriptTimeout(LONG* plTimeoutSeconds) override;
    /// Seconds from the page's start; below the server's setting it changes nothing. A negative
    /// value gives E_INVALIDARG.
    STDMETHODIMP put_ScriptTimeout(LONG lTimeoutSeconds) override;
    /// A new object of class bstrProgID; its OnStartPage failing fails the call with that HRESULT.
    STDMETHODIMP CreateObject(BSTR bstrProgID, IDispatch** ppDispObject) override;
    STDMETHODIMP HTMLEncode(BSTR bstrIn, BSTR* pbstrEncoded) override;
    /// The file path of a site path ("/a/b" from the root, "b" from the page's folder); a path
    /// that leaves the site gives E_INVALIDARG.
    STDMETHODIMP MapPath(BSTR bstrLogicalPath, BSTR* pbstrPhysicalPath) override;
    STDMETHODIMP URLEncode(BSTR bstrIn, BSTR* pbstrEncoded) override;
    STDMETHODIMP URLPathEncode(BSTR bstrIn, BSTR* pbstrEncoded) override;
    STDMETHODIMP Execute(BSTR bstrLogicalPath) override;
    STDMETHODIMP Transfer(BSTR bstrLogicalPath) override;
    STDMETHODIMP GetLastError(IASPError** ppASPErrorObject) override;

protected:
    CServer(std::wstring root, std::string page, IUnknown* context, std::function<UINT()> codePage,
            std::shared_ptr<CScriptDeadline> deadline);

private:
    HRESULT InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result) override;
    HRESULT PutMember(DISPID id, const VARIANT& value) override;

    const std::wstring root_;
    const std::string page_;
    IUnknown* context_;
    const std::function<UINT()> codePage_;
    const std::shared_ptr<CScriptDeadline> deadline_;
    std::vector<com::ComPtr<IDispatch>> started_; // objects whose OnEndPage is due
};

} // namespace host
