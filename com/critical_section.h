// CriticalSection: a recursive lock (a Windows critical section); CriticalSectionLock holds one
// for a scope.
//
//   com::CriticalSection lock_;
//   { com::CriticalSectionLock hold(lock_); ... }   // re-entrant on the same thread
#pragma once

#include "platform/win.h"

namespace com {

class CriticalSection {
public:
    CriticalSection() noexcept { ::InitializeCriticalSection(&cs_); }
    ~CriticalSection() { ::DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Lock() noexcept { ::EnterCriticalSection(&cs_); }
    void Unlock() noexcept { ::LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CriticalSection& cs) noexcept : cs_(cs) { cs_.Lock(); }
    ~CriticalSectionLock() { cs_.Unlock(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& cs_;
};

} // namespace com
