#pragma once
// The plain receivers of the search engine: collect bytes into a string, count them, drop them.

#include <cstdint>
#include <string>

#include "parser/search_engine.h"

namespace parser {

/// Collects the received bytes into a narrow string.
class CStrReceiver : public CSearchEngine::CReceiver {
public:
    /// Appends the bytes; a null pointer raises EReceiverErrorRecoverable.
    void Receive(const char* data, std::int32_t count) override;
    /// Forgets everything received so far.
    void Clear() { text_.clear(); }
    /// A copy of the bytes received since the last Clear.
    std::string Str() const { return text_; }

private:
    std::string text_;
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

}  // namespace parser
