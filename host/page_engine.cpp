#include "host/page_engine.h"

#include "com/failure_reason.h"

#include <string>

namespace host {

namespace {

const char* StepText(EScriptEngine::TStep step) noexcept
{
    using TStep = EScriptEngine::TStep;
    switch (step) {
    case TStep::FindEngine: return "the VBScript engine is not registered";
    case TStep::CreateEngine: return "cannot create the VBScript engine";
    case TStep::QueryParser: return "no IActiveScriptParse";
    case TStep::InitNew: return "InitNew failed";
    case TStep::SetSite: return "SetScriptSite failed";
    case TStep::AddItem: return "AddNamedItem failed";
    case TStep::Start: return "SetScriptState failed";
    }
    return "the VBScript engine failed";
}

void Check(HRESULT hr, EScriptEngine::TStep step)
{
    if (FAILED(hr))
        throw EScriptEngine(step, hr);
}

} // namespace

EScriptEngine::EScriptEngine(TStep step, HRESULT code)
    : std::runtime_error(std::string(StepText(step)) + " (" + com::HResult{code}.Text() + ")"), step_(step), code_(code)
{}

CPageEngine::CPageEngine()
{
    using TStep = EScriptEngine::TStep;
    CLSID vbscript;
    Check(::CLSIDFromProgID(L"VBScript", &vbscript), TStep::FindEngine);
    Check(::CoCreateInstance(vbscript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript, engine_.ReceiveVoid()),
          TStep::CreateEngine);
    Check(engine_->QueryInterface(IID_IActiveScriptParse, parser_.ReceiveVoid()), TStep::QueryParser);
    Check(parser_->InitNew(), TStep::InitNew);
    Check(engine_->SetScriptSite(&site_), TStep::SetSite);
}

CPageEngine::~CPageEngine()
{
    Close();
}

void CPageEngine::AddItem(const WideString& name, IUnknown* object)
{
    site_.AddItem(name, object);
    Check(engine_->AddNamedItem(name.c_str(), SCRIPTITEM_ISVISIBLE), EScriptEngine::TStep::AddItem);
}

void CPageEngine::AddPageObjects(CScriptingContext& context)
{
    com::ComPtr<IRequest> request;
    com::ComPtr<IResponse> response;
    Check(context.get_Request(request.Receive()), EScriptEngine::TStep::AddItem);
    Check(context.get_Response(response.Receive()), EScriptEngine::TStep::AddItem);
    AddItem(L"Request", request.Get());
    AddItem(L"Response", response.Get());
    com::ComPtr<IServer> server;
    if (SUCCEEDED(context.get_Server(server.Receive())))
        AddItem(L"Server", server.Get());
    com::ComPtr<IApplicationObject> application;
    if (SUCCEEDED(context.get_Application(application.Receive())))
        AddItem(L"Application", application.Get());
    com::ComPtr<ISessionObject> session;
    if (SUCCEEDED(context.get_Session(session.Receive())))
        AddItem(L"Session", session.Get());
}

HRESULT CPageEngine::Run(const WideString& script)
{
    Check(engine_->SetScriptState(SCRIPTSTATE_STARTED), EScriptEngine::TStep::Start);
    EXCEPINFO exception = {};
    const HRESULT parsed = parser_->ParseScriptText(script.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                                    SCRIPTTEXT_ISVISIBLE, nullptr, &exception);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrHelpFile);
    return parsed;
}

void CPageEngine::Close() noexcept
{
    if (!engine_)
        return;
    engine_->Close();
    parser_.Reset();
    engine_.Reset();
}

} // namespace host
