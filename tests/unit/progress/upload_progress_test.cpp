// Sample ring and speed / time-left arithmetic of TUploadProgress.
#include "progress/upload_progress.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t Unknown = TUploadProgress::UnknownTimeLeft;

TEST(UploadProgress, FreshRecordHasNoSpeedAndKnowsWhenNothingIsLeft)
{
    TUploadProgress p(1234);
    EXPECT_EQ(p.sampleTicks[0], 1234u);
    EXPECT_EQ(p.sampleCount, 1u);
    EXPECT_EQ(p.averageSpeed(), 0.0);
    EXPECT_EQ(p.currentSpeed(), 0.0);
    EXPECT_EQ(p.getTimeLeft(p.averageSpeed()), 0u); // 0 announced, 0 received
    p.totalBytes = 100;
    EXPECT_EQ(p.getTimeLeft(p.averageSpeed()), Unknown);
}

TEST(UploadProgress, SpeedsFollowASimulatedUpload)
{
    TUploadProgress p(0);
    p.totalBytes = 100000;
    // 1000 bytes per 500 ms tick for four ticks, then 3000 bytes in the fifth.
    for (std::uint32_t tick = 1; tick <= 4; ++tick) {
        p.uploadedBytes += 1000;
        p.takeSample(tick * 500);
    }
    EXPECT_DOUBLE_EQ(p.averageSpeed(), 2000.0);
    EXPECT_DOUBLE_EQ(p.currentSpeed(), 2000.0);
    p.uploadedBytes += 3000;
    p.takeSample(2500);
    EXPECT_DOUBLE_EQ(p.averageSpeed(), 7000.0 / 2.5);
    EXPECT_DOUBLE_EQ(p.currentSpeed(), 6000.0);
    // 93000 bytes left at 6000 B/s: 15500 ms.
    EXPECT_EQ(p.getTimeLeft(p.currentSpeed()), 15500u);

    // Bytes after the newest sample do not count until the next one.
    p.uploadedBytes += 50000;
    EXPECT_DOUBLE_EQ(p.currentSpeed(), 6000.0);

    // A quiet interval gives a zero current speed and an unknown time left.
    p.takeSample(3000);
    p.takeSample(3500);
    EXPECT_EQ(p.currentSpeed(), 0.0);
    EXPECT_EQ(p.getTimeLeft(p.currentSpeed()), Unknown);

    // Everything announced has arrived: no speed, nothing left.
    p.uploadedBytes = p.totalBytes;
    EXPECT_EQ(p.averageSpeed(), 0.0);
    EXPECT_EQ(p.getTimeLeft(0.0), 0u);
}

TEST(UploadProgress, TheSixtyFirstSampleOverwritesTheCreationSlot)
{
    TUploadProgress p(0);
    p.totalBytes = 1000000;
    for (std::uint32_t i = 1; i <= 58; ++i) {
        p.uploadedBytes = i * 100;
        p.takeSample(i * 500);
    }
    EXPECT_EQ(p.sampleCount, 59u);
    EXPECT_EQ(p.averageFrom(), 0u); // still measured from creation

    p.uploadedBytes = 59 * 100 + 5900; // a burst in the 59th interval
    p.takeSample(59 * 500);            // 60th sample: the ring is full
    EXPECT_EQ(p.sampleCount, 60u);
    EXPECT_EQ(p.lastSample, 59u);
    EXPECT_EQ(p.averageFrom(), 0u); // slot 0 is the oldest
    EXPECT_DOUBLE_EQ(p.averageSpeed(), 11800.0 / 29.5);

    p.uploadedBytes += 100;
    p.takeSample(60 * 500); // 61st sample
    EXPECT_EQ(p.lastSample, 0u);
    EXPECT_EQ(p.sampleCount, 60u);
    EXPECT_EQ(p.sampleTicks[0], 60u * 500);
    EXPECT_EQ(p.averageFrom(), 1u);
    EXPECT_EQ(p.currentFrom(), 59u);
    // Average over slots 1..0: from 100 bytes at 500 ms to 11900 bytes at 30000 ms.
    EXPECT_DOUBLE_EQ(p.averageSpeed(), 11800.0 / 29.5);
    EXPECT_DOUBLE_EQ(p.currentSpeed(), 200.0);
}

TEST(UploadProgress, DifferencesSurviveTheWrapOfTickAndByteCounters)
{
    const std::uint32_t nearWrap = 0xFFFFFF00u; // 256 ms before the tick counter wraps
    TUploadProgress p(nearWrap);
    p.totalBytes = 0x80000000u;    // announced as a negative LONG: a large unsigned size
    p.uploadedBytes = 0xFFFFFFF0u; // and the byte counter wraps too
    p.sampleBytes[0] = p.uploadedBytes;
    p.uploadedBytes += 0x20;      // 32 bytes, wrapping to 0x10
    p.takeSample(nearWrap + 512); // wraps to 256
    EXPECT_EQ(p.sampleTicks[1], 256u);
    EXPECT_DOUBLE_EQ(p.currentSpeed(), 32.0 / 0.512);
    EXPECT_DOUBLE_EQ(p.averageSpeed(), 32.0 / 0.512);
}

TEST(UploadProgress, TimeLeftKeepsOnlyEstimatesWithinTwentyPercent)
{
    TUploadProgress p(0);
    p.totalBytes = 1000;
    EXPECT_EQ(p.getTimeLeft(1000.0), 1000u); // ratio exactly 1
    p.totalBytes = 13;
    EXPECT_EQ(p.getTimeLeft(10000.0), Unknown); // x = 1.3, r = 1
    p.totalBytes = 12;
    EXPECT_EQ(p.getTimeLeft(10000.0), 1u); // x = 1.2, bound inclusive
    p.totalBytes = 1;
    EXPECT_EQ(p.getTimeLeft(10000.0), Unknown); // x = 0.1, r = 0
    EXPECT_EQ(p.getTimeLeft(0.0), Unknown);     // infinite
    // 2^32 ms and beyond cannot be represented: unknown.
    p.totalBytes = 4294968u;
    EXPECT_EQ(p.getTimeLeft(1.0), Unknown);
    p.totalBytes = 4294967u;
    EXPECT_EQ(p.getTimeLeft(1.0), 4294967000u);
    EXPECT_THROW(p.getTimeLeft(-1.0), TUploadProgress::EUploadProgress);
}

} // namespace
