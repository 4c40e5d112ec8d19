#include "host/scripting_context.h"

namespace host {

namespace {

enum : DISPID { kRequest = 1, kResponse, kServer, kSession, kApplication };

const TDispMember kMembers[] = {
    {OLESTR("Request"), kRequest}, {OLESTR("Response"), kResponse},       {OLESTR("Server"), kServer},
    {OLESTR("Session"), kSession}, {OLESTR("Application"), kApplication},
};

template <class T>
HRESULT NotImplemented(T** out) noexcept
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

} // namespace

CScriptingContext::CScriptingContext(com::ComPtr<CRequest> request, com::ComPtr<CResponse> response)
    : CHostObject(kMembers), request_(std::move(request)), response_(std::move(response))
{}

com::ComPtr<CScriptingContext> CScriptingContext::Create(com::ComPtr<CRequest> request, com::ComPtr<CResponse> response)
{
    return MakeHostObject<CScriptingContext>(std::move(request), std::move(response));
}

STDMETHODIMP CScriptingContext::get_Request(IRequest** ppRequest)
{
    if (!ppRequest)
        return E_POINTER;
    request_->AddRef();
    *ppRequest = request_.Get();
    return S_OK;
}

STDMETHODIMP CScriptingContext::get_Response(IResponse** ppResponse)
{
    if (!ppResponse)
        return E_POINTER;
    response_->AddRef();
    *ppResponse = response_.Get();
    return S_OK;
}

void CScriptingContext::SetServer(IDispatch* server)
{
    server_ = com::ComPtr<IDispatch>(server);
}

STDMETHODIMP CScriptingContext::get_Server(IServer** ppServer)
{
    if (!server_)
        return NotImplemented(ppServer);
    if (!ppServer)
        return E_POINTER;
    // IServer derives from IDispatch alone, so the object's IDispatch pointer is its IServer one.
    server_->AddRef();
    *ppServer = reinterpret_cast<IServer*>(server_.Get());
    return S_OK;
}
void CScriptingContext::SetSession(IDispatch* session)
{
    session_ = com::ComPtr<IDispatch>(session);
}

void CScriptingContext::SetApplication(IDispatch* application)
{
    application_ = com::ComPtr<IDispatch>(application);
}

STDMETHODIMP CScriptingContext::get_Session(ISessionObject** ppSession)
{
    if (!session_)
        return NotImplemented(ppSession);
    if (!ppSession)
        return E_POINTER;
    session_->AddRef();
    *ppSession = reinterpret_cast<ISessionObject*>(session_.Get());
    return S_OK;
}

STDMETHODIMP CScriptingContext::get_Application(IApplicationObject** ppApplication)
{
    if (!application_)
        return NotImplemented(ppApplication);
    if (!ppApplication)
        return E_POINTER;
    application_->AddRef();
    *ppApplication = reinterpret_cast<IApplicationObject*>(application_.Get());
    return S_OK;
}

HRESULT CScriptingContext::InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result)
{
    switch (id) {
    case kRequest: return ReturnObject(request_.Get(), args, result);
    case kResponse: return ReturnObject(response_.Get(), args, result);
    case kServer: return server_ ? ReturnObject(server_.Get(), args, result) : E_NOTIMPL;
    case kSession: return session_ ? ReturnObject(session_.Get(), args, result) : E_NOTIMPL;
    case kApplication: return application_ ? ReturnObject(application_.Get(), args, result) : E_NOTIMPL;
    default: return E_NOTIMPL;
    }
}

} // namespace host
