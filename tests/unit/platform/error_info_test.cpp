// The thread's error object (SetErrorInfo / GetErrorInfo) and the debugger output of the stand-in.
#include "tests/unit/platform/test_objects.h"

#ifndef _WIN32
#include "platform/posix/debug_output.h"
#endif

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using platform_test::CountedErrorInfo;

TEST(ErrorInfo, IsPerThreadAndHandedOutOnce)
{
    CountedErrorInfo stale(OLESTR("stale"));
    ASSERT_EQ(::SetErrorInfo(0, &stale), S_OK);
    EXPECT_EQ(stale.References(), 2u);

    // Another thread sees none of it.
    HRESULT elsewhere = E_FAIL;
    std::thread([&] {
        IErrorInfo* info = nullptr;
        elsewhere = ::GetErrorInfo(0, &info);
        if (info)
            info->Release();
    }).join();
    EXPECT_EQ(elsewhere, S_FALSE);

    IErrorInfo* info = nullptr;
    ASSERT_EQ(::GetErrorInfo(0, &info), S_OK);
    ASSERT_EQ(info, &stale);
    BSTR text = nullptr;
    ASSERT_EQ(info->GetDescription(&text), S_OK);
    EXPECT_EQ(WideString(text), OLESTR("stale"));
    ::SysFreeString(text);
    info->Release();
    // Taking it clears the thread's slot.
    EXPECT_EQ(::GetErrorInfo(0, &info), S_FALSE);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(stale.References(), 1u);
}

TEST(ErrorInfo, SettingNoneReleasesTheOneThere)
{
    CountedErrorInfo stale(OLESTR("stale"));
    ASSERT_EQ(::SetErrorInfo(0, &stale), S_OK);
    ASSERT_EQ(::SetErrorInfo(0, nullptr), S_OK);
    EXPECT_EQ(stale.References(), 1u);
    IErrorInfo* info = nullptr;
    EXPECT_EQ(::GetErrorInfo(0, &info), S_FALSE);
}

#ifndef _WIN32
TEST(DebugOutput, TheHookSeesEachStringWholeAndNothingOnceRemoved)
{
    std::vector<std::u16string> lines;
    platform::SetDebugOutputHook([&](const WCHAR* text) { lines.emplace_back(text); });
    ::OutputDebugStringW(u"first line\n");
    ::OutputDebugStringW(nullptr);
    std::thread([] { ::OutputDebugStringW(u"from another thread\n"); }).join();
    platform::SetDebugOutputHook(nullptr);
    ::OutputDebugStringW(u"unheard\n");
    EXPECT_EQ(lines, (std::vector<std::u16string>{u"first line\n", u"from another thread\n"}));
}
#endif

} // namespace
