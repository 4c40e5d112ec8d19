#include "tools/aspserve/session_store.h"

#include "com/ascii_case.h"

#include <algorithm>

namespace aspserve {

namespace {

constexpr std::size_t kKeyLength = 24;
constexpr std::uint64_t kSweepEveryMs = 10000;

bool IsKey(std::string_view text) noexcept
{
    return text.size() == kKeyLength &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

std::string_view Trimmed(std::string_view text) noexcept
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

CSessionStore::CSessionStore(TClock clock, TRandom random, LONG defaultTimeoutMinutes)
    : clock_(std::move(clock)), random_(std::move(random)), defaultTimeout_(defaultTimeoutMinutes)
{
    cookieName_ = "ASPSESSIONID" + RandomLetters(8);
    unsigned char start[4];
    random_(start, sizeof start);
    const std::uint32_t value = (std::uint32_t{start[0]} << 24) | (std::uint32_t{start[1]} << 16) |
                                (std::uint32_t{start[2]} << 8) | std::uint32_t{start[3]};
    nextId_ = static_cast<LONG>(100000000 + value % 800000000);
}

std::string CSessionStore::RandomLetters(std::size_t count)
{
    std::string letters;
    unsigned char bytes[32];
    while (letters.size() < count) {
        random_(bytes, sizeof bytes);
        for (unsigned char b : bytes) {
            // 234 = 9 * 26: taking only bytes below it keeps every letter equally likely.
            if (b < 234 && letters.size() < count)
                letters += static_cast<char>('A' + b % 26);
        }
    }
    return letters;
}

void CSessionStore::DropExpiredLocked(std::uint64_t now)
{
    for (auto it = entries_.begin(); it != entries_.end();) {
        const TEntry& e = it->second;
        const std::uint64_t limit = static_cast<std::uint64_t>(e.session->timeout.load()) * 60000;
        if (e.kept && !e.busy && e.waiting.empty() && now - e.leftAt >= limit)
            it = entries_.erase(it);
        else
            ++it;
    }
}

bool CSessionStore::Enter(std::string_view key, TResume resume, std::shared_ptr<TSessionState>& session)
{
    std::lock_guard<std::mutex> guard(lock_);
    const std::uint64_t now = clock_();
    if (now - lastSweep_ >= kSweepEveryMs) {
        DropExpiredLocked(now);
        lastSweep_ = now;
    }
    if (const auto found = entries_.find(key); found != entries_.end() && found->second.kept) {
        TEntry& e = found->second;
        const std::uint64_t limit = static_cast<std::uint64_t>(e.session->timeout.load()) * 60000;
        const bool expired = !e.busy && e.waiting.empty() && now - e.leftAt >= limit;
        if (!expired) {
            if (e.busy) {
                e.waiting.push_back(std::move(resume));
                return false;
            }
            e.busy = true;
            session = e.session;
            return true;
        }
        entries_.erase(found);
    }
    std::string fresh;
    do
        fresh = RandomLetters(kKeyLength);
    while (entries_.count(fresh));
    session = std::make_shared<TSessionState>(nextId_, fresh, defaultTimeout_);
    nextId_ = nextId_ >= 999999999 ? 100000000 : nextId_ + 1;
    TEntry& e = entries_[fresh];
    e.session = session;
    e.busy = true;
    return true;
}

void CSessionStore::Fix(const TSessionState& session)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (const auto found = entries_.find(session.key); found != entries_.end() && !session.abandoned)
        found->second.kept = true;
}

std::function<void()> CSessionStore::Leave(const std::shared_ptr<TSessionState>& session)
{
    std::lock_guard<std::mutex> guard(lock_);
    const auto found = entries_.find(session->key);
    if (found == entries_.end() || found->second.session != session)
        return {};
    TEntry& e = found->second;
    if (session->abandoned || !e.kept) {
        std::deque<TResume> waiting = std::move(e.waiting);
        entries_.erase(found);
        if (waiting.empty())
            return {};
        return [waiting = std::move(waiting)] {
            for (const TResume& resume : waiting)
                resume(nullptr);
        };
    }
    e.leftAt = clock_();
    if (e.waiting.empty()) {
        e.busy = false;
        return {};
    }
    TResume next = std::move(e.waiting.front());
    e.waiting.pop_front();
    return [next = std::move(next), session] { next(session); };
}

std::size_t CSessionStore::KeptCount()
{
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const auto& entry) { return entry.second.kept; }));
}

std::string SessionKeyOfCookies(std::string_view cookieHeader, std::string_view name)
{
    while (!cookieHeader.empty()) {
        // Cookies are separated by ';' (and by ',' where several Cookie fields were joined).
        const std::size_t end = cookieHeader.find_first_of(";,");
        const std::string_view pair = cookieHeader.substr(0, end);
        cookieHeader = end == std::string_view::npos ? std::string_view() : cookieHeader.substr(end + 1);
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos)
            continue;
        if (com::EqualsIgnoringAsciiCase(Trimmed(pair.substr(0, equals)), name)) {
            const std::string_view value = Trimmed(pair.substr(equals + 1));
            if (IsKey(value))
                return std::string(value);
        }
    }
    return {};
}

} // namespace aspserve
