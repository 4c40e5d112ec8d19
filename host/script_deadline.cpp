#include "host/script_deadline.h"

#include <algorithm>

namespace host {

CScriptDeadline::CScriptDeadline(TClock clock, std::uint32_t minimumSeconds)
    : clock_(std::move(clock)), start_(clock_()), minimum_(minimumSeconds), seconds_(minimumSeconds)
{}

void CScriptDeadline::SetSeconds(std::uint32_t seconds) noexcept
{
    seconds_ = std::max(seconds, minimum_);
}

bool CScriptDeadline::Check() noexcept
{
    if (timedOut_)
        return true;
    if (clock_() - start_ >= std::uint64_t{seconds_} * 1000)
        timedOut_ = true;
    return timedOut_;
}

} // namespace host
