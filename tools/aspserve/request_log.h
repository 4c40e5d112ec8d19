// The server's log on standard error: one line per request — method, path, status, body bytes
// sent, milliseconds, and the problem when there was one — and one line per event that ended a
// connection without a request (a head that never came whole, something thrown). Lines from
// different threads never mix.
//
//   aspserve::LogRequest("GET", "/a.asp", "200", 1234, 15, "");
//   aspserve::LogEvent("127.0.0.1: request head not complete within 30 s (408)");
#pragma once

#include <cstdint>
#include <string>

namespace aspserve {

/// One request: "METHOD PATH STATUS BYTES MSms[ PROBLEM]". status "" is written as "-".
void LogRequest(const std::string& method, const std::string& target, const std::string& status, std::size_t bytes,
                std::uint64_t milliseconds, const std::string& problem);

/// One line of text as it is.
void LogEvent(const std::string& text);

} // namespace aspserve
