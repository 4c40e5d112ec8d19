#include "tools/aspserve/request_log.h"

#include <cstdio>
#include <mutex>

namespace aspserve {

namespace {

std::mutex logLock;

} // namespace

void LogRequest(const std::string& method, const std::string& target, const std::string& status, std::size_t bytes,
                std::uint64_t milliseconds, const std::string& problem)
{
    std::lock_guard<std::mutex> guard(logLock);
    std::fprintf(stderr, "%s %s %s %zu %llums%s%s\n", method.c_str(), target.c_str(),
                 status.empty() ? "-" : status.c_str(), bytes, static_cast<unsigned long long>(milliseconds),
                 problem.empty() ? "" : " ", problem.c_str());
    std::fflush(stderr);
}

void LogEvent(const std::string& text)
{
    std::lock_guard<std::mutex> guard(logLock);
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

} // namespace aspserve
