// Thread message queues and thread timers, in real time (these hold on Windows as well).
#include "platform/win.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

/// Every message waiting in the calling thread's queue, removed in retrieval order.
std::vector<MSG> Drain()
{
    std::vector<MSG> all;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        all.push_back(msg);
    return all;
}

unsigned __stdcall ReturnArgumentLater(void* arg)
{
    Sleep(20);
    return *static_cast<unsigned*>(arg);
}

/// An address inside this program.
const char kAnchor = 0;

/// Takes a reference to the module that holds its code and ends by giving it back, as the
/// product's worker threads do.
unsigned __stdcall LeaveThroughFreeLibraryLater(void* arg)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&kAnchor), &module))
        return 1;
    Sleep(20);
    FreeLibraryAndExitThread(module, *static_cast<unsigned*>(arg));
}

} // namespace

TEST(ThreadMessages, PostingNeedsAQueue)
{
    DWORD id = 0;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE posted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread worker([&] {
        id = GetCurrentThreadId();
        SetEvent(ready);
        WaitForSingleObject(posted, INFINITE);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // creates the queue
        SetEvent(ready);
        ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
        EXPECT_EQ(msg.wParam, static_cast<WPARAM>(7));
        EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE); // WM_QUIT
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    });
    ASSERT_EQ(WaitForSingleObject(ready, 5000), WAIT_OBJECT_0);
    ResetEvent(ready);
    SetLastError(0);
    EXPECT_FALSE(PostThreadMessageW(id, WM_USER + 1, 7, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
    SetEvent(posted);
    ASSERT_EQ(WaitForSingleObject(ready, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(PostThreadMessageW(id, WM_USER + 1, 7, 0));
    EXPECT_TRUE(PostThreadMessageW(id, WM_QUIT, 0, 0));
    worker.join();
    CloseHandle(ready);
    CloseHandle(posted);
}

TEST(ThreadMessages, TimerWaitsForPostedMessagesAndIsNeverDuplicated)
{
    std::thread([] {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        UINT_PTR timer = SetTimer(nullptr, 0, 10, nullptr);
        ASSERT_NE(timer, 0u);
        Sleep(120); // many periods go by
        ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 1, 1, 0));
        ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 2, 2, 0));
        std::vector<MSG> all = Drain();
        ASSERT_EQ(all.size(), 3u);
        EXPECT_EQ(all[0].message, static_cast<UINT>(WM_USER + 1));
        EXPECT_EQ(all[1].message, static_cast<UINT>(WM_USER + 2));
        EXPECT_EQ(all[2].message, static_cast<UINT>(WM_TIMER));
        EXPECT_EQ(all[2].wParam, timer);

        // Periodic: it comes again after another period, once.
        Sleep(60);
        all = Drain();
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all[0].message, static_cast<UINT>(WM_TIMER));

        // Killing it removes the pending WM_TIMER too.
        Sleep(60);
        EXPECT_TRUE(KillTimer(nullptr, timer));
        EXPECT_TRUE(Drain().empty());
        EXPECT_FALSE(KillTimer(nullptr, timer));
    }).join();
}

TEST(ThreadMessages, GetMessageAndWaitMessageWakeForATimer)
{
    std::thread([] {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        UINT_PTR first = SetTimer(nullptr, 0, 30, nullptr);
        UINT_PTR second = SetTimer(nullptr, 0, 1000000, nullptr);
        ASSERT_NE(first, 0u);
        EXPECT_NE(first, second);
        EXPECT_TRUE(WaitMessage());
        ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
        EXPECT_EQ(msg.wParam, first);
        KillTimer(nullptr, first);
        KillTimer(nullptr, second);
        // A message posted to oneself ends the wait at once.
        ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), 0, 0, 0));
        EXPECT_TRUE(WaitMessage());
        EXPECT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, 0u);
    }).join();
}

TEST(Threads, ExitCodeAndHandleSignalledAtExit)
{
    unsigned id = 0;
    unsigned code = 1234;
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ReturnArgumentLater, &code, 0, &id));
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    DWORD exitCode = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &exitCode));
    EXPECT_EQ(exitCode, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(thread, &exitCode));
    EXPECT_EQ(exitCode, 1234u);
    EXPECT_TRUE(CloseHandle(thread));
}

TEST(Threads, EndingThroughFreeLibraryAndExitThreadSignalsTheHandleWithTheExitCode)
{
    unsigned code = 77;
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, LeaveThroughFreeLibraryLater, &code, 0, nullptr));
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "stays signalled";
    DWORD exitCode = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &exitCode));
    EXPECT_EQ(exitCode, 77u);
    EXPECT_TRUE(CloseHandle(thread));
}

TEST(Events, AutoResetWakesOneWaitAndTimesOut)
{
    HANDLE automatic = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 10), static_cast<DWORD>(WAIT_TIMEOUT));
    HANDLE manual = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    CloseHandle(automatic);
    CloseHandle(manual);

    LONG counter = 0;
    EXPECT_EQ(InterlockedIncrement(&counter), 1);
    EXPECT_EQ(InterlockedDecrement(&counter), 0);
    EXPECT_EQ(InterlockedCompareExchange(&counter, 5, 0), 0);
    EXPECT_EQ(counter, 5);
}
