#include "tools/aspserve/request_answer.h"

#include "com/code_page_text.h"
#include "host/http_request_head.h"
#include "host/site_path.h"
#include "tools/aspserve/http_channel.h"
#include "tools/aspserve/page_runner.h"
#include "tools/aspserve/page_translator.h"
#include "tools/aspserve/request_log.h"
#include "tools/aspserve/site_files.h"
#include "tools/aspserve/socket_body_source.h"

#include <chrono>
#include <fstream>

namespace aspserve {

namespace {

namespace http = boost::beast::http;

void SendErrorPage(CHttpChannel& channel, const std::string& status)
{
    channel.SendPage(status, "text/html; charset=utf-8",
                     "<!DOCTYPE html><html><head><title>" + status + "</title></head><body><h1>" + status +
                         "</h1></body></html>\n");
}

host::THttpRequestHead HeadOf(const TRequestParser::value_type& request)
{
    host::THttpRequestHead head;
    head.method = std::string(request.method_string());
    head.target = std::string(request.target());
    head.protocol = request.version() == 10 ? "HTTP/1.0" : "HTTP/1.1";
    for (const auto& field : request)
        head.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    return head;
}

void SendStaticFile(CHttpChannel& channel, const std::filesystem::path& file, std::string_view type)
{
    std::ifstream in(file, std::ios::binary);
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (!in || error) {
        SendErrorPage(channel, "404 Not Found");
        return;
    }
    channel.SendHead("200 OK", {{"Content-Type", std::string(type)}}, static_cast<std::size_t>(size));
    std::string buffer(65536, '\0');
    while (in && channel.Connected()) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        channel.SendBody(std::string_view(buffer.data(), static_cast<std::size_t>(in.gcount())));
    }
    channel.EndBody();
}

std::vector<host::CServerVariables::TVariable> ServerVariablesOf(const host::THttpRequestHead& head,
                                                                 const std::string& sitePath,
                                                                 const std::string& remoteAddress,
                                                                 const TServerSettings& settings)
{
    std::string serverName = head.Header("Host").value_or(settings.bindAddress);
    if (const std::size_t colon = serverName.rfind(':');
        colon != std::string::npos && !serverName.empty() && serverName.front() != '[')
        serverName.erase(colon);
    auto wide = [](const std::string& text) { return com::WidenText(text, CP_UTF8).value_or(std::wstring()); };
    return {
        {L"SCRIPT_NAME", wide(sitePath)},
        {L"SERVER_NAME", wide(serverName)},
        {L"SERVER_PORT", std::to_wstring(settings.port)},
        {L"REMOTE_ADDR", wide(remoteAddress)},
        {L"REMOTE_HOST", wide(remoteAddress)},
        {L"HTTPS", L"off"},
        {L"SERVER_SOFTWARE", L"aspserve"},
        {L"PATH_TRANSLATED", FileOfSitePath(settings.root, sitePath).wstring()},
    };
}

// Holds a session's turn for one request and passes it on when the request is done.
class CSessionTurn {
public:
    CSessionTurn(CSessionStore& store, std::shared_ptr<TSessionState> session) noexcept
        : store_(store), session_(std::move(session))
    {}
    ~CSessionTurn()
    {
        if (!session_)
            return;
        try {
            if (const std::function<void()> next = store_.Leave(session_))
                next();
        } catch (...) {
            LogEvent("aspserve: a request that waited for its session could not be resumed");
        }
    }
    CSessionTurn(const CSessionTurn&) = delete;
    CSessionTurn& operator=(const CSessionTurn&) = delete;

private:
    CSessionStore& store_;
    std::shared_ptr<TSessionState> session_;
};

struct TOutcome {
    TAnswer answer = TAnswer::Close;
    std::string problem;
};

// Runs an .asp page, after its session's turn when it has session state.
TOutcome AnswerPage(const std::shared_ptr<CHttpConnection>& connection, const TServerContext& context,
                    CHttpChannel& channel, const std::string& path, std::shared_ptr<ULONGLONG> remaining,
                    bool continueWanted)
{
    const TServerSettings& settings = context.settings;
    TTranslatedPage program;
    try {
        TPageTranslator translator([&](const std::string& sitePath) { return ReadSiteFile(settings.root, sitePath); });
        program = translator.Translate(path);
    } catch (const ETranslationError& e) {
        AnswerTranslationError(channel, e.what());
        return {TAnswer::Close, e.what()};
    }
    const host::THttpRequestHead head = HeadOf(connection->Parser().get());

    TPageServices services;
    services.application = &context.application;
    services.scriptTimeoutSeconds = settings.scriptTimeoutSeconds;
    if (program.sessionState && settings.sessions) {
        services.sessions = &context.sessions;
        const std::string key =
            SessionKeyOfCookies(head.Header("Cookie").value_or(std::string()), context.sessions.CookieName());
        if (connection->resumed && connection->grantedSession) {
            services.session = connection->grantedSession;
        } else {
            auto resume = [resume = context.resume, connection](std::shared_ptr<TSessionState> granted) {
                connection->grantedSession = std::move(granted);
                connection->resumed = true;
                resume(connection);
            };
            if (!context.sessions.Enter(key, std::move(resume), services.session))
                return {TAnswer::Parked, {}};
        }
        services.newSession = services.session->key != key;
    }
    CSessionTurn turn(context.sessions, services.session);
    if (continueWanted)
        connection->Stream().SendAll("HTTP/1.1 100 Continue\r\n\r\n");
    TPageRequest page{settings.root, path, head,
                      std::make_unique<CSocketBodySource>(connection->Stream(), std::move(remaining)),
                      ServerVariablesOf(head, path, connection->RemoteAddress(), settings)};
    TOutcome outcome{TAnswer::KeepOpen, RunAspPage(page, program, services, channel)};
    if (connection->Stream().TooSlow())
        outcome.problem += std::string(outcome.problem.empty() ? "" : "; ") + "the client was too slow";
    return outcome;
}

TOutcome Answer(const std::shared_ptr<CHttpConnection>& connection, const TServerContext& context,
                CHttpChannel& channel)
{
    const TRequestParser::value_type& request = connection->Parser().get();
    const TServerSettings& settings = context.settings;
    const std::uint64_t length = connection->Parser().content_length().value_or(0);
    if (request.find(http::field::transfer_encoding) != request.end()) {
        channel.CloseAfterResponse();
        if (connection->Parser().chunked()) {
            SendErrorPage(channel, "411 Length Required");
            return {TAnswer::Close, "chunked request bodies are not accepted"};
        }
        SendErrorPage(channel, "400 Bad Request");
        return {TAnswer::Close, "a transfer coding other than chunked: the body's end cannot be known"};
    }
    if (length > settings.maxRequestBytes || length > static_cast<std::uint64_t>(0x7FFFFFFF)) {
        channel.CloseAfterResponse();
        SendErrorPage(channel, "413 Payload Too Large");
        return {TAnswer::Close, {}};
    }

    auto remaining = std::make_shared<ULONGLONG>(length);
    TOutcome outcome{TAnswer::KeepOpen, {}};
    const std::optional<std::string> sitePath = host::SitePathOfUrl(std::string(request.target()));
    if (!sitePath) {
        channel.CloseAfterResponse();
        SendErrorPage(channel, "400 Bad Request");
        outcome.problem = "a path that names no file of the site";
    } else {
        std::string path = *sitePath;
        if (path.back() == '/')
            path += "index.asp";
        const std::filesystem::path file = FileOfSitePath(settings.root, path);
        std::error_code error;
        const bool exists = std::filesystem::is_regular_file(file, error);
        const auto expect = request.find(http::field::expect);
        const bool continueWanted =
            expect != request.end() && length > 0 &&
            com::EqualsIgnoringAsciiCase(std::string_view(expect->value().data(), expect->value().size()),
                                         "100-continue");
        if (exists && host::IsAspPage(path)) {
            outcome = AnswerPage(connection, context, channel, path, remaining, continueWanted);
            if (outcome.answer == TAnswer::Parked)
                return outcome;
        } else if (const auto type = host::ContentTypeOf(path); exists && type) {
            SendStaticFile(channel, file, *type);
        } else {
            SendErrorPage(channel, "404 Not Found");
        }
    }
    if (*remaining > 0)
        channel.CloseAfterResponse(); // the body was not read: the connection cannot carry another request
    const bool keepOpen = channel.KeepAlive() && *remaining == 0 && !connection->Stream().Broken();
    outcome.answer = keepOpen ? TAnswer::KeepOpen : TAnswer::Close;
    return outcome;
}

} // namespace

