#include "tools/aspserve/page_runner.h"

#include "platform/win.h"

#include <initguid.h>

#include <activscp.h>

#include "com/bstr.h"
#include "com/com_ptr.h"
#include "host/html_text.h"
#include "host/request.h"
#include "host/response.h"
#include "host/scripting_context.h"
#include "tools/aspserve/application_object.h"
#include "tools/aspserve/loop_check_object.h"
#include "tools/aspserve/server_object.h"
#include "tools/aspserve/session_object.h"
#include "tools/aspserve/wide_text.h"
#include "tools/pagerun/script_site.h"

#include <atomic>
#include <cstdio>

namespace aspserve {

namespace {

std::string Hex(HRESULT code)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
    return text;
}

std::string ErrorPage(const std::string& title, const std::string& detail)
{
    const std::string encoded = NarrowText(host::HtmlEncode(WidenText(detail, CP_UTF8)), CP_UTF8);
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title + "</title></head><body><h1>" + title +
           "</h1><pre>" + encoded + "</pre></body></html>\n";
}

// The engine of one page: created, given the site, started; closed when it goes.
class CPageEngine {
public:
    explicit CPageEngine(pagerun::CScriptSite& site)
    {
        CLSID vbscript;
        Check(::CLSIDFromProgID(L"VBScript", &vbscript), "the VBScript engine is not registered");
        Check(::CoCreateInstance(vbscript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript, engine_.ReceiveVoid()),
              "cannot create the VBScript engine");
        Check(engine_->QueryInterface(IID_IActiveScriptParse, parser_.ReceiveVoid()), "no IActiveScriptParse");
        Check(parser_->InitNew(), "InitNew failed");
        Check(engine_->SetScriptSite(&site), "SetScriptSite failed");
    }
    ~CPageEngine()
    {
        if (engine_)
            engine_->Close();
    }
    CPageEngine(const CPageEngine&) = delete;
    CPageEngine& operator=(const CPageEngine&) = delete;

    void AddItem(const wchar_t* name)
    {
        Check(engine_->AddNamedItem(name, SCRIPTITEM_ISVISIBLE), "AddNamedItem failed");
    }

    void Run(const std::wstring& script)
    {
        Check(engine_->SetScriptState(SCRIPTSTATE_STARTED), "SetScriptState failed");
        EXCEPINFO exception = {};
        parser_->ParseScriptText(script.c_str(), nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE, nullptr,
                                 &exception);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrSource);
        ::SysFreeString(exception.bstrHelpFile);
    }

private:
    static void Check(HRESULT hr, const char* what)
    {
        if (FAILED(hr))
            throw std::runtime_error(std::string(what) + " (" + Hex(hr) + ")");
    }

    com::ComPtr<IActiveScript> engine_;
    com::ComPtr<IActiveScriptParse> parser_;
};

// Writes a 500 page: in place of the page's output when nothing went out yet, after it otherwise.
void AnswerScriptError(host::CResponse& response, const std::string& detail)
{
    const std::string page = ErrorPage("500 Internal Server Error", detail);
    response.Clear();
    com::Bstr status(WideString(L"500 Internal Server Error"));
    com::Bstr type(WideString(L"text/html"));
    response.put_Status(status.Get());
    response.put_ContentType(type.Get());
    com::Bstr text(WidenText(page, CP_UTF8));
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = text.Get();
    response.Write(value);
}

} // namespace

std::string ScriptTimeoutMessage(const std::string& sitePath)
{
    return "Active Server Pages error 'ASP 0113'\n\nScript timed out\n\n" + sitePath +
           "\n\nThe maximum amount of time for a script to execute was exceeded. You can change this limit by "
           "specifying a new value for the property Server.ScriptTimeout or with aspserve's --script-timeout.";
}

void AnswerTranslationError(CHttpChannel& channel, const std::string& reason)
{
    channel.SendPage("500 Internal Server Error", "text/html; charset=utf-8",
                     ErrorPage("500 Internal Server Error", reason));
}

