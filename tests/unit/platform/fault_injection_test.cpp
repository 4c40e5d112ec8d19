// The stand-in's failure switches: which call fails, with what, on which thread, and what a
// failing call leaves behind. (POSIX only: on Windows the real platform answers.)
#ifndef _WIN32

#include "com/bstr.h"
#include "platform/posix/fault_injection.h"
#include "platform/win.h"
#include "tests/unit/test_temp_dir.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

namespace faults = platform::faults;
using testing_support::TestTempDir;

HANDLE NewFile(const WideString& path)
{
    return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(FaultInjection, TheChosenCallsFailWithTheChosenErrorAndDoNothing)
{
    faults::Scope scope;
    TestTempDir dir;
    faults::FailCall(faults::Point::FileCreate, ERROR_ACCESS_DENIED, 2, 2);
    HANDLE first = NewFile(dir.Wide("a"));
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    ::CloseHandle(first);
    for (const char* name : {"b", "c"}) {
        ::SetLastError(0);
        EXPECT_EQ(NewFile(dir.Wide(name)), INVALID_HANDLE_VALUE) << name;
        EXPECT_EQ(::GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    }
    HANDLE fourth = NewFile(dir.Wide("d"));
    EXPECT_NE(fourth, INVALID_HANDLE_VALUE);
    ::CloseHandle(fourth);
    EXPECT_EQ(faults::Count(faults::Point::FileCreate), 4u);
    EXPECT_EQ(dir.Files().size(), 2u); // the refused names were never created

    faults::FailCall(faults::Point::FileDelete, ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(::DeleteFileW(dir.Wide("a").c_str()));
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    faults::FailCall(faults::Point::FileMove, ERROR_DISK_FULL);
    EXPECT_FALSE(::MoveFileExW(dir.Wide("a").c_str(), dir.Wide("moved").c_str(), MOVEFILE_COPY_ALLOWED));
    faults::FailCall(faults::Point::FileCopy, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(::CopyFileW(dir.Wide("a").c_str(), dir.Wide("copy").c_str(), TRUE));
    EXPECT_EQ(dir.Files().size(), 2u);
    EXPECT_TRUE(::DeleteFileW(dir.Wide("a").c_str())); // each window was one call long
}

TEST(FaultInjection, AFailedReadReadsNothingAndLeavesTheFilePositionWhereItWas)
{
    faults::Scope scope;
    TestTempDir dir;
    HANDLE file = ::CreateFileW(dir.Write("r", "abcdef").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    faults::FailCall(faults::Point::FileRead, ERROR_READ_FAULT, 2);
    char buffer[4] = {};
    DWORD got = 99;
    ASSERT_TRUE(::ReadFile(file, buffer, 2, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "ab");
    got = 99;
    EXPECT_FALSE(::ReadFile(file, buffer, 2, &got, nullptr));
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_READ_FAULT));
    EXPECT_EQ(got, 0u);
    ASSERT_TRUE(::ReadFile(file, buffer, 2, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "cd");
    EXPECT_EQ(faults::Count(faults::Point::FileRead), 3u);
    ::CloseHandle(file);
}

TEST(FaultInjection, AFullDiskStoresWhatFitsThenFailsEveryWrite)
{
    faults::Scope scope;
    TestTempDir dir;
    HANDLE file = NewFile(dir.Wide("f"));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    faults::LimitWrites(10);
    DWORD written = 0;
    EXPECT_TRUE(::WriteFile(file, "0123456", 7, &written, nullptr));
    EXPECT_EQ(written, 7u);
    EXPECT_FALSE(::WriteFile(file, "789ab", 5, &written, nullptr));
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_DISK_FULL));
    EXPECT_EQ(written, 3u);
    EXPECT_FALSE(::WriteFile(file, "c", 1, &written, nullptr));
    EXPECT_EQ(written, 0u);
    faults::Disarm();
    EXPECT_TRUE(::WriteFile(file, "c", 1, &written, nullptr));
    ::CloseHandle(file);
    EXPECT_EQ(TestTempDir::Read(dir.Path() / "f"), "0123456789c");
    EXPECT_TRUE(::DeleteFileW(dir.Wide("f").c_str()));
    EXPECT_TRUE(dir.Files().empty());
}

TEST(FaultInjection, AllocationsFailOnTheArmedThreadOnly)
{
    faults::Scope scope;
    faults::FailCall(faults::Point::BstrAlloc, 0, 1, 100);
    BSTR elsewhere = nullptr;
    SAFEARRAY* array = nullptr;
    std::thread([&] {
        elsewhere = ::SysAllocString(OLESTR("other thread"));
        array = ::SafeArrayCreateVector(VT_UI1, 0, 4);
    }).join();
    EXPECT_NE(elsewhere, nullptr);
    ::SysFreeString(elsewhere);
    EXPECT_EQ(::SysAllocString(OLESTR("here")), nullptr);
    EXPECT_EQ(::SysAllocStringLen(OLESTR("here"), 2), nullptr);
    EXPECT_EQ(faults::Count(faults::Point::BstrAlloc), 2u);

    EXPECT_NE(array, nullptr);
    ::SafeArrayDestroy(array);
    faults::FailCall(faults::Point::SafeArrayAlloc, 0);
    EXPECT_EQ(::SafeArrayCreateVector(VT_UI1, 0, 4), nullptr);
    array = ::SafeArrayCreateVector(VT_UI1, 0, 4);
    EXPECT_NE(array, nullptr);
    ::SafeArrayDestroy(array);

    faults::Disarm();
    BSTR fine = ::SysAllocString(OLESTR("fine"));
    EXPECT_NE(fine, nullptr);
    ::SysFreeString(fine);
    EXPECT_EQ(faults::Count(faults::Point::BstrAlloc), 0u);
}

TEST(FaultInjection, AFailedShrinkLeavesTheStringAsItWas)
{
    faults::Scope scope;
    com::Bstr b(WideString(OLESTR("abcdef")));
    faults::FailCall(faults::Point::BstrAlloc, 0);
    EXPECT_THROW(b.Truncate(2), com::ComError);
    EXPECT_EQ(WideString(b.Get(), b.Length()), WideString(OLESTR("abcdef")));
    b.Truncate(2);
    EXPECT_EQ(WideString(b.Get(), b.Length()), WideString(OLESTR("ab")));
}

} // namespace

#endif // !_WIN32
