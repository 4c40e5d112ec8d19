// The progress timer: subscriptions, ticks reaching subscribers, and its worker's life.
#include "progress/progress_timer.h"

#include "com/com_object.h"
#include "progress_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>

namespace {

using namespace progress_test;

void Subscribe(const WideString& id, const Subscriber& s)
{
    ITimerSubscriber* raw = s.Get();
    Timer().Subscribe(id, raw);
}

class ProgressTimerTest : public ::testing::Test {
protected:
    void SetUp() override { clock_.emplace(); }
    void TearDown() override { clock_.reset(); }
    MtaScope apartment_;
    std::optional<VirtualClockScope> clock_;
};

TEST_F(ProgressTimerTest, RefusesEmptyIdsNullSubscribersAndUnknownKeys)
{
    auto s = NewSubscriber();
    EXPECT_THROW(Subscribe(WideString(), s), CProgressTimer::EProgressTimer);
    ITimerSubscriber* none = nullptr;
    EXPECT_THROW(Timer().Subscribe(OLESTR("t-null"), none), CProgressTimer::EProgressTimer);
    EXPECT_FALSE(Timer().IsRunning()); // nothing was started for them

    EXPECT_THROW(Timer().Unsubscribe(OLESTR("t-unknown"), true), CProgressTimer::EProgressTimer);
    EXPECT_NO_THROW(Timer().Unsubscribe(OLESTR("t-unknown"), false));
    EXPECT_THROW(Timer().Unsubscribe(WideString(), false), CProgressTimer::EProgressTimer);
}

TEST_F(ProgressTimerTest, TicksReachEverySubscriberEvenOneThatFails)
{
    auto good = NewSubscriber();
    auto failing = NewSubscriber(E_FAIL);
    Subscribe(OLESTR("t-good"), good);
    EXPECT_TRUE(Timer().IsRunning()); // Subscribe returns with the worker ready
    Subscribe(OLESTR("t-failing"), failing);

    EXPECT_TRUE(LetTimePass([&] { return good->runs >= 3 && failing->runs >= 3; }, 20000, CProgressTimer::TickMs));

    Timer().Unsubscribe(OLESTR("t-good"), true);
    Timer().Unsubscribe(OLESTR("t-failing"), true);
    const int after = good->runs;
    AdvanceTime(2000, CProgressTimer::TickMs);
    EXPECT_EQ(good->runs, after); // never called after Unsubscribe returned
}

TEST_F(ProgressTimerTest, DuplicateIdKeepsTheFirstSubscriber)
{
    auto first = NewSubscriber();
    auto second = NewSubscriber();
    Subscribe(OLESTR("t-dup"), first);
    EXPECT_THROW(Subscribe(OLESTR("t-dup"), second), CProgressTimer::EProgressTimer);
    Subscribe(OLESTR("T-DUP"), second); // another ID
    Timer().Unsubscribe(OLESTR("T-DUP"), true);

    EXPECT_TRUE(LetTimePass([&] { return first->runs >= 2; }, 20000, CProgressTimer::TickMs));
    EXPECT_EQ(second->runs, 0);
    Timer().Unsubscribe(OLESTR("t-dup"), true);
}

TEST_F(ProgressTimerTest, WorkerEndsAMinuteAfterTheLastSubscriberAndRestarts)
{
    if (!VirtualClockScope::Available())
        GTEST_SKIP() << "needs the virtual clock";
    auto s = NewSubscriber();
    Subscribe(OLESTR("t-idle"), s);
    Timer().Unsubscribe(OLESTR("t-idle"), true);
    s.Reset();

    AdvanceTime(58000, CProgressTimer::TickMs);
    EXPECT_TRUE(Timer().IsRunning());
    EXPECT_EQ(CKestruneModule::Instance().CanUnloadNow(), S_FALSE);
    EXPECT_TRUE(LetTimePass([] { return !Timer().IsRunning(); }, 5000, CProgressTimer::TickMs));
    EXPECT_EQ(CKestruneModule::Instance().CanUnloadNow(), S_OK);

    // A subscription during the idle period of a new worker cancels the countdown.
    auto next = NewSubscriber();
    Subscribe(OLESTR("t-idle-next"), next);
    Timer().Unsubscribe(OLESTR("t-idle-next"), true);
    AdvanceTime(30000, CProgressTimer::TickMs);
    Subscribe(OLESTR("t-idle-next"), next);
    AdvanceTime(40000, CProgressTimer::TickMs);
    EXPECT_TRUE(Timer().IsRunning());
    const int runs = next->runs;
    EXPECT_GE(runs, 60);
    Timer().Unsubscribe(OLESTR("t-idle-next"), true);
}

} // namespace
