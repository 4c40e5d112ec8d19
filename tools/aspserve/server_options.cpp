#include "tools/aspserve/server_options.h"

#include <charconv>
#include <string_view>

namespace aspserve {

namespace {

struct TNumberOption {
    std::string_view name;
    unsigned long long min, max;
    unsigned TServerSettings::*field; // null: --max-request-mb, stored in bytes
};

constexpr TNumberOption kNumberOptions[] = {
    {"--port", 1, 65535, nullptr},
    {"--max-request-mb", 1, 2047, nullptr},
    {"--head-timeout", 1, 30, &TServerSettings::headTimeoutSeconds},
    {"--idle-timeout", 1, 3600, &TServerSettings::idleTimeoutSeconds},
    {"--body-timeout", 1, 3600, &TServerSettings::bodyTimeoutSeconds},
    {"--min-body-rate", 0, 1u << 30, &TServerSettings::minBodyBytesPerSecond},
    {"--script-timeout", 1, 86400, &TServerSettings::scriptTimeoutSeconds},
    {"--session-timeout", 1, 1440, &TServerSettings::sessionTimeoutMinutes},
    {"--max-page-threads", 1, 1000, &TServerSettings::maxPageThreads},
    {"--max-connections", 1, 10000, &TServerSettings::maxConnections},
};

bool ParseNumber(std::string_view text, unsigned long long min, unsigned long long max, unsigned long long& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= min && value <= max;
}

bool IsIpv4Address(std::string_view text)
{
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = text.find('.');
        if ((part < 3) == (dot == std::string_view::npos))
            return false;
        const std::string_view digits = text.substr(0, dot);
        unsigned long long value = 0;
        if (digits.empty() || digits.size() > 3 || !ParseNumber(digits, 0, 255, value))
            return false;
        text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    }
    return true;
}

TOptionsResult Failure(std::string error)
{
    TOptionsResult result;
    result.error = std::move(error);
    return result;
}

} // namespace

TOptionsResult ParseServerOptions(const std::vector<std::string>& arguments)
{
    TOptionsResult result;
    bool haveRoot = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h" || argument == "/?") {
            result.action = TOptionsResult::Action::Help;
            return result;
        }
        if (argument == "--no-sessions") {
            result.settings.sessions = false;
            continue;
        }
        if (!argument.starts_with("-")) {
            if (haveRoot)
                return Failure("only one folder can be served (" + argument + " is a second one)");
            result.settings.root = std::filesystem::path(std::u8string(argument.begin(), argument.end()));
            haveRoot = true;
            continue;
        }
        const TNumberOption* option = nullptr;
        for (const TNumberOption& candidate : kNumberOptions)
            if (candidate.name == argument)
                option = &candidate;
        if (!option && argument != "--bind")
            return Failure("unknown option " + argument);
        if (i + 1 >= arguments.size())
            return Failure(argument + " needs a value");
        const std::string& value = arguments[++i];
        if (!option) {
            if (!IsIpv4Address(value))
                return Failure("--bind takes an IPv4 address such as 127.0.0.1, not " + value);
            result.settings.bindAddress = value;
            continue;
        }
        unsigned long long number = 0;
        if (!ParseNumber(value, option->min, option->max, number))
            return Failure(argument + " takes a whole number from " + std::to_string(option->min) + " to " +
                           std::to_string(option->max) + ", not " + value);
        if (option->field)
            result.settings.*(option->field) = static_cast<unsigned>(number);
        else if (argument == "--port")
            result.settings.port = static_cast<unsigned short>(number);
        else
            result.settings.maxRequestBytes = number << 20;
    }
    if (!haveRoot)
        return Failure("the folder to serve is missing");
    result.action = TOptionsResult::Action::Serve;
    return result;
}

std::string ServerUsage()
{
    return "usage: aspserve.exe FOLDER [options]\n"
           "Serves FOLDER over HTTP/1.1: .asp pages run under the VBScript engine with the ASP objects,\n"
           "other files (html, htm, css, js, png, svg, ico, txt, json) are sent as they are.\n"
           "\n"
           "  --bind ADDRESS          IPv4 address to listen on (default 127.0.0.1)\n"
           "  --port N                port to listen on (default 8080)\n"
           "  --max-request-mb N      largest request body in MiB, 1-2047; larger ones get 413 (default 2047)\n"
           "  --head-timeout S        seconds a request head may take to arrive, 1-30; then 408 (default 30)\n"
           "  --idle-timeout S        seconds a kept-alive connection may wait for its next request (default 120)\n"
           "  --body-timeout S        seconds a body may stall, or a client not read the response (default 30)\n"
           "  --min-body-rate B       bytes per second a body must average beyond that, 0 for no minimum\n"
           "                          (default 240)\n"
           "  --script-timeout S      Server.ScriptTimeout's default and lowest value (default 90)\n"
           "  --session-timeout M     Session.Timeout's default in minutes (default 20)\n"
           "  --no-sessions           no page has session state (as if each said EnableSessionState=False)\n"
           "  --max-page-threads N    requests served at once; more wait in turn (default 25 per processor)\n"
           "  --max-connections N     open connections; more wait to be accepted (default 1000)\n"
           "  --help                  this text\n"
           "\n"
           "Usage errors exit with 2, a port that cannot be bound with 1.\n";
}

} // namespace aspserve
