// CScriptDeadline: the time a page's script may run (Server.ScriptTimeout), counted from the
// start of the page. The server's setting is both the default and the lowest value: a page may
// ask for more time, never for less (a smaller value leaves the timeout as it is). Checks happen
// where the script calls the ASP objects and at the end of each loop iteration; the first check
// after the deadline marks the page as timed out for good.
//
//   host::CScriptDeadline deadline(clock, 90);
//   deadline.SetSeconds(300);                       // Server.ScriptTimeout = 300
//   if (deadline.Check()) return E_FAIL;             // the script must stop
//   if (deadline.TimedOut()) AnswerTimeout();
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

namespace host {

class CScriptDeadline {
public:
    using TClock = std::function<std::uint64_t()>; ///< milliseconds

    /// The page starts now, with minimumSeconds to run.
    CScriptDeadline(TClock clock, std::uint32_t minimumSeconds);

    /// The timeout in seconds.
    std::uint32_t Seconds() const noexcept { return seconds_; }

    /// Asks for seconds in all (from the page's start); values below the minimum keep the minimum.
    void SetSeconds(std::uint32_t seconds) noexcept;

    /// True when the deadline has passed (and from then on, always).
    bool Check() noexcept;

    /// True once a check found the deadline passed.
    bool TimedOut() const noexcept { return timedOut_; }

private:
    const TClock clock_;
    const std::uint64_t start_;
    const std::uint32_t minimum_;
    std::atomic<std::uint32_t> seconds_;
    std::atomic<bool> timedOut_{false};
};

} // namespace host
