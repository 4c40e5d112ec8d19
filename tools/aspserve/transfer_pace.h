// TTransferPace: how long a transfer may still wait for its peer — a request body for the client's
// next bytes, or a response for the client to read. Two rules bound a transfer: no single wait
// lasts longer than the stall limit, and the time spent waiting in all may exceed the stall
// limit only by what the bytes moved so far pay for at the minimum rate. Only time spent waiting
// counts: a page that is slow to read never makes its client look slow.
//
//   aspserve::TTransferPace pace(30000, 240);          // 30 s stall limit, 240 bytes per second
//   std::uint64_t allowed = pace.WaitAllowedMs();      // wait at most this long for the next bytes
//   pace.Record(waitedMs, bytesMoved);                 // after each wait
#pragma once

#include <cstdint>

namespace aspserve {

class TTransferPace {
public:
    /// minBytesPerSecond 0: only the stall limit applies.
    TTransferPace(std::uint64_t stallLimitMs, std::uint64_t minBytesPerSecond) noexcept
        : stallLimitMs_(stallLimitMs), minBytesPerSecond_(minBytesPerSecond)
    {}

    /// The longest the next wait may last; 0 when the transfer has used up its time.
    std::uint64_t WaitAllowedMs() const noexcept;

    /// Counts a wait that lasted waitedMs and the bytes that moved after it (0 when none did).
    void Record(std::uint64_t waitedMs, std::uint64_t bytes) noexcept;

private:
    std::uint64_t stallLimitMs_;
    std::uint64_t minBytesPerSecond_;
    std::uint64_t waitedMs_ = 0;
    std::uint64_t bytes_ = 0;
};

} // namespace aspserve
