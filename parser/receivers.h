#pragma once
// The plain receivers of the search engine: collect bytes into a string, count them, drop them.

#include <cstdint>
#include <string>

#include "parser/search_engine.h"

namespace parser {

/// Collects the received bytes into a narrow string, up to kMaxLength bytes: header names, values
/// and parameters are never that long, and a hostile body must not make one hold the whole body.
class CStrReceiver : public CSearchEngine::CReceiver {
public:
    static constexpr std::size_t kMaxLength = 1 << 20;

    /// Appends the bytes (those beyond kMaxLength are dropped and mark the text as overflowed);
    /// a null pointer raises EReceiverErrorRecoverable.
    void Receive(const char* data, std::int32_t count) override;
    /// Forgets everything received so far.
    void Clear()
    {
        text_.clear();
        overflowed_ = false;
    }
    /// A copy of the bytes received since the last Clear.
    std::string Str() const { return text_; }
    /// True when more than kMaxLength bytes came since the last Clear.
    bool Overflowed() const { return overflowed_; }

private:
    std::string text_;
    bool overflowed_ = false;
};

/// Counts the received bytes without looking at them.
class CCounterReceiver : public CSearchEngine::CReceiver {
public:
    void Receive(const char* data, std::int32_t count) override;
    /// Running total; the user sets it to 0 before use.
    std::int32_t total = 0;
};

/// Drops whatever it receives.
class CFictReceiver : public CSearchEngine::CReceiver {
public:
    void Receive(const char* data, std::int32_t count) override;
};

} // namespace parser
