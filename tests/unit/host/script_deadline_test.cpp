// The time a page's script may run (Server.ScriptTimeout), counted on a clock the test moves.
#include "host/script_deadline.h"

#include <gtest/gtest.h>

namespace {

using host::CScriptDeadline;

TEST(ScriptDeadline, PassesAtItsTimeAndStaysPassed)
{
    std::uint64_t now = 1000;
    CScriptDeadline deadline([&] { return now; }, 90);
    EXPECT_EQ(90u, deadline.Seconds());
    now += 89999;
    EXPECT_FALSE(deadline.Check());
    EXPECT_FALSE(deadline.TimedOut());
    now += 1;
    EXPECT_TRUE(deadline.Check());
    EXPECT_TRUE(deadline.TimedOut());
    deadline.SetSeconds(1000);
    EXPECT_TRUE(deadline.Check()); // more time comes too late once it has passed
}

TEST(ScriptDeadline, APageMayAskForMoreTimeButNotLess)
{
    std::uint64_t now = 0;
    CScriptDeadline deadline([&] { return now; }, 90);
    deadline.SetSeconds(10);
    EXPECT_EQ(90u, deadline.Seconds());
    deadline.SetSeconds(300);
    EXPECT_EQ(300u, deadline.Seconds());
    now = 200000;
    EXPECT_FALSE(deadline.Check());
    now = 300000;
    EXPECT_TRUE(deadline.Check());
}

} // namespace
