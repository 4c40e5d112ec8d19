// The fault switches: one armed thread, a call counter and a failure window per point, and a
// byte allowance for WriteFile. A relaxed atomic keeps the disarmed path to one load.
#include "platform/posix/fault_injection.h"

#include <array>
#include <atomic>
#include <mutex>
#include <thread>

namespace platform::faults {
namespace {

constexpr std::size_t kPoints = static_cast<std::size_t>(Point::Count_);
constexpr ULONGLONG kUnlimited = ~ULONGLONG(0);

struct Window {
    unsigned count = 0;    // calls seen
    unsigned firstBad = 0; // 1-based call number of the first failure, 0 for none
    unsigned lastBad = 0;
    DWORD error = ERROR_SUCCESS;
};

struct State {
    std::mutex lock;
    std::thread::id thread;
    std::array<Window, kPoints> windows{};
    ULONGLONG writeAllowance = kUnlimited;
};

std::atomic<bool> g_armed{false};

State& Shared()
{
    static auto* state = new State; // outlives every static destructor that might still call in
    return *state;
}

// Arms for the calling thread; the caller holds the lock.
void ArmLocked(State& s)
{
    if (!g_armed.load(std::memory_order_relaxed)) {
        s.thread = std::this_thread::get_id();
        s.windows = {};
        s.writeAllowance = kUnlimited;
        g_armed.store(true, std::memory_order_release);
    }
}

bool OnArmedThread(const State& s)
{
    return s.thread == std::this_thread::get_id();
}

} // namespace

void Arm() noexcept
{
    State& s = Shared();
    std::lock_guard guard(s.lock);
    ArmLocked(s);
}

void FailCall(Point point, DWORD error, unsigned nth, unsigned times) noexcept
{
    State& s = Shared();
    std::lock_guard guard(s.lock);
    ArmLocked(s);
    Window& w = s.windows[static_cast<std::size_t>(point)];
    w.firstBad = times ? w.count + nth : 0;
    w.lastBad = w.count + nth + times - 1;
    w.error = error;
}

void LimitWrites(ULONGLONG bytes) noexcept
{
    State& s = Shared();
    std::lock_guard guard(s.lock);
    ArmLocked(s);
    s.writeAllowance = bytes;
}

unsigned Count(Point point) noexcept
{
    State& s = Shared();
    std::lock_guard guard(s.lock);
    return s.windows[static_cast<std::size_t>(point)].count;
}

void Disarm() noexcept
{
    State& s = Shared();
    std::lock_guard guard(s.lock);
    g_armed.store(false, std::memory_order_release);
    s.windows = {};
    s.writeAllowance = kUnlimited;
}

namespace detail {

bool ShouldFail(Point point, DWORD* error) noexcept
{
    if (!g_armed.load(std::memory_order_acquire))
        return false;
    State& s = Shared();
    std::lock_guard guard(s.lock);
    if (!g_armed.load(std::memory_order_relaxed) || !OnArmedThread(s))
        return false;
    Window& w = s.windows[static_cast<std::size_t>(point)];
    const unsigned call = ++w.count;
    if (w.firstBad == 0 || call < w.firstBad || call > w.lastBad)
        return false;
    if (error)
        *error = w.error;
    return true;
}

bool AllowWrite(DWORD wanted, DWORD* allowed, DWORD* error) noexcept
{
    *allowed = wanted;
    if (ShouldFail(Point::FileWrite, error)) {
        *allowed = 0;
        return false;
    }
    if (!g_armed.load(std::memory_order_acquire))
        return true;
    State& s = Shared();
    std::lock_guard guard(s.lock);
    if (!g_armed.load(std::memory_order_relaxed) || !OnArmedThread(s) || s.writeAllowance == kUnlimited)
        return true;
    if (wanted <= s.writeAllowance) {
        s.writeAllowance -= wanted;
        return true;
    }
    *allowed = static_cast<DWORD>(s.writeAllowance);
    s.writeAllowance = 0;
    *error = ERROR_DISK_FULL;
    return false;
}

} // namespace detail
} // namespace platform::faults
