#include "progress/upload_progress.h"

#include <cmath>

TUploadProgress::TUploadProgress(std::uint32_t now) noexcept : startTick(now)
{
    sampleTicks[0] = now;
}

void TUploadProgress::takeSample(std::uint32_t now) noexcept
{
    lastSample = (lastSample + 1) % RingSize;
    sampleTicks[lastSample] = now;
    sampleBytes[lastSample] = uploadedBytes;
    if (sampleCount < RingSize)
        ++sampleCount;
}

double TUploadProgress::getSpeed(unsigned from) const noexcept
{
    if (totalBytes == uploadedBytes)
        return 0.0;
    // Unsigned subtraction is the modulo-2^32 difference the wrap needs.
    const std::uint32_t dt = sampleTicks[lastSample] - sampleTicks[from];
    if (dt == 0)
        return 0.0;
    const std::uint32_t bytes = sampleBytes[lastSample] - sampleBytes[from];
    return static_cast<double>(bytes) / (static_cast<double>(dt) / 1000.0);
}

std::uint32_t TUploadProgress::getTimeLeft(double speed) const
{
    if (speed < 0.0)
        throw EUploadProgress(); // "TUploadProgress::getTimeLeft. Speed < 0."
    const std::uint32_t left = totalBytes - uploadedBytes;
    if (left == 0)
        return 0;
    const double x = static_cast<double>(left) / speed * 1000.0;

    // Low 32 bits of x truncated to a signed 64-bit integer; anything that does not fit
    // (infinity, NaN, 2^63 and above) counts as 0.
    std::uint32_t r = 0;
    if (std::isfinite(x) && x < 9223372036854775808.0)
        r = static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(x)));

    const double ratio = x / static_cast<double>(r); // infinite when r is 0
    if (ratio >= 0.8 && ratio <= 1.2)
        return r;
    return UnknownTimeLeft;
}

unsigned TUploadProgress::averageFrom() const noexcept
{
    return sampleCount < RingSize ? 0u : (lastSample + 1) % RingSize;
}

unsigned TUploadProgress::currentFrom() const noexcept
{
    return lastSample == 0 ? RingSize - 1 : lastSample - 1;
}

double TUploadProgress::averageSpeed() const noexcept
{
    return sampleCount < 2 ? 0.0 : getSpeed(averageFrom());
}

double TUploadProgress::currentSpeed() const noexcept
{
    return sampleCount < 2 ? 0.0 : getSpeed(currentFrom());
}
