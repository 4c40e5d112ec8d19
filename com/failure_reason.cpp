#include "com/failure_reason.h"

#include <cstdio>

namespace com {

namespace {

thread_local std::uint32_t t_reasons = 0;
thread_local WideString t_lastReason;

void AppendAscii(WideString& line, const char* text)
{
    for (; *text; ++text)
        line.push_back(static_cast<OLECHAR>(static_cast<unsigned char>(*text)));
}

} // namespace

std::string HResult::Text() const
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(static_cast<std::uint32_t>(code)));
    return text;
}

namespace detail {

void AppendReason(WideString& line, std::string_view ascii)
{
    for (char c : ascii)
        line.push_back(static_cast<OLECHAR>(static_cast<unsigned char>(c) < 0x20 ? '?' : c));
}

void AppendReason(WideString& line, const Quoted& quoted)
{
    line.push_back(OLECHAR('"'));
    const std::size_t kept = quoted.text.size() > kQuotedMax ? kQuotedMax : quoted.text.size();
    for (std::size_t i = 0; i < kept; ++i) {
        const OLECHAR c = quoted.text[i];
        line.push_back(static_cast<std::uint32_t>(c) < 0x20 || c == OLECHAR(0x7F) ? OLECHAR('?') : c);
    }
    line.push_back(OLECHAR('"'));
    if (kept < quoted.text.size())
        AppendAscii(line, "...");
}

void AppendReason(WideString& line, Win32Error error)
{
    char text[32];
    std::snprintf(text, sizeof text, "Win32 error %lu", static_cast<unsigned long>(error.code));
    AppendAscii(line, text);
}

void AppendReason(WideString& line, HResult result)
{
    AppendAscii(line, result.Text().c_str());
}

void AppendReason(WideString& line, long long number)
{
    char text[24];
    std::snprintf(text, sizeof text, "%lld", number);
    AppendAscii(line, text);
}

void EmitReason(WideString& line)
{
    t_lastReason.assign(line, kFailureReasonPrefix.size());
    line.push_back(OLECHAR('\n'));
    ++t_reasons;
    ::OutputDebugStringW(reinterpret_cast<LPCWSTR>(line.c_str()));
}

} // namespace detail

std::uint32_t FailureReasonsOnThisThread() noexcept
{
    return t_reasons;
}

WideString LastFailureReasonOnThisThread()
{
    return t_lastReason;
}

} // namespace com
