#include "progress/worker_thread.h"

#include <algorithm>

bool CWorkerThread::Init() noexcept
{
    thread_ = nullptr;
    threadId_ = 0;
    readyEvent_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return readyEvent_ != nullptr;
}

void CWorkerThread::Term() noexcept
{
    if (readyEvent_)
        ::CloseHandle(readyEvent_);
    readyEvent_ = nullptr;
    if (thread_)
        ::CloseHandle(thread_);
    thread_ = nullptr;
    threadId_ = 0;
    for (HANDLE h : ended_)
        ::CloseHandle(h);
    ended_.clear();
}

bool CWorkerThread::IsRunning() noexcept
{
    if (thread_)
        return true;
    PruneEnded();
    return !ended_.empty();
}

bool CWorkerThread::Start(Procedure procedure, void* argument)
{
    if (thread_)
        return true;
    PruneEnded();
    startupOk_.store(false);

    unsigned id = 0;
    const uintptr_t handle = ::_beginthreadex(nullptr, 0, procedure, argument, 0, &id);
    if (!handle)
        return false;
    thread_ = reinterpret_cast<HANDLE>(handle);
    threadId_ = id;

    // Wait for the startup report; a thread that ends without one counts as a failed start.
    bool reported = false;
    for (;;) {
        const DWORD wait = ::WaitForSingleObject(readyEvent_, 50);
        if (wait == WAIT_OBJECT_0) {
            reported = true;
            break;
        }
        if (::WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0)
            break;
        if (wait != WAIT_TIMEOUT)
            ::Sleep(1);
    }
    if (reported && startupOk_.load())
        return true;

    // The worker failed before it touched the owner's lock: it is ending (or has ended).
    ::WaitForSingleObject(thread_, INFINITE);
    ::CloseHandle(thread_);
    thread_ = nullptr;
    threadId_ = 0;
    ::ResetEvent(readyEvent_);
    return false;
}

void CWorkerThread::ReportStartup(bool ok) noexcept
{
    startupOk_.store(ok);
    ::SetEvent(readyEvent_);
}

void CWorkerThread::Forget() noexcept
{
    if (thread_) {
        try {
            ended_.push_back(thread_);
        } catch (...) {
            ::CloseHandle(thread_);
        }
    }
    thread_ = nullptr;
    threadId_ = 0;
    if (readyEvent_)
        ::ResetEvent(readyEvent_);
}

void CWorkerThread::PruneEnded() noexcept
{
    std::erase_if(ended_, [](HANDLE h) {
        if (::WaitForSingleObject(h, 0) != WAIT_OBJECT_0)
            return false;
        ::CloseHandle(h);
        return true;
    });
}
