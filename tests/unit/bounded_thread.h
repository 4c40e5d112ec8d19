#pragma once
// BoundedThread: runs a function on a thread of its own, started through the platform, so that a
// test can wait for it with a limit: a deadlock then fails the test instead of hanging the run.
//
//   testing_support::BoundedThread locker([&] { com::ObjectLockGuard twice(*object); ... });
//   ASSERT_TRUE(locker.EndsWithin(10000)) << "deadlocked";
//
// A thread that has not ended in time is left behind with whatever it holds (the work function
// included), and the test goes on; the handle is closed either way, without waiting.

#include "platform/win.h"

#include <functional>
#include <utility>

namespace testing_support {

class BoundedThread {
public:
    explicit BoundedThread(std::function<void()> work)
    {
        auto* owned = new std::function<void()>(std::move(work));
        thread_ = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &Run, owned, 0, nullptr));
        if (!thread_)
            delete owned;
    }
    ~BoundedThread()
    {
        if (thread_)
            ::CloseHandle(thread_);
    }
    BoundedThread(const BoundedThread&) = delete;
    BoundedThread& operator=(const BoundedThread&) = delete;

    /// True when the thread was started and has ended within `ms` milliseconds.
    bool EndsWithin(DWORD ms) const { return thread_ && ::WaitForSingleObject(thread_, ms) == WAIT_OBJECT_0; }

private:
    static unsigned __stdcall Run(void* work)
    {
        auto* owned = static_cast<std::function<void()>*>(work);
        (*owned)();
        delete owned;
        return 0;
    }

    HANDLE thread_ = nullptr;
};

} // namespace testing_support
