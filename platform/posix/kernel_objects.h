// Handles of the POSIX stand-in: every kernel object (event, thread, file) lives in a process-wide
// table keyed by its HANDLE; waitable objects share one lock and one condition variable.
#pragma once

#include "platform/posix/kernel.h"

#include <condition_variable>
#include <memory>
#include <mutex>

namespace platform::detail {

struct KernelObject {
    virtual ~KernelObject() = default;
};

/// An object that WaitForSingleObject can wait on; its state is guarded by WaitLock().
struct Waitable : KernelObject {
    bool signaled = false;
    bool manualReset = true;
};

/// Adds an object to the handle table and returns its handle.
HANDLE AddHandle(std::shared_ptr<KernelObject> object);
/// The object behind a handle, or null for an unknown one.
std::shared_ptr<KernelObject> FindHandle(HANDLE handle);
/// Removes a handle; false when it is unknown.
bool RemoveHandle(HANDLE handle);

std::mutex& WaitLock();
std::condition_variable& WaitChanged();

/// Called on a thread just before it ends: drops its message queue.
void DropThreadQueue();
/// Wakes every message loop (the virtual clock moved).
void WakeMessageLoops();

/// Last error from an errno value of a file operation.
DWORD ErrorFromErrno(int error);

/// Ends the calling thread, which the stand-in started, with exitCode (ExitThread): unwinds to the
/// thread's start, which records the code.
[[noreturn]] void ExitCurrentThread(DWORD exitCode);

} // namespace platform::detail