std::string RunAspPage(TPageRequest& page, const TTranslatedPage& program, const TPageServices& services,
                       CHttpChannel& channel)
{
    // The code page: the page's directive, else the one the session asked for, else the system's.
    const UINT sessionCodePage = services.session ? services.session->codePage.load() : 0;
    const UINT codePage = program.codePage  ? static_cast<UINT>(program.codePage)
                          : sessionCodePage ? sessionCodePage
                                            : ::GetACP();
    std::vector<WideString> blocks;
    for (const std::string& block : program.blocks)
        blocks.push_back(WidenText(block, codePage));
    const std::wstring script = WidenText(program.script, codePage);

    auto deadline = std::make_shared<CScriptDeadline>([] { return ::GetTickCount64(); }, services.scriptTimeoutSeconds);
    auto checkDeadline = [deadline]() -> HRESULT { return deadline->Check() ? E_FAIL : S_OK; };

    com::ComPtr<host::CResponse> response = host::CResponse::CreateHttp(channel, codePage);
    response->SetBlocks(std::move(blocks));
    response->SetCallCheck(checkDeadline);
    host::CResponse* responseForCodePage = response.Get();
    auto currentCodePage = [responseForCodePage] { return responseForCodePage->CodePage(); };
    if (services.session && services.newSession) {
        const std::string cookie = services.sessions->CookieName() + "=" + services.session->key + "; path=/";
        com::Bstr name(WideString(OLESTR("Set-Cookie")));
        com::Bstr value(WidenText(cookie, CP_UTF8));
        response->AddHeader(name.Get(), value.Get());
    }
    com::ComPtr<host::CRequest> request =
        host::CRequest::Create(page.head, std::move(page.body), std::move(page.serverVariables));
    request->SetTextCodePage(currentCodePage);
    request->SetCallCheck(checkDeadline);
    com::ComPtr<host::CScriptingContext> context = host::CScriptingContext::Create(request, response);
    com::ComPtr<CServer> server = CServer::Create(
        page.root.wstring(), page.sitePath, static_cast<IScriptingContext*>(context.Get()), currentCodePage, deadline);
    server->SetCallCheck(checkDeadline);
    context->SetServer(server.Get());
    static std::atomic<std::uint64_t> pageCount{0};
    com::ComPtr<CApplication> application = CApplication::Create(*services.application, ++pageCount);
    application->SetCallCheck(checkDeadline);
    context->SetApplication(application.Get());
    com::ComPtr<CSession> session;
    if (services.session) {
        session = CSession::Create(services.session, *services.sessions, currentCodePage,
                                   [responseForCodePage](UINT cp) { return responseForCodePage->SetCodePage(cp); });
        session->SetCallCheck(checkDeadline);
        context->SetSession(session.Get());
    }
    com::ComPtr<CLoopCheck> loopCheck = CLoopCheck::Create(deadline);
    const WideString loopCheckName = WidenText(TPageTranslator::kLoopCheckName, CP_UTF8);

    std::string problem;
    pagerun::CScriptSite site;
    site.AddItem(L"Request", static_cast<IRequest*>(request.Get()));
    site.AddItem(L"Response", static_cast<IResponse*>(response.Get()));
    site.AddItem(L"Server", static_cast<IServer*>(server.Get()));
    site.AddItem(L"Application", static_cast<IApplicationObject*>(application.Get()));
    if (session)
        site.AddItem(L"Session", static_cast<ISessionObject*>(session.Get()));
    site.AddItem(loopCheckName, static_cast<IDispatch*>(loopCheck.Get()));
    try {
        CPageEngine engine(site);
        for (const wchar_t* name : {L"Request", L"Response", L"Server", L"Application"})
            engine.AddItem(name);
        if (session)
            engine.AddItem(L"Session");
        engine.AddItem(loopCheckName.c_str());
        engine.Run(script);
        server->EndPage();
    } catch (const std::exception& e) {
        server->EndPage();
        problem = e.what();
    }
    application->EndPage();
    context->SetServer(nullptr);
    context->SetSession(nullptr);
    context->SetApplication(nullptr);

    if (deadline->TimedOut()) {
        problem = page.sitePath + ": ASP 0113 Script timed out (Server.ScriptTimeout " +
                  std::to_string(deadline->Seconds()) + " s)";
        AnswerScriptError(*response, ScriptTimeoutMessage(page.sitePath));
    } else {
        if (site.Error() && !response->Ended()) {
            const pagerun::TScriptError& error = *site.Error();
            const TSourceLine where = program.SourceOf(error.line);
            problem = where.page + "(" + std::to_string(where.line) + "): script error " + Hex(error.code) +
                      (error.description.empty() ? "" : ": " + NarrowText(error.description, CP_UTF8));
        }
        if (!problem.empty())
            AnswerScriptError(*response, problem);
    }
    response->Finish();
    return problem;
}

} // namespace aspserve
