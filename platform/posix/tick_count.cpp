// GetTickCount on real monotonic time, or on the virtual clock that tests drive.
#include "platform/posix/kernel_objects.h"
#include "platform/posix/virtual_clock.h"

#include <atomic>
#include <ctime>

namespace {

std::atomic<bool> g_virtual{false};
std::atomic<ULONGLONG> g_virtualTicks{0};

ULONGLONG RealTicks()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<ULONGLONG>(ts.tv_sec) * 1000 + static_cast<ULONGLONG>(ts.tv_nsec) / 1000000;
}

} // namespace

namespace platform {

void UseVirtualClock(bool on)
{
    if (on && !g_virtual)
        g_virtualTicks = RealTicks();
    g_virtual = on;
    detail::WakeMessageLoops();
}

bool IsVirtualClock()
{
    return g_virtual;
}

void AdvanceTickCount(DWORD ms)
{
    g_virtualTicks += ms;
    detail::WakeMessageLoops();
}

void SetTickCount(DWORD ticks)
{
    ULONGLONG current = g_virtualTicks;
    g_virtualTicks = (current & ~0xFFFFFFFFull) | ticks;
    detail::WakeMessageLoops();
}

} // namespace platform

ULONGLONG GetTickCount64()
{
    return g_virtual ? g_virtualTicks.load() : RealTicks();
}

DWORD GetTickCount()
{
    return static_cast<DWORD>(GetTickCount64());
}
