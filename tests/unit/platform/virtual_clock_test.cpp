// The virtual clock of the POSIX stand-in: tick wrap, and due timers firing when it advances.
#ifndef _WIN32

#include "platform/posix/virtual_clock.h"
#include "platform/win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct VirtualClock {
    VirtualClock() { platform::UseVirtualClock(true); }
    ~VirtualClock() { platform::UseVirtualClock(false); }
};

} // namespace

TEST(VirtualClock, TickCountWrapsAtTwoToThe32)
{
    VirtualClock clock;
    platform::SetTickCount(0xFFFFFFF0u);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
    DWORD start = GetTickCount();
    platform::AdvanceTickCount(0x20);
    EXPECT_EQ(GetTickCount(), 0x10u);
    EXPECT_EQ(GetTickCount() - start, 0x20u); // differences survive the wrap
    EXPECT_LT(static_cast<LONG>(start - GetTickCount()), 0);
}

TEST(VirtualClock, TimerFiresOnlyWhenTheClockReachesIt)
{
    VirtualClock clock;
    platform::SetTickCount(0xFFFFFF00u);
    std::thread([] {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        UINT_PTR timer = SetTimer(nullptr, 0, 0x200, nullptr);
        ASSERT_NE(timer, 0u);
        platform::AdvanceTickCount(0x1FF);
        EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
        platform::AdvanceTickCount(1); // across the wrap
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
        EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
        platform::AdvanceTickCount(0x200 * 5);
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)); // five periods, one WM_TIMER
        KillTimer(nullptr, timer);
    }).join();
}

TEST(VirtualClock, AdvancingWakesABlockedMessageLoop)
{
    VirtualClock clock;
    std::atomic<DWORD> worker{0};
    std::atomic<bool> fired{false};
    std::thread loop([&] {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        SetTimer(nullptr, 0, 60000, nullptr);
        worker = GetCurrentThreadId();
        if (GetMessageW(&msg, nullptr, 0, 0) && msg.message == WM_TIMER)
            fired = true;
    });
    while (!worker)
        Sleep(1);
    Sleep(20);
    EXPECT_FALSE(fired); // a real minute has not passed, and the virtual one neither
    platform::AdvanceTickCount(60000);
    loop.join();
    EXPECT_TRUE(fired);
}

#endif // !_WIN32
