// TUploadProgress: the counters and the 60-sample throughput ring of one upload.
//
// Plain data plus arithmetic; the owner (CUploadMetadata) holds its lock around every call and
// passes in the current tick. All tick and byte differences are taken modulo 2^32, so the
// figures stay right across the wrap of the 32-bit tick counter and of the byte counters.
#pragma once

#include <cstdint>

struct TUploadProgress {
    // Raised by getTimeLeft for a negative speed; carries nothing.
    class EUploadProgress {};

    static constexpr unsigned RingSize = 60;
    // getTimeLeft's answer when no sensible estimate exists.
    static constexpr std::uint32_t UnknownTimeLeft = 0xFFFFFFFFu;

    std::uint32_t startTick = 0;
    std::uint32_t sampleBytes[RingSize] = {};
    std::uint32_t sampleTicks[RingSize] = {};
    std::uint32_t sampleCount = 1;
    std::uint32_t lastSample = 0;
    std::uint32_t totalBytes = 0;
    std::uint32_t uploadedBytes = 0;

    // Starts the record at `now`: slot 0 holds the creation sample (0 bytes at `now`).
    explicit TUploadProgress(std::uint32_t now) noexcept;

    // Records uploadedBytes at `now` in the next ring slot.
    void takeSample(std::uint32_t now) noexcept;

    // Bytes per second between ring slot `from` and the newest sample; 0.0 when everything
    // announced has arrived or no time passed between the two samples.
    double getSpeed(unsigned from) const noexcept;

    // Milliseconds left at `speed` bytes per second, or UnknownTimeLeft when the estimate is
    // not within 0.8..1.2 of a representable value. Throws EUploadProgress for a negative speed.
    std::uint32_t getTimeLeft(double speed) const;

    // Ring index the average speed is measured from: the creation sample until the ring is
    // full, then the oldest sample in it.
    unsigned averageFrom() const noexcept;
    // Ring index of the sample before the newest one: the last interval.
    unsigned currentFrom() const noexcept;

    // Speeds as the readers see them: 0.0 until there are two samples.
    double averageSpeed() const noexcept;
    double currentSpeed() const noexcept;
};
