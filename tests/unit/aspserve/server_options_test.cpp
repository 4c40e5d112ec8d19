#include "tools/aspserve/server_options.h"

#include <gtest/gtest.h>

namespace {

using aspserve::ParseServerOptions;
using aspserve::TOptionsResult;
using TAction = TOptionsResult::Action;

TEST(ServerOptions, AFolderAloneServesWithTheDefaults)
{
    const TOptionsResult parsed = ParseServerOptions({"site"});
    ASSERT_EQ(TAction::Serve, parsed.action) << parsed.error;
    EXPECT_EQ("site", parsed.settings.root.generic_string());
    EXPECT_EQ("127.0.0.1", parsed.settings.bindAddress);
    EXPECT_EQ(8080, parsed.settings.port);
    EXPECT_EQ(2047ull << 20, parsed.settings.maxRequestBytes);
    EXPECT_EQ(30u, parsed.settings.headTimeoutSeconds);
    EXPECT_EQ(90u, parsed.settings.scriptTimeoutSeconds);
    EXPECT_EQ(20u, parsed.settings.sessionTimeoutMinutes);
    EXPECT_TRUE(parsed.settings.sessions);
}

TEST(ServerOptions, EveryOptionReachesItsSetting)
{
    const TOptionsResult parsed = ParseServerOptions({"--port",  "8081",
                                                      "site",    "--bind",
                                                      "0.0.0.0", "--max-request-mb",
                                                      "64",      "--head-timeout",
                                                      "2",       "--idle-timeout",
                                                      "3",       "--body-timeout",
                                                      "4",       "--min-body-rate",
                                                      "0",       "--script-timeout",
                                                      "5",       "--session-timeout",
                                                      "6",       "--max-page-threads",
                                                      "7",       "--max-connections",
                                                      "8",       "--no-sessions"});
    ASSERT_EQ(TAction::Serve, parsed.action) << parsed.error;
    const aspserve::TServerSettings& s = parsed.settings;
    EXPECT_EQ("site", s.root.generic_string()); // the folder may come after options
    EXPECT_EQ(8081, s.port);
    EXPECT_EQ("0.0.0.0", s.bindAddress);
    EXPECT_EQ(64ull << 20, s.maxRequestBytes);
    EXPECT_EQ(2u, s.headTimeoutSeconds);
    EXPECT_EQ(3u, s.idleTimeoutSeconds);
    EXPECT_EQ(4u, s.bodyTimeoutSeconds);
    EXPECT_EQ(0u, s.minBodyBytesPerSecond);
    EXPECT_EQ(5u, s.scriptTimeoutSeconds);
    EXPECT_EQ(6u, s.sessionTimeoutMinutes);
    EXPECT_EQ(7u, s.maxPageThreads);
    EXPECT_EQ(8u, s.maxConnections);
    EXPECT_FALSE(s.sessions);
}

TEST(ServerOptions, HelpWinsWhereverItStands)
{
    for (const char* help : {"--help", "-h", "/?"}) {
        EXPECT_EQ(TAction::Help, ParseServerOptions({help}).action) << help;
        EXPECT_EQ(TAction::Help, ParseServerOptions({"site", "--port", "1", help}).action) << help;
    }
    const std::string usage = aspserve::ServerUsage();
    for (const char* option : {"--bind", "--port", "--max-request-mb", "--head-timeout", "--idle-timeout",
                               "--body-timeout", "--min-body-rate", "--script-timeout", "--session-timeout",
                               "--no-sessions", "--max-page-threads", "--max-connections", "--help"})
        EXPECT_NE(std::string::npos, usage.find(option)) << option;
}

TEST(ServerOptions, MistakesFailWithAReason)
{
    struct TCase {
        std::vector<std::string> arguments;
        const char* reason;
    };
    const TCase cases[] = {
        {{}, "folder to serve is missing"},
        {{"--port", "8080"}, "folder to serve is missing"},
        {{"site", "--verbose"}, "unknown option --verbose"},
        {{"site", "--port"}, "--port needs a value"},
        {{"site", "--port", "0"}, "--port takes a whole number from 1 to 65535, not 0"},
        {{"site", "--port", "65536"}, "not 65536"},
        {{"site", "--port", "80x"}, "not 80x"},
        {{"site", "--port", "-1"}, "not -1"},
        {{"site", "--max-request-mb", "2048"}, "from 1 to 2047"},
        {{"site", "--head-timeout", "31"}, "from 1 to 30"},
        {{"site", "--script-timeout", "0"}, "from 1 to 86400"},
        {{"site", "--bind", "localhost"}, "IPv4 address"},
        {{"site", "--bind", "1.2.3.256"}, "IPv4 address"},
        {{"site", "--bind", "1.2.3"}, "IPv4 address"},
        {{"site", "--bind", "1.2.3.4.5"}, "IPv4 address"},
        {{"site", "other"}, "only one folder"},
    };
    for (const TCase& c : cases) {
        const TOptionsResult parsed = ParseServerOptions(c.arguments);
        EXPECT_EQ(TAction::Fail, parsed.action) << c.reason;
        EXPECT_NE(std::string::npos, parsed.error.find(c.reason)) << parsed.error;
    }
}

} // namespace
