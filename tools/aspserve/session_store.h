// CSessionStore: the sessions of a site, as ASP keeps them. A browser names its session with a
// cookie, ASPSESSIONID followed by eight capital letters chosen once per store, whose value is a
// key of 24 random capital letters. As on IIS:
// - a request whose cookie names no kept session starts a new one (a new key, a new SessionID),
//   and the session is kept for later requests only once the page stores a value in it (until
//   then every request starts afresh);
// - the requests of one session take turns: while one runs, the next waits (holding no thread)
//   and is resumed when the turn passes to it;
// - a kept session ends Timeout minutes after its last request left, or when a page abandons it
//   (at the end of that page).
//
//   aspserve::CSessionStore store(clock, random, 20);
//   std::shared_ptr<TSessionState> session;
//   if (store.Enter(keyFromCookie, [&](auto granted) { Resume(granted); }, session)) {
//       ... run the page with session ...;  store.Fix(*session) when it stores a value
//       if (auto next = store.Leave(session)) next();     // the waiting request's turn
//   }
#pragma once

#include "platform/win.h"
#include "tools/aspserve/value_table.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace aspserve {

/// One session: what its pages see through the Session object.
struct TSessionState {
    TSessionState(LONG id, std::string key, LONG timeoutMinutes) : id(id), key(std::move(key)), timeout(timeoutMinutes)
    {}

    const LONG id;             ///< Session.SessionID
    const std::string key;     ///< the cookie's value
    CValueTable values;        ///< Session.Contents
    std::atomic<LONG> timeout; ///< minutes
    std::atomic<bool> abandoned{false};
    std::atomic<UINT> codePage{0}; ///< Session.CodePage once a page set it, else 0
    std::atomic<LONG> lcid{0};     ///< Session.LCID once a page set it, else 0
};

class CSessionStore {
public:
    using TClock = std::function<std::uint64_t()>;                                ///< milliseconds
    using TRandom = std::function<void(unsigned char* bytes, std::size_t count)>; ///< unpredictable bytes
    /// Called when a waiting request's turn comes, with its session (null when that session
    /// ended meanwhile: the request should enter again and start a new one).
    using TResume = std::function<void(std::shared_ptr<TSessionState>)>;

    CSessionStore(TClock clock, TRandom random, LONG defaultTimeoutMinutes);

    /// "ASPSESSIONID" and eight capital letters, the same for the store's life.
    const std::string& CookieName() const noexcept { return cookieName_; }

    /// The session of a request whose cookie carries key (empty when it has none). True when
    /// the caller holds the session's turn now (session set: a kept session, or a new one);
    /// false when another request holds it: resume is then called, on the thread that passes
    /// the turn, once it is the caller's.
    bool Enter(std::string_view key, TResume resume, std::shared_ptr<TSessionState>& session);

    /// Keeps session for later requests (a page stored a value in it). Abandoned ones are not.
    void Fix(const TSessionState& session);

    /// Ends the caller's turn. Returns what to call next (the resume of the request whose turn
    /// it now is), or an empty function. An abandoned session ends here, and every request that
    /// waited for it is resumed with null.
    std::function<void()> Leave(const std::shared_ptr<TSessionState>& session);

    /// Sessions kept now (for tests).
    std::size_t KeptCount();

private:
    struct TEntry {
        std::shared_ptr<TSessionState> session;
        bool kept = false;
        bool busy = false;
        std::uint64_t leftAt = 0;
        std::deque<TResume> waiting;
    };

    std::string RandomLetters(std::size_t count);
    void DropExpiredLocked(std::uint64_t now);

    const TClock clock_;
    const TRandom random_;
    const LONG defaultTimeout_;
    std::string cookieName_;
    std::mutex lock_;
    std::map<std::string, TEntry, std::less<>> entries_; // by key; entries not kept live only while busy
    LONG nextId_;
    std::uint64_t lastSweep_ = 0;
};

/// The value of the cookie called name in a Cookie header ("a=1; NAME=VALUE"), or "" when it
/// has none; the name is compared without regard to ASCII case. Only a well-formed key (24
/// capital letters) is returned.
std::string SessionKeyOfCookies(std::string_view cookieHeader, std::string_view name);

} // namespace aspserve
