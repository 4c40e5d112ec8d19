#include "tools/aspserve/application_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using aspserve::CApplicationState;

TEST(ApplicationState, TheLockBelongsToOnePageAtATime)
{
    CApplicationState application;
    application.Lock(1);
    application.Lock(1);   // the holder locks again without waiting
    application.Unlock(2); // another page cannot let it go
    EXPECT_EQ(1u, application.Holder());
    application.Unlock(1);
    EXPECT_EQ(0u, application.Holder());
    application.Lock(2);
    application.ReleaseFor(1);
    EXPECT_EQ(2u, application.Holder());
    application.ReleaseFor(2); // the page ended
    EXPECT_EQ(0u, application.Holder());
}

TEST(ApplicationState, ReadChangeWriteUnderTheLockLosesNoUpdate)
{
    CApplicationState application;
    std::vector<std::thread> pages;
    constexpr int kPages = 8, kRounds = 200;
    for (int p = 1; p <= kPages; ++p) {
        pages.emplace_back([&application, p] {
            for (int i = 0; i < kRounds; ++i) {
                application.Lock(p);
                com::Variant count;
                application.Values().Get(OLESTR("count"), count.Get());
                VARIANT next;
                ::VariantInit(&next);
                next.vt = VT_I4;
                next.lVal = (count.Type() == VT_I4 ? count.Get()->lVal : 0) + 1;
                std::this_thread::yield(); // give another page the chance to slip in, were it allowed
                application.Values().Put(OLESTR("count"), next);
                application.Unlock(p);
            }
        });
    }
    for (std::thread& page : pages)
        page.join();
    com::Variant count;
    application.Values().Get(OLESTR("count"), count.Get());
    ASSERT_EQ(VT_I4, count.Type());
    EXPECT_EQ(kPages * kRounds, count.Get()->lVal);
}

} // namespace
