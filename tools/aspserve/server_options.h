// The settings of aspserve.exe and the parser of its command line. Every limit that protects the
// server (deadlines, thread and connection caps) is an option, so a test can shorten it.
//
//   aspserve::TOptionsResult parsed = aspserve::ParseServerOptions({"site", "--port", "8081"});
//   if (parsed.action == aspserve::TOptionsResult::Action::Serve) Serve(parsed.settings);
//   std::fputs(aspserve::ServerUsage().c_str(), stdout);
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace aspserve {

struct TServerSettings {
    std::filesystem::path root;                    ///< the served folder
    std::string bindAddress = "127.0.0.1";         ///< an IPv4 address
    unsigned short port = 8080;                    ///<
    std::uint64_t maxRequestBytes = 2047ull << 20; ///< larger bodies get 413
    unsigned headTimeoutSeconds = 30;              ///< a request head must arrive within this
    unsigned idleTimeoutSeconds = 120;             ///< a kept-alive connection may wait this long for the next request
    unsigned bodyTimeoutSeconds = 30;              ///< the longest wait for more of a body (or for a client to read)
    unsigned minBodyBytesPerSecond = 240;          ///< the slowest average a body may keep after that
    unsigned scriptTimeoutSeconds = 90;            ///< Server.ScriptTimeout's default and lowest value
    unsigned sessionTimeoutMinutes = 20;           ///< Session.Timeout's default
    bool sessions = true;                          ///< false: no page has session state
    unsigned maxPageThreads = 0;                   ///< requests served at once; 0: 25 per processor
    unsigned maxConnections = 1000;                ///< open connections; more wait to be accepted
};

struct TOptionsResult {
    enum class Action { Serve, Help, Fail };
    Action action = Action::Fail;
    TServerSettings settings;
    std::string error; ///< for Fail: one line saying what is wrong
};

/// Parses the arguments after the program name (UTF-8): one folder and any options. --help (or
/// -h, /?) asks for the usage; an unknown option, a missing or out-of-range value, or a second
/// folder fails. The folder is not checked here.
TOptionsResult ParseServerOptions(const std::vector<std::string>& arguments);

/// The usage text, every option with its default, ending with a newline.
std::string ServerUsage();

} // namespace aspserve
