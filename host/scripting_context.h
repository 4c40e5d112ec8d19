// CScriptingContext: what a component receives in OnStartPage, holding the page's Request and
// Response. get_Request and get_Response hand out counted references; Server, Session and
// Application are the ones a host gives with SetServer, SetSession and SetApplication (E_NOTIMPL
// without one: a page without session state has no Session). Build one with host::CreatePage
// (page_host.h).
#pragma once

#include "com/com_ptr.h"
#include "host/host_object.h"
#include "host/request.h"
#include "host/response.h"
#include "platform/win.h"

#include <asptlb.h>

namespace host {

class CScriptingContext : public CHostObject<IScriptingContext, &IID_IScriptingContext> {
public:
    static com::ComPtr<CScriptingContext> Create(com::ComPtr<CRequest> request, com::ComPtr<CResponse> response);

    /// The request object itself, for what tests and tools set on it or ask it.
    CRequest& Request() const noexcept { return *request_.Get(); }

    /// The Server object get_Server hands out (an object implementing IServer); call before
    /// the page runs, and with null after it to break the reference cycle.
    void SetServer(IDispatch* server);

    /// The Session object get_Session hands out (an object implementing ISessionObject), or null
    /// for none; as SetServer.
    void SetSession(IDispatch* session);

    /// The Application object get_Application hands out (implementing IApplicationObject), or
    /// null for none; as SetServer.
    void SetApplication(IDispatch* application);

    STDMETHODIMP get_Request(IRequest** ppRequest) override;
    STDMETHODIMP get_Response(IResponse** ppResponse) override;
    STDMETHODIMP get_Server(IServer** ppServer) override;
    STDMETHODIMP get_Session(ISessionObject** ppSession) override;
    STDMETHODIMP get_Application(IApplicationObject** ppApplication) override;

protected:
    CScriptingContext(com::ComPtr<CRequest> request, com::ComPtr<CResponse> response);

private:
    HRESULT InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result) override;

    const com::ComPtr<CRequest> request_;
    const com::ComPtr<CResponse> response_;
    // These implement IServer, ISessionObject and IApplicationObject, which derive from IDispatch
    // alone (the stand-in only declares those names).
    com::ComPtr<IDispatch> server_;
    com::ComPtr<IDispatch> session_;
    com::ComPtr<IDispatch> application_;
};

} // namespace host
