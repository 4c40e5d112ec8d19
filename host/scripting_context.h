// CScriptingContext: what a component receives in OnStartPage, holding the page's Request and
// Response. get_Request and get_Response hand out counted references; Server is the one a host
// gives with SetServer (E_NOTIMPL without one); Session and Application answer E_NOTIMPL. Build
// one with host::CreatePage (page_host.h).
#pragma once

#include "frame/com_ptr.h"
#include "host/host_object.h"
#include "host/request.h"
#include "host/response.h"
#include "platform/win.h"

#include <asptlb.h>

namespace host {

class CScriptingContext final : public CHostObject<IScriptingContext> {
public:
    static frame::ComPtr<CScriptingContext> Create(frame::ComPtr<CRequest> request, frame::ComPtr<CResponse> response);

    /// The request object itself, for what tests and tools set on it or ask it.
    CRequest& Request() const noexcept { return *request_.Get(); }

    /// The Server object get_Server hands out (an object implementing IServer); call before
    /// the page runs, and with null after it to break the reference cycle.
    void SetServer(IDispatch* server);

    STDMETHODIMP get_Request(IRequest** ppRequest) override;
    STDMETHODIMP get_Response(IResponse** ppResponse) override;
    STDMETHODIMP get_Server(IServer** ppServer) override;
    STDMETHODIMP get_Session(ISessionObject** ppSession) override;
    STDMETHODIMP get_Application(IApplicationObject** ppApplication) override;

private:
    CScriptingContext(frame::ComPtr<CRequest> request, frame::ComPtr<CResponse> response);
    HRESULT InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result) override;

    const frame::ComPtr<CRequest> request_;
    const frame::ComPtr<CResponse> response_;
    frame::ComPtr<IDispatch> server_; // implements IServer (the stand-in only declares that name)
};

} // namespace host
