#include "tools/aspserve/session_store.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <set>

namespace {

using aspserve::CSessionStore;
using aspserve::SessionKeyOfCookies;
using aspserve::TSessionState;

class SessionStore : public ::testing::Test {
protected:
    // A seeded generator stands in for the random source, so that the test is repeatable.
    std::mt19937 generator_{12345};
    std::uint64_t now_ = 1000;
    CSessionStore store_{[this] { return now_; },
                         [this](unsigned char* bytes, std::size_t count) {
                             for (std::size_t i = 0; i < count; ++i)
                                 bytes[i] = static_cast<unsigned char>(generator_());
                         },
                         20};

    std::shared_ptr<TSessionState> EnterNow(const std::string& key)
    {
        std::shared_ptr<TSessionState> session;
        EXPECT_TRUE(store_.Enter(
            key, [](auto) { ADD_FAILURE() << "should not wait"; }, session));
        return session;
    }
};

TEST_F(SessionStore, CookieNamesAndKeysHaveTheShapeBrowsersSeeFromIis)
{
    EXPECT_TRUE(std::regex_match(store_.CookieName(), std::regex("ASPSESSIONID[A-Z]{8}"))) << store_.CookieName();
    std::set<std::string> keys;
    std::set<LONG> ids;
    for (int i = 0; i < 50; ++i) {
        auto session = EnterNow("");
        EXPECT_TRUE(std::regex_match(session->key, std::regex("[A-Z]{24}"))) << session->key;
        keys.insert(session->key);
        ids.insert(session->id);
        EXPECT_GT(session->id, 0);
        EXPECT_EQ(20, session->timeout.load());
        store_.Leave(session);
    }
    EXPECT_EQ(50u, keys.size());
    EXPECT_EQ(50u, ids.size());
}

TEST_F(SessionStore, ASessionIsKeptOnlyOnceAPageStoredAValue)
{
    auto first = EnterNow("");
    store_.Leave(first);
    auto second = EnterNow(first->key); // nothing stored: the cookie names no session
    EXPECT_NE(first->key, second->key);
    store_.Fix(*second);
    store_.Leave(second);
    EXPECT_EQ(1u, store_.KeptCount());
    auto third = EnterNow(second->key);
    EXPECT_EQ(second, third);
    store_.Leave(third);
}

TEST_F(SessionStore, RequestsOfOneSessionTakeTurnsInOrder)
{
    auto holder = EnterNow("");
    store_.Fix(*holder);
    std::vector<std::string> order;
    std::shared_ptr<TSessionState> waiting;
    std::vector<std::shared_ptr<TSessionState>> granted;
    for (const char* name : {"b", "c"}) {
        EXPECT_FALSE(store_.Enter(
            holder->key,
            [&, name](std::shared_ptr<TSessionState> s) {
                order.push_back(name);
                granted.push_back(s);
            },
            waiting));
    }
    EXPECT_TRUE(order.empty());
    auto other = EnterNow(""); // another session is not held up
    store_.Leave(other);

    auto next = store_.Leave(holder);
    ASSERT_TRUE(next);
    next();
    ASSERT_EQ(std::vector<std::string>{"b"}, order);
    EXPECT_EQ(holder, granted[0]); // the turn passed with the session itself
    next = store_.Leave(granted[0]);
    ASSERT_TRUE(next);
    next();
    EXPECT_EQ((std::vector<std::string>{"b", "c"}), order);
    EXPECT_FALSE(store_.Leave(granted[1]));
    EXPECT_EQ(holder, EnterNow(holder->key)); // free again
}

TEST_F(SessionStore, AnAbandonedSessionEndsWithItsPageAndReleasesItsWaiters)
{
    auto holder = EnterNow("");
    holder->values.Put(OLESTR("x"), VARIANT{});
    store_.Fix(*holder);
    int resumedWithNothing = 0;
    std::shared_ptr<TSessionState> waiting;
    for (int i = 0; i < 2; ++i)
        EXPECT_FALSE(store_.Enter(
            holder->key, [&](std::shared_ptr<TSessionState> s) { resumedWithNothing += s == nullptr; }, waiting));
    holder->abandoned = true;
    EXPECT_EQ(1u, holder->values.Count()); // the page still sees its values until it ends
    auto next = store_.Leave(holder);
    ASSERT_TRUE(next);
    next();
    EXPECT_EQ(2, resumedWithNothing);
    EXPECT_EQ(0u, store_.KeptCount());
    EXPECT_NE(holder->key, EnterNow(holder->key)->key);
}

TEST_F(SessionStore, AKeptSessionExpiresTimeoutMinutesAfterItsLastRequestLeft)
{
    auto session = EnterNow("");
    store_.Fix(*session);
    session->timeout = 2;
    now_ += 10 * 60000; // a long request: its session does not expire while it runs
    store_.Leave(session);
    now_ += 2 * 60000 - 1;
    auto again = EnterNow(session->key);
    EXPECT_EQ(session, again);
    store_.Leave(again);
    now_ += 2 * 60000;
    auto fresh = EnterNow(session->key);
    EXPECT_NE(session, fresh);
    store_.Leave(fresh);
    EXPECT_EQ(0u, store_.KeptCount());
}

TEST_F(SessionStore, ExpiredSessionsAreSweptWithoutBeingAskedFor)
{
    for (int i = 0; i < 5; ++i) {
        auto s = EnterNow("");
        store_.Fix(*s);
        store_.Leave(s);
    }
    EXPECT_EQ(5u, store_.KeptCount());
    now_ += 21 * 60000;
    store_.Leave(EnterNow(""));
    EXPECT_EQ(0u, store_.KeptCount());
}

TEST(SessionCookie, TheKeyIsFoundAmongOtherCookies)
{
    const std::string key = "ABCDEFGHIJKLMNOPQRSTUVWX";
    const std::string name = "ASPSESSIONIDQQSCRTTA";
    EXPECT_EQ(key, SessionKeyOfCookies("a=1; ASPSESSIONIDQQSCRTTA=" + key + "; b=2", name));
    EXPECT_EQ(key, SessionKeyOfCookies("aspsessionidqqscrtta = " + key, name));    // name case and blanks
    EXPECT_EQ(key, SessionKeyOfCookies("a=1, ASPSESSIONIDQQSCRTTA=" + key, name)); // two Cookie fields joined
    EXPECT_EQ(key, SessionKeyOfCookies("ASPSESSIONIDQQSCRTTA=bad; ASPSESSIONIDQQSCRTTA=" + key, name));
    EXPECT_EQ("", SessionKeyOfCookies("ASPSESSIONIDOTHERXXX=" + key, name)); // another process's cookie
    EXPECT_EQ("", SessionKeyOfCookies("ASPSESSIONIDQQSCRTTA=" + key.substr(1), name));
    EXPECT_EQ("", SessionKeyOfCookies("ASPSESSIONIDQQSCRTTA=abcdefghijklmnopqrstuvwx", name));
    EXPECT_EQ("", SessionKeyOfCookies("", name));
    EXPECT_EQ("", SessionKeyOfCookies(";;=;", name));
}

} // namespace
