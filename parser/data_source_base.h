#pragma once
// The chunked byte source the parser reads the request body from. The source owns one fixed
// buffer; the search engine scans it in place and moves `position` itself.

#include <cstdint>

namespace parser {

class CDataSourceBase {
public:
    static constexpr std::int32_t kBufferSize = 8192;

    /// The body is exhausted (normal end of input).
    class ENoMoreData {};
    /// The source or the search engine failed; the parse cannot go on.
    class EInternalError {};
    /// A caller passed bad arguments to a search-engine operation.
    class EInternalErrorRecoverable {};
    /// The upload was cancelled from outside while it was being read.
    class EUserCancelledUpload : public EInternalErrorRecoverable {};

    CDataSourceBase() = default;
    CDataSourceBase(const CDataSourceBase&) = delete;
    CDataSourceBase& operator=(const CDataSourceBase&) = delete;
    virtual ~CDataSourceBase() = default;

    /// Keeps the last `keep` bytes (moved to the front), appends fresh bytes behind them and sets
    /// `shift` so that an old index i of a kept byte becomes i + shift. Returns false, with
    /// `position` on the last kept byte, when no new byte came. keep 0 replaces the buffer.
    virtual bool Refill(std::uint32_t keep, std::int32_t& shift) = 0;
    /// Replaces the buffer with the next chunk; raises ENoMoreData when nothing came.
    virtual void ReadChunk() = 0;

    /// Largest number of bytes one read may place into the buffer (at most kBufferSize).
    std::int32_t capacity = 0;
    /// The current chunk: buffer[0] to buffer[end - 1].
    unsigned char buffer[kBufferSize];
    /// Index of the next byte to be examined.
    std::uint32_t position = 0;
    /// Number of valid bytes; 0 means no data (empty or exhausted body).
    std::uint32_t end = 0;
};

} // namespace parser
