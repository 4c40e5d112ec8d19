#include "tools/aspserve/page_runner.h"

#include "com/bstr.h"
#include "com/code_page_text.h"
#include "com/com_ptr.h"
#include "com/failure_reason.h"
#include "host/html_text.h"
#include "host/page_engine.h"
#include "host/request.h"
#include "host/response.h"
#include "host/scripting_context.h"
#include "host/server_object.h"
#include "tools/aspserve/application_object.h"
#include "tools/aspserve/loop_check_object.h"
#include "tools/aspserve/session_object.h"

#include <atomic>

namespace aspserve {

namespace {

std::wstring FromUtf8(std::string_view text)
{
    return com::WidenText(text, CP_UTF8).value_or(std::wstring());
}

std::string ToUtf8(std::wstring_view text)
{
    return com::NarrowText(text, CP_UTF8).value_or(std::string());
}

std::string ErrorPage(const std::string& title, const std::string& detail)
{
    const std::string encoded = ToUtf8(host::HtmlEncode(FromUtf8(detail)));
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title + "</title></head><body><h1>" + title +
           "</h1><pre>" + encoded + "</pre></body></html>\n";
}

// Writes a 500 page: in place of the page's output when nothing went out yet, after it otherwise.
void AnswerScriptError(host::CResponse& response, const std::string& detail)
{
    const std::string page = ErrorPage("500 Internal Server Error", detail);
    response.Clear();
    com::Bstr status(WideString(L"500 Internal Server Error"));
    com::Bstr type(WideString(L"text/html"));
    response.put_Status(status.Get());
    response.put_ContentType(type.Get());
    com::Bstr text(FromUtf8(page));
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = text.Get();
    response.Write(value);
}

// The objects one page runs with, made for it.
struct TPageObjects {
    std::shared_ptr<host::CScriptDeadline> deadline;
    com::ComPtr<host::CResponse> response;
    com::ComPtr<host::CScriptingContext> context;
    com::ComPtr<host::CServer> server;
    com::ComPtr<CApplication> application;
    com::ComPtr<CSession> session;
    com::ComPtr<CLoopCheck> loopCheck;
};

// The page's code page: its directive, else the one its session asked for, else the system's.
UINT CodePageOf(const TTranslatedPage& program, const TPageServices& services)
{
    const UINT sessionCodePage = services.session ? services.session->codePage.load() : 0;
    return program.codePage ? static_cast<UINT>(program.codePage) : sessionCodePage ? sessionCodePage : ::GetACP();
}

// Request, Response (with the page's text blocks and, for a new session, its cookie), the
// scripting context and the server's objects, each calling check before every script call.
TPageObjects MakePageObjects(TPageRequest& page, const TTranslatedPage& program, const TPageServices& services,
                             CHttpChannel& channel, UINT codePage)
{
    TPageObjects objects;
    objects.deadline =
        std::make_shared<host::CScriptDeadline>([] { return ::GetTickCount64(); }, services.scriptTimeoutSeconds);
    auto check = [deadline = objects.deadline]() -> HRESULT { return deadline->Check() ? E_FAIL : S_OK; };

    std::vector<WideString> blocks;
    for (const std::string& block : program.blocks)
        blocks.push_back(com::WidenText(block, codePage).value_or(std::wstring()));
    objects.response = host::CResponse::CreateHttp(channel, codePage);
    objects.response->SetBlocks(std::move(blocks));
    objects.response->SetCallCheck(check);
    host::CResponse* response = objects.response.Get();
    auto currentCodePage = [response] { return response->CodePage(); };
    if (services.session && services.newSession) {
        const std::string cookie = services.sessions->CookieName() + "=" + services.session->key + "; path=/";
        com::Bstr name(WideString(OLESTR("Set-Cookie")));
        com::Bstr value(FromUtf8(cookie));
        response->AddHeader(name.Get(), value.Get());
    }
    com::ComPtr<host::CRequest> request =
        host::CRequest::Create(page.head, std::move(page.body), std::move(page.serverVariables));
    request->SetTextCodePage(currentCodePage);
    request->SetCallCheck(check);
    objects.context = host::CScriptingContext::Create(request, objects.response);
    objects.server = host::CServer::Create(page.root.wstring(), page.sitePath,
                                           static_cast<IScriptingContext*>(objects.context.Get()), currentCodePage,
                                           objects.deadline);
    objects.server->SetCallCheck(check);
    objects.context->SetServer(objects.server.Get());
    static std::atomic<std::uint64_t> pageCount{0};
    objects.application = CApplication::Create(*services.application, ++pageCount);
    objects.application->SetCallCheck(check);
    objects.context->SetApplication(objects.application.Get());
    if (services.session) {
        objects.session = CSession::Create(services.session, *services.sessions, currentCodePage,
                                           [response](UINT cp) { return response->SetCodePage(cp); });
        objects.session->SetCallCheck(check);
        objects.context->SetSession(objects.session.Get());
    }
    objects.loopCheck = CLoopCheck::Create(objects.deadline);
    return objects;
}

// Runs script over the page's objects and ends the page for them; returns what kept the engine
// from running ("" when it ran) and keeps the script's first error in scriptError.
std::string RunScript(const TPageObjects& objects, const std::wstring& script,
                      std::optional<host::TScriptError>& scriptError)
{
    std::string problem;
    try {
        host::CPageEngine engine;
        engine.AddPageObjects(*objects.context);
        engine.AddItem(FromUtf8(TPageTranslator::kLoopCheckName), static_cast<IDispatch*>(objects.loopCheck.Get()));
        engine.Run(script);
        objects.server->EndPage();
        engine.Close();
        scriptError = engine.Error();
    } catch (const std::exception& e) {
        objects.server->EndPage();
        problem = e.what();
    }
    objects.application->EndPage();
    objects.context->SetServer(nullptr);
    objects.context->SetSession(nullptr);
    objects.context->SetApplication(nullptr);
    return problem;
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
    const UINT codePage = CodePageOf(program, services);
    const std::wstring script = com::WidenText(program.script, codePage).value_or(std::wstring());
    const TPageObjects objects = MakePageObjects(page, program, services, channel, codePage);
    std::optional<host::TScriptError> scriptError;
    std::string problem = RunScript(objects, script, scriptError);

    host::CResponse& response = *objects.response;
    if (objects.deadline->TimedOut()) {
        problem = page.sitePath + ": ASP 0113 Script timed out (Server.ScriptTimeout " +
                  std::to_string(objects.deadline->Seconds()) + " s)";
        AnswerScriptError(response, ScriptTimeoutMessage(page.sitePath));
    } else {
        if (scriptError && !response.Ended()) {
            const TSourceLine where = program.SourceOf(scriptError->line);
            problem = where.page + "(" + std::to_string(where.line) + "): script error " +
                      com::HResult{scriptError->code}.Text() +
                      (scriptError->description.empty() ? "" : ": " + ToUtf8(scriptError->description));
        }
        if (!problem.empty())
            AnswerScriptError(response, problem);
    }
    response.Finish();
    return problem;
}

} // namespace aspserve
