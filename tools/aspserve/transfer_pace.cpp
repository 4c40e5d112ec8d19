#include "tools/aspserve/transfer_pace.h"

#include <algorithm>

namespace aspserve {

std::uint64_t TTransferPace::WaitAllowedMs() const noexcept
{
    if (minBytesPerSecond_ == 0)
        return stallLimitMs_;
    // The bytes moved pay for waiting at the minimum rate, on top of one stall limit of grace.
    const std::uint64_t earned = stallLimitMs_ + bytes_ * 1000 / minBytesPerSecond_;
    return earned > waitedMs_ ? std::min(stallLimitMs_, earned - waitedMs_) : 0;
}

void TTransferPace::Record(std::uint64_t waitedMs, std::uint64_t bytes) noexcept
{
    waitedMs_ += waitedMs;
    bytes_ += bytes;
}

} // namespace aspserve
