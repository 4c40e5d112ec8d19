#pragma once
// The only reader of the request body. Works in place on the byte source's buffer and offers the
// lexical operations the multipart driver is built from. Copied bytes go to a receiver as pointers
// into the buffer, run by run, never through a buffer of our own.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "parser/data_source_base.h"

namespace parser {

class CSearchEngine {
public:
    /// A set of byte values: flag i tells whether byte i belongs to the class.
    using TCharTable = std::array<bool, 256>;

    /// Sink of copied bytes. `data` is valid only during the call; `count` may be 0.
    class CReceiver {
    public:
        class EReceiverErrorRecoverable {};
        virtual void Receive(const char* data, std::int32_t count) = 0;

    protected:
        // Receivers are destroyed as their concrete type.
        ~CReceiver() = default;
    };

    explicit CSearchEngine(CDataSourceBase& source);
    CSearchEngine(const CSearchEngine&) = delete;
    CSearchEngine& operator=(const CSearchEngine&) = delete;
    virtual ~CSearchEngine() = default;

    /// True if the current byte equals `ch`; the position does not move.
    bool Peek(char ch) const;
    /// Returns the current byte and advances past it (which may read the next chunk).
    char ReadByte();
    /// Tests for `literal` at the current byte. On success the position is on the literal's last
    /// byte; on failure it is back on the starting byte (possibly moved to a new index).
    bool Match(const char* literal, std::int32_t length);
    /// Moves to the last byte of the first occurrence of `literal` (length >= 2).
    void SkipPast(const char* literal, std::int32_t length);
    /// Hands every byte before the first occurrence of `literal` (length >= 2) to `receiver` and
    /// leaves the position on the literal's last byte.
    void ReadUntil(CReceiver& receiver, const char* literal, std::int32_t length);
    /// Hands the run of bytes in `table` to `receiver`; stops on the first byte outside it.
    void ReadWhile(CReceiver& receiver, const TCharTable& table);
    /// Hands the bytes before the next `ch` to `receiver`; stops on that byte.
    void ReadUntilByte(CReceiver& receiver, char ch);
    /// Reads the body to its end and discards it.
    void Drain();

    /// Largest literal length that Match and ReadUntil accept: a partial match must fit in the
    /// buffer with room for at least one new byte.
    std::int32_t MaxKeptLiteralLength() const;

private:
    template <typename Body>
    void Translated(Body&& body);
    void CheckNotExhausted() const;
    void Advance();
    void HandOver(CReceiver& receiver, std::uint32_t from, std::uint32_t to);
    const std::vector<std::int32_t>& PrefixTable(const char* literal, std::int32_t length);
    bool Scan(std::uint32_t& p, std::uint32_t e, std::int32_t& q, const unsigned char* literal, std::int32_t length,
              const std::vector<std::int32_t>& table) const;

    CDataSourceBase& source_;
    const unsigned char* const buffer_;
    std::uint32_t& position_;
    std::uint32_t& end_;

    // Failure table of the last literal searched for (the delimiter, nearly always).
    std::string cachedLiteral_;
    std::vector<std::int32_t> prefixTable_;
};

} // namespace parser
