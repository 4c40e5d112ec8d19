#include "progress/worker_thread.h"

#include <algorithm>
#include <utility>

namespace {

/// A failure of the worker's own machinery (its queue, apartment or timer): the worker ends with
/// exit code 1. Nobody outside the worker sees it.
class EWorkerFailed {};

/// An address inside this module, to find the module by.
const char kModuleAnchor = 0;

/// How long Stop waits before it asks again when its quit message could not be posted.
constexpr DWORD kQuitRetryMs = 10;

} // namespace

HRESULT CWorkerThread::Init() noexcept
{
    thread_ = nullptr;
    threadId_ = 0;
    readyEvent_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return readyEvent_ ? S_OK : E_FAIL;
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
    com::CriticalSectionLock hold(lock_);
    if (thread_)
        return true;
    PruneEnded();
    return !ended_.empty();
}

bool CWorkerThread::Start()
{
    // One worker at a time. A recorded worker has not left: it leaves only under the owner's lock,
    // held here, and looks at the owner's state when it next takes it.
    if (thread_)
        return true;
    PruneEnded();
    startupOk_.store(false);

    // The worker's own reference to this module, taken here, where the module is surely loaded;
    // the worker gives it back as its very last step.
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&kModuleAnchor),
                              &module))
        return false;
    startingModule_ = module;

    // The run-time library's thread start, not CreateThread, so that the C and C++ run-time is
    // set up for the new thread. Handle and id are recorded at once, under the owner's lock: the
    // owner posts to the id as soon as Start returns.
    unsigned id = 0;
    const uintptr_t handle = ::_beginthreadex(nullptr, 0, &CWorkerThread::ThreadProc, this, 0, &id);
    if (!handle) {
        startingModule_ = nullptr;
        ::FreeLibrary(module);
        return false;
    }
    thread_ = reinterpret_cast<HANDLE>(handle);
    threadId_ = id;

    // Wait, with the owner's lock held, until the worker reports its start-up: only then does its
    // message queue exist, so the owner's next post reaches it. This cannot deadlock, since the
    // worker takes the lock only after its report. The wait wakes now and then to notice a worker
    // that ended without a report, which counts as a failed start.
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

    // The worker failed before it touched the owner's lock: it is ending (or has ended). Join it
    // and record nothing, so that the next Start tries afresh.
    ::WaitForSingleObject(thread_, INFINITE);
    ::CloseHandle(thread_);
    thread_ = nullptr;
    threadId_ = 0;
    ::ResetEvent(readyEvent_);
    return false;
}

void CWorkerThread::PostChanged() const noexcept
{
    ::PostThreadMessageW(threadId_, ChangedMessage, 0, 0);
}

void CWorkerThread::Stop() noexcept
{
    for (;;) {
        HANDLE thread = nullptr;
        DWORD waitMs = INFINITE;
        {
            com::CriticalSectionLock hold(lock_);
            PruneEnded();
            if (thread_) {
                // The recorded worker leaves at its next wake, which needs the lock released.
                thread = thread_;
                if (!::PostThreadMessageW(threadId_, QuitMessage, 0, 0))
                    waitMs = kQuitRetryMs;
            } else if (!ended_.empty()) {
                thread = ended_.front(); // forgotten, still returning
            } else {
                return;
            }
            ++stopsWaiting_;
        }
        ::WaitForSingleObject(thread, waitMs);
        com::CriticalSectionLock hold(lock_);
        --stopsWaiting_;
    }
}

unsigned __stdcall CWorkerThread::ThreadProc(void* self)
{
    auto* worker = static_cast<CWorkerThread*>(self);
    // Start set it before creating this thread, and waits for this worker's start-up report before
    // it could start another one.
    const HMODULE module = worker->startingModule_;
    const unsigned exitCode = worker->Main();
    // The last step: the module may go with this reference, so no code of it may run after.
    ::FreeLibraryAndExitThread(module, exitCode);
}

unsigned CWorkerThread::Main() noexcept
{
    // Start-up. The starter waits in Start with the owner's lock held, so nothing here may take
    // that lock. Every step that can fail comes before the report: a worker that cannot work
    // reports so and ends, and Start records no worker instead of one that will never run.
    TRun run;
    bool comInitialised = false;
    try {
        MSG msg;
        // A thread has no message queue until it first asks for a message. Create it now: until
        // it exists, the owner's posts to this thread (the changed message right after Start,
        // the quit message of Stop) would fail and be lost.
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        // Prove that the queue takes posted messages and that the thread can wait on it: post a
        // null message to ourselves and wait until it is there. The null message stays queued;
        // the loop fetches it later as a wake that carries no work.
        if (!::PostThreadMessageW(::GetCurrentThreadId(), 0, 0, 0) || !::WaitMessage())
            throw EWorkerFailed();
        // The owner reaches statistics objects through the Global Interface Table, which works
        // only in an apartment. The multithreaded one: the statistics objects are Neutral, so the
        // worker calls straight into them on its own thread and nothing is ever marshalled to it
        // through its message loop. Any answer but S_OK (S_FALSE: this thread already had an
        // apartment) is a failure.
        const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        comInitialised = SUCCEEDED(hr);
        if (hr != S_OK)
            throw EWorkerFailed();
        // The owner's own step (its first message, or its periodic timer: a thread timer belongs
        // to the thread that sets it, so it is set here).
        job_.WorkerStarting(run);
    } catch (...) {
        if (run.timer)
            ::KillTimer(nullptr, run.timer);
        if (comInitialised)
            ::CoUninitialize();
        ReportStartup(false);
        return 1;
    }
    // Release the starter. Only from here on does the worker take the owner's lock.
    ReportStartup(true);

    unsigned exitCode = 0;
    try {
        Loop(run);
    } catch (...) {
        exitCode = 1;
    }
    if (run.timer && !::KillTimer(nullptr, run.timer))
        exitCode = 1;
    ::CoUninitialize();
    return exitCode;
}

void CWorkerThread::Loop(TRun& run)
{
    bool forgotten = false;
    try {
        for (;;) {
            MSG msg;
            const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
            if (got == 0 || got == -1)
                throw EWorkerFailed();

            com::CriticalSectionLock hold(lock_);
            try {
                // Everything queued so far makes one wake: timer messages that piled up while the
                // worker was busy lead to one pass, not several.
                bool quit = false, timerFired = false, changed = false;
                do {
                    if (msg.message == WM_QUIT || msg.message == QuitMessage) {
                        quit = true;
                    } else if (msg.message == WM_TIMER) {
                        timerFired = true;
                    } else if (msg.message == ChangedMessage) {
                        changed = true;
                    } else {
                        ::TranslateMessage(&msg);
                        ::DispatchMessageW(&msg);
                    }
                } while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));

                if (quit)
                    throw ELeaveLoop();
                if (timerFired || changed)
                    job_.WorkerWake(run, timerFired, changed);
            } catch (...) {
                // Leaving, normally or not, with the lock held: from now on no worker is recorded.
                Forget();
                forgotten = true;
                throw;
            }
        }
    } catch (const ELeaveLoop&) {
    } catch (...) {
        if (!forgotten) {
            com::CriticalSectionLock hold(lock_);
            Forget();
        }
        throw;
    }
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
    if (stopsWaiting_ > 0)
        return;
    std::erase_if(ended_, [](HANDLE h) {
        if (::WaitForSingleObject(h, 0) != WAIT_OBJECT_0)
            return false;
        ::CloseHandle(h);
        return true;
    });
}
