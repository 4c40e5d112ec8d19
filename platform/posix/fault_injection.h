// Test hook: makes chosen calls of the stand-in fail the way Windows fails them, so that tests can
// walk every failure path of the code above. Off unless a test arms it; only calls made on the
// thread that armed a fault count towards it and can fail, so the workers of the module are left
// alone and a sweep sees the same sequence of calls every time.
//
//   platform::faults::Scope scope;                                   // disarms everything on exit
//   platform::faults::FailCall(platform::faults::Point::FileMove, ERROR_ACCESS_DENIED, 2);
//   ... the second MoveFileExW on this thread fails with ERROR_ACCESS_DENIED ...
//   platform::faults::LimitWrites(10000);   // WriteFile stores 10000 more bytes, then disk full
//   platform::faults::Count(platform::faults::Point::FileCreate);   // calls seen since arming
//
// Contract: a failing call does nothing else (no file is created, read, moved, copied or deleted;
// no memory is allocated) and sets the last error where the real call does; allocation failures
// answer null. Counting starts with the first Arm, FailCall or LimitWrites after a Disarm.
#pragma once

#include "platform/posix/types.h"

namespace platform::faults {

/// The calls that can be made to fail.
enum class Point {
    FileCreate,     // CreateFileW, with the chosen last error
    FileWrite,      // WriteFile, with the chosen last error and nothing written
    FileRead,       // ReadFile, with the chosen last error and nothing read
    FileMove,       // MoveFileExW (and MoveFileW)
    FileCopy,       // CopyFileW
    FileDelete,     // DeleteFileW
    BstrAlloc,      // every BSTR allocation (SysAllocString*, SysReAllocString*, conversions)
    SafeArrayAlloc, // SafeArrayCreate, SafeArrayCreateVector, SafeArrayCopy
    Count_
};

/// Starts counting calls on this thread without failing any.
void Arm() noexcept;
/// Makes the nth call (1 = the next) at point on this thread, and the `times - 1` calls after it,
/// fail with error (ignored for allocations). Arms counting if it was off.
void FailCall(Point point, DWORD error, unsigned nth = 1, unsigned times = 1) noexcept;
/// Lets WriteFile on this thread store `bytes` more bytes in all; the write that would pass that
/// limit stores what fits and fails with ERROR_DISK_FULL, as would every later one.
void LimitWrites(ULONGLONG bytes) noexcept;
/// Calls at point made on the armed thread since counting started.
unsigned Count(Point point) noexcept;
/// Switches everything off and forgets the counts.
void Disarm() noexcept;

/// Disarms on construction and on destruction.
class Scope {
public:
    Scope() noexcept { Disarm(); }
    ~Scope() { Disarm(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

// For the stand-in itself.
namespace detail {
/// Counts a call at point; true (with *error set) when the call must fail.
bool ShouldFail(Point point, DWORD* error = nullptr) noexcept;
/// How many of `wanted` bytes WriteFile may store now; counts the call and consumes the allowance.
/// Returns false (with *error set) when the write must fail after storing *allowed bytes.
bool AllowWrite(DWORD wanted, DWORD* allowed, DWORD* error) noexcept;
} // namespace detail

} // namespace platform::faults
