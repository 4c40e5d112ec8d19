#include "parser/search_engine.h"

#include <algorithm>
#include <cstring>

namespace parser {

namespace {
using ENoMoreData = CDataSourceBase::ENoMoreData;
using EInternalError = CDataSourceBase::EInternalError;
using EInternalErrorRecoverable = CDataSourceBase::EInternalErrorRecoverable;
} // namespace

CSearchEngine::CSearchEngine(CDataSourceBase& source)
    : source_(source), buffer_(source.buffer), position_(source.position), end_(source.end)
{}

// Lets the end of input and the caller-recoverable class (with the cancellation) through and
// turns everything else, receivers' own exceptions included, into EInternalError.
template <typename Body>
void CSearchEngine::Translated(Body&& body)
{
    try {
        body();
    } catch (const ENoMoreData&) {
        throw;
    } catch (const EInternalErrorRecoverable&) {
        throw;
    } catch (...) {
        throw EInternalError();
    }
}

void CSearchEngine::CheckNotExhausted() const
{
    if (end_ == 0)
        throw ENoMoreData();
}

void CSearchEngine::Advance()
{
    if (++position_ == end_)
        source_.ReadChunk();
}

void CSearchEngine::HandOver(CReceiver& receiver, std::uint32_t from, std::uint32_t to)
{
    receiver.Receive(reinterpret_cast<const char*>(buffer_ + from), static_cast<std::int32_t>(to - from));
}

std::int32_t CSearchEngine::MaxKeptLiteralLength() const
{
    return source_.capacity - 1;
}

// Knuth-Morris-Pratt failure function: entry i is the length of the longest proper prefix of
// literal[0..i] that is also a suffix of it.
const std::vector<std::int32_t>& CSearchEngine::PrefixTable(const char* literal, std::int32_t length)
{
    const auto n = static_cast<std::size_t>(length);
    if (cachedLiteral_.size() == n && std::memcmp(cachedLiteral_.data(), literal, n) == 0)
        return prefixTable_;
    cachedLiteral_.assign(literal, n);
    prefixTable_.assign(n, 0);
    std::int32_t k = 0;
    for (std::size_t i = 1; i < n; ++i) {
        while (k > 0 && literal[i] != literal[k])
            k = prefixTable_[k - 1];
        if (literal[i] == literal[k])
            ++k;
        prefixTable_[i] = k;
    }
    return prefixTable_;
}

namespace {

// Number of leading bytes that a and b have in common, at most n; compares a word at a time.
std::uint32_t CommonPrefix(const unsigned char* a, const unsigned char* b, std::uint32_t n)
{
    std::uint32_t k = 0;
    while (n - k >= 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a + k, 8);
        std::memcpy(&y, b + k, 8);
        if (x != y)
            break;
        k += 8;
    }
    while (k < n && a[k] == b[k])
        ++k;
    return k;
}

} // namespace

// Runs the matcher over buffer[p, e), starting with q literal bytes already matched. Returns true
// with p on the literal's last byte at the first occurrence that ends there; otherwise p == e and
// q is the length of the longest buffer suffix that begins the literal.
bool CSearchEngine::Scan(std::uint32_t& p, std::uint32_t e, std::int32_t& q, const unsigned char* literal,
                         std::int32_t length, const std::vector<std::int32_t>& table) const
{
    const auto n = static_cast<std::uint32_t>(length);
    while (p < e) {
        if (q == 0) {
            const void* hit = std::memchr(buffer_ + p, literal[0], e - p);
            if (hit == nullptr) {
                p = e;
                return false;
            }
            p = static_cast<std::uint32_t>(static_cast<const unsigned char*>(hit) - buffer_);
        }
        // Extend the partial match as far as the buffer allows.
        const auto matched = static_cast<std::uint32_t>(q);
        const std::uint32_t k = CommonPrefix(buffer_ + p, literal + matched, std::min(n - matched, e - p));
        q += static_cast<std::int32_t>(k);
        p += k;
        if (static_cast<std::uint32_t>(q) == n) {
            p -= 1;
            return true;
        }
        if (p == e)
            return false;
        // Mismatch at p: fall back along the borders of the matched part.
        const unsigned char c = buffer_[p];
        while (q > 0 && c != literal[q])
            q = table[q - 1];
        if (c == literal[q] && static_cast<std::uint32_t>(++q) == n)
            return true;
        ++p;
    }
    return false;
}

bool CSearchEngine::Peek(char ch) const
{
    CheckNotExhausted();
    return buffer_[position_] == static_cast<unsigned char>(ch);
}

char CSearchEngine::ReadByte()
{
    CheckNotExhausted();
    const char ch = static_cast<char>(buffer_[position_]);
    Advance();
    return ch;
}

