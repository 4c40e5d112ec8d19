#include "tools/aspserve/transfer_pace.h"

#include <gtest/gtest.h>

namespace {

using aspserve::TTransferPace;

TEST(TransferPace, NoSingleWaitOutlastsTheStallLimit)
{
    TTransferPace pace(30000, 0);
    EXPECT_EQ(30000u, pace.WaitAllowedMs());
    pace.Record(29000, 0);
    pace.Record(29000, 1);
    EXPECT_EQ(30000u, pace.WaitAllowedMs()); // without a minimum rate, waits never add up
}

TEST(TransferPace, WaitingInAllIsPaidForByTheBytesMoved)
{
    TTransferPace pace(10000, 1000); // 10 s of grace, then 1000 bytes buy 1 s of waiting
    EXPECT_EQ(10000u, pace.WaitAllowedMs());
    pace.Record(4000, 500);
    EXPECT_EQ(6500u, pace.WaitAllowedMs()); // 10 s + 0.5 s earned, 4 s used
    pace.Record(6500, 0);
    EXPECT_EQ(0u, pace.WaitAllowedMs()); // a trickle of bytes does not keep it going
    pace.Record(0, 20000);
    EXPECT_EQ(10000u, pace.WaitAllowedMs()); // 20 s earned: capped at one stall limit again
}

TEST(TransferPace, ATrickleFallsBehind)
{
    TTransferPace pace(5000, 240);
    int waits = 0;
    while (pace.WaitAllowedMs() > 0 && waits < 1000) {
        pace.Record(4000, 100); // 100 bytes every 4 s: 25 bytes per second
        ++waits;
    }
    EXPECT_LT(waits, 10);
}

} // namespace
