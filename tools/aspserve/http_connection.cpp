#include "tools/aspserve/http_connection.h"

#include <utility>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>

#include "host/http_request_head.h"
#include "tools/aspserve/http_channel.h"
#include "tools/aspserve/page_runner.h"
#include "tools/aspserve/site_files.h"
#include "tools/aspserve/site_path.h"
#include "tools/aspserve/socket_body_source.h"
#include "tools/aspserve/socket_stream.h"
#include "tools/aspserve/wide_text.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <limits>
#include <mutex>

namespace aspserve {

namespace {

namespace http = boost::beast::http;
using TParser = http::request_parser<http::empty_body>;

std::mutex logLock;

void Log(const std::string& method, const std::string& target, const CHttpChannel& channel,
         std::chrono::steady_clock::time_point start, const std::string& problem)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    const std::string status = channel.Status().substr(0, 3);
    std::lock_guard<std::mutex> guard(logLock);
    std::fprintf(stderr, "%s %s %s %zu %lldms%s%s\n", method.c_str(), target.c_str(),
                 status.empty() ? "-" : status.c_str(), channel.BodyBytes(), static_cast<long long>(ms.count()),
                 problem.empty() ? "" : " ", problem.c_str());
    std::fflush(stderr);
}

void SendErrorPage(CHttpChannel& channel, const std::string& status)
{
    channel.SendPage(status, "text/html; charset=utf-8",
                     "<!DOCTYPE html><html><head><title>" + status + "</title></head><body><h1>" + status +
                         "</h1></body></html>\n");
}

// Reads the next request head into parser. False when the connection ended before one began
// (or, after sending 400, when it was malformed).
bool ReadHead(CSocketStream& stream, TParser& parser, bool& malformed)
{
    malformed = false;
    while (!parser.is_header_done()) {
        if (stream.Pending().empty() && !stream.Fill())
            return false;
        boost::beast::error_code error;
        const std::size_t used =
            parser.put(boost::asio::buffer(stream.Pending().data(), stream.Pending().size()), error);
        stream.Pending().erase(0, used);
        if (error == http::error::need_more) {
            if (!stream.Fill()) {
                malformed = !stream.Pending().empty();
                return false;
            }
            continue;
        }
        if (error) {
            malformed = true;
            return false;
        }
    }
    return true;
}

host::THttpRequestHead HeadOf(const TParser::value_type& request)
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
    if (const std::size_t colon = serverName.rfind(':'); colon != std::string::npos && serverName.front() != '[')
        serverName.erase(colon);
    auto wide = [](const std::string& text) { return WidenText(text, CP_UTF8); };
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

// Answers one request whose head is read; false when the connection must close afterwards.
bool Answer(CSocketStream& stream, TParser& parser, const std::string& remoteAddress, const TServerSettings& settings)
{
    const auto start = std::chrono::steady_clock::now();
    const TParser::value_type& request = parser.get();
    const std::string method(request.method_string());
    const std::string target(request.target());
    const bool headOnly = request.method() == http::verb::head;
    CHttpChannel channel(stream, request.keep_alive(), headOnly);
    std::string problem;

    const std::uint64_t length = parser.content_length().value_or(0);
    if (parser.chunked()) {
        channel.CloseAfterResponse();
        SendErrorPage(channel, "411 Length Required");
        Log(method, target, channel, start, "chunked request bodies are not accepted");
        return false;
    }
    if (length > settings.maxRequestBytes || length > static_cast<std::uint64_t>(0x7FFFFFFF)) {
        channel.CloseAfterResponse();
        SendErrorPage(channel, "413 Payload Too Large");
        Log(method, target, channel, start, "");
        return false;
    }

    auto remaining = std::make_shared<ULONGLONG>(length);
    const std::optional<std::string> sitePath = SitePathOfUrl(target);
    if (!sitePath) {
        channel.CloseAfterResponse();
        SendErrorPage(channel, "400 Bad Request");
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
            host::EqualsIgnoringAsciiCase(std::string_view(expect->value().data(), expect->value().size()),
                                          "100-continue");
        if (exists && IsAspPage(path)) {
            if (continueWanted)
                stream.SendAll("HTTP/1.1 100 Continue\r\n\r\n");
            const host::THttpRequestHead head = HeadOf(request);
            TPageRequest page{settings.root, path, head, std::make_unique<CSocketBodySource>(stream, remaining),
                              ServerVariablesOf(head, path, remoteAddress, settings)};
            problem = RunAspPage(page, channel);
        } else if (const auto type = ContentTypeOf(path); exists && type) {
            SendStaticFile(channel, file, *type);
        } else {
            SendErrorPage(channel, "404 Not Found");
        }
    }
    if (*remaining > 0)
        channel.CloseAfterResponse(); // the body was not read: the connection cannot carry another request
    Log(method, target, channel, start, problem);
    return channel.KeepAlive() && *remaining == 0 && !stream.Broken();
}

} // namespace

void ServeConnection(SOCKET socket, const std::string& remoteAddress, const TServerSettings& settings)
{
    CSocketStream stream(socket);
    while (true) {
        TParser parser;
        parser.header_limit(64 * 1024);
        parser.body_limit(std::numeric_limits<std::uint64_t>::max());
        bool malformed = false;
        if (!ReadHead(stream, parser, malformed)) {
            if (malformed) {
                CHttpChannel channel(stream, false, false);
                SendErrorPage(channel, "400 Bad Request");
                Log("-", "-", channel, std::chrono::steady_clock::now(), "malformed request");
            }
            break;
        }
        if (!Answer(stream, parser, remoteAddress, settings))
            break;
    }
    stream.ShutdownSend();
    stream.DrainBriefly();
}

} // namespace aspserve