TAnswer AnswerRequest(const std::shared_ptr<CHttpConnection>& connection, const TServerContext& context) noexcept
{
    const auto start = std::chrono::steady_clock::now();
    std::string method = "-", target = "-";
    try {
        const TRequestParser::value_type& request = connection->Parser().get();
        method = std::string(request.method_string());
        target = std::string(request.target());
        connection->Stream().StartRequest();
        CHttpChannel channel(connection->Stream(), request.keep_alive(), request.method() == http::verb::head);
        TOutcome outcome;
        try {
            outcome = Answer(connection, context, channel);
        } catch (const std::exception& e) {
            outcome = {TAnswer::Close, std::string("unexpected failure: ") + e.what()};
        } catch (...) {
            outcome = {TAnswer::Close, "unexpected failure"};
        }
        if (outcome.answer == TAnswer::Parked)
            return outcome.answer;
        if (outcome.answer == TAnswer::Close && !channel.HeadSent() && !connection->Stream().Broken()) {
            channel.CloseAfterResponse();
            SendErrorPage(channel, "500 Internal Server Error");
        }
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        LogRequest(method, target, channel.Status().substr(0, 3), channel.BodyBytes(),
                   static_cast<std::uint64_t>(ms.count()), outcome.problem);
        return outcome.answer;
    } catch (...) {
        // Even the log line failed (memory ran out): the connection closes, the server goes on.
        try {
            LogEvent("aspserve: " + method + " " + target + ": unexpected failure");
        } catch (...) {
        }
        return TAnswer::Close;
    }
}

} // namespace aspserve