bool CSearchEngine::Match(const char* literal, std::int32_t length)
{
    if (literal == nullptr || length < 1 || length > MaxKeptLiteralLength())
        throw EInternalErrorRecoverable();
    bool matched = false;
    Translated([&] {
        CheckNotExhausted();
        const auto* lit = reinterpret_cast<const unsigned char*>(literal);
        std::int32_t start = static_cast<std::int32_t>(position_);
        std::int32_t i = 0;
        for (;;) {
            if (buffer_[position_] != lit[i]) {
                position_ = static_cast<std::uint32_t>(start);
                return;
            }
            if (++i == length) {
                matched = true;
                return;
            }
            if (++position_ == end_) {
                // Keep the partly matched bytes and read more behind them.
                std::int32_t shift = 0;
                const bool more = source_.Refill(position_ - static_cast<std::uint32_t>(start), shift);
                start += shift;
                if (!more) {
                    position_ = static_cast<std::uint32_t>(start);
                    return;
                }
            }
        }
    });
    return matched;
}

// Equivalent to scanning byte by byte with the streaming matcher that re-tests the longest
// border after a mismatch: the position ends on the last byte of the first occurrence, and every
// chunk boundary crossed on the way replaces the buffer with ReadChunk.
void CSearchEngine::SkipPast(const char* literal, std::int32_t length)
{
    if (literal == nullptr || length < 2)
        throw EInternalErrorRecoverable();
    Translated([&] {
        CheckNotExhausted();
        const auto& table = PrefixTable(literal, length);
        const auto* lit = reinterpret_cast<const unsigned char*>(literal);
        std::int32_t q = 0;
        for (;;) {
            std::uint32_t p = position_;
            const std::uint32_t e = end_;
            if (Scan(p, e, q, lit, length, table)) {
                position_ = p;
                return;
            }
            position_ = e;
            source_.ReadChunk();
        }
    });
}

// Same results as the search that restarts one byte after every false start, keeping a partial
// match at the end of the buffer with Refill: when the scan reaches the end of the buffer, the
// automaton's state is the length of the longest buffer suffix that begins the literal, which is
// exactly the earliest candidate that search would still hold.
void CSearchEngine::ReadUntil(CReceiver& receiver, const char* literal, std::int32_t length)
{
    if (literal == nullptr || length < 2 || length > MaxKeptLiteralLength())
        throw EInternalErrorRecoverable();
    Translated([&] {
        CheckNotExhausted();
        const auto& table = PrefixTable(literal, length);
        const auto* lit = reinterpret_cast<const unsigned char*>(literal);
        std::uint32_t from = position_; // first byte not yet handed over
        std::int32_t q = 0;             // literal bytes matched right before p
        for (;;) {
            std::uint32_t p = position_;
            const std::uint32_t e = end_;
            if (Scan(p, e, q, lit, length, table)) {
                HandOver(receiver, from, p + 1 - static_cast<std::uint32_t>(length));
                position_ = p;
                return;
            }
            position_ = e;
            if (q == 0) {
                HandOver(receiver, from, e);
                source_.ReadChunk();
                from = 0;
                continue;
            }
            const std::uint32_t candidate = e - static_cast<std::uint32_t>(q);
            HandOver(receiver, from, candidate);
            std::int32_t shift = 0;
            const bool more = source_.Refill(static_cast<std::uint32_t>(q), shift);
            from = static_cast<std::uint32_t>(static_cast<std::int32_t>(candidate) + shift);
            if (!more) {
                // The body ended inside a partial match: those bytes are content too.
                HandOver(receiver, from, end_);
                source_.ReadChunk();
                from = 0;
                q = 0;
            }
        }
    });
}

void CSearchEngine::ReadWhile(CReceiver& receiver, const TCharTable& table)
{
    Translated([&] {
        CheckNotExhausted();
        std::uint32_t from = position_;
        for (;;) {
            std::uint32_t p = position_;
            const std::uint32_t e = end_;
            while (p < e && table[buffer_[p]])
                ++p;
            if (p < e) {
                position_ = p;
                HandOver(receiver, from, p);
                return;
            }
            position_ = e;
            HandOver(receiver, from, e);
            source_.ReadChunk();
            from = 0;
        }
    });
}

void CSearchEngine::ReadUntilByte(CReceiver& receiver, char ch)
{
    Translated([&] {
        CheckNotExhausted();
        std::uint32_t from = position_;
        for (;;) {
            const std::uint32_t p = position_;
            const std::uint32_t e = end_;
            const void* hit = std::memchr(buffer_ + p, static_cast<unsigned char>(ch), e - p);
            if (hit != nullptr) {
                position_ = static_cast<std::uint32_t>(static_cast<const unsigned char*>(hit) - buffer_);
                HandOver(receiver, from, position_);
                return;
            }
            position_ = e;
            HandOver(receiver, from, e);
            source_.ReadChunk();
            from = 0;
        }
    });
}

void CSearchEngine::Drain()
{
    if (end_ == 0)
        return;
    try {
        for (;;)
            source_.ReadChunk();
    } catch (const ENoMoreData&) {
        return;
    } catch (const EInternalErrorRecoverable&) {
        throw;
    } catch (...) {
        throw EInternalError();
    }
}

} // namespace parser
