// ReportFailure: one line on the debugger's output (OutputDebugStringW) that names why an
// operation failed, for the people who debug a failed upload. Scripts see nothing of it: the
// HRESULTs stay as they are.
//
//   com::ReportFailure("Save: the request is not multipart/form-data (Content-Type ",
//                        com::Quoted(contentType), ")");
//   com::ReportFailure("MoveFileExW from ", com::Quoted(from), " to ", com::Quoted(to),
//                        " failed with ", com::Win32Error(::GetLastError()));
//
// Contract: the text goes out as "Kestrune: <parts>\n", one call of OutputDebugStringW. Parts are
// ASCII text, Quoted (at most kQuotedMax units, each control character shown as '?'), Win32Error,
// HResult and integers, so a line stays one line of bounded length whatever a request held.
// Never throws: a line that cannot be built is dropped.
#pragma once

#include "platform/win.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace com {

/// What every reason line starts with.
inline constexpr std::string_view kFailureReasonPrefix = "Kestrune: ";

/// Text from a request, a setting or a path, written in double quotes.
struct Quoted {
    std::basic_string_view<OLECHAR> text;
    explicit Quoted(std::basic_string_view<OLECHAR> t) noexcept : text(t) {}
    explicit Quoted(const WideString& t) noexcept : text(t) {}
};
/// Longest quoted text kept whole; longer text is cut and marked with "...".
inline constexpr std::size_t kQuotedMax = 300;

/// A Win32 error code, written as "Win32 error 5".
struct Win32Error {
    DWORD code;
};

/// An HRESULT, written as "0x80004005" (eight upper-case hexadecimal digits), in a reason line
/// and wherever a program shows one: com::HResult{hr}.Text().
struct HResult {
    HRESULT code;

    std::string Text() const;
};

namespace detail {
void AppendReason(WideString& line, std::string_view ascii);
void AppendReason(WideString& line, const Quoted& quoted);
void AppendReason(WideString& line, Win32Error error);
void AppendReason(WideString& line, HResult result);
void AppendReason(WideString& line, long long number);
inline void AppendReason(WideString& line, const char* ascii)
{
    AppendReason(line, std::string_view(ascii));
}
inline void AppendReason(WideString& line, int number)
{
    AppendReason(line, static_cast<long long>(number));
}
inline void AppendReason(WideString& line, long number)
{
    AppendReason(line, static_cast<long long>(number));
}
inline void AppendReason(WideString& line, unsigned long number)
{
    AppendReason(line, static_cast<long long>(number));
}
inline void AppendReason(WideString& line, unsigned number)
{
    AppendReason(line, static_cast<long long>(number));
}
inline void AppendReason(WideString& line, unsigned long long number)
{
    AppendReason(line, static_cast<long long>(number));
}
void EmitReason(WideString& line);
} // namespace detail

/// Sends one reason line to the debugger's output. Keeps the thread's last error unchanged.
template <class... Parts>
void ReportFailure(const Parts&... parts) noexcept
{
    const DWORD lastError = ::GetLastError();
    try {
        WideString line;
        detail::AppendReason(line, kFailureReasonPrefix);
        (detail::AppendReason(line, parts), ...);
        detail::EmitReason(line);
    } catch (...) {
    }
    ::SetLastError(lastError);
}

/// How many reason lines this thread has sent so far. An operation that fails compares it with the
/// count at its start to tell whether a deeper step already named the cause.
std::uint32_t FailureReasonsOnThisThread() noexcept;

/// The text of the last reason line this thread sent, without the prefix and the line end; empty
/// before the first. What scripts read as the failure's description.
WideString LastFailureReasonOnThisThread();

} // namespace com
