#pragma once
// An in-memory byte source that hands out the body the way the request stream does: each read
// asks for the free room of the buffer and gets at most that, cut further by a delivery plan
// (so a test can split the body anywhere). Records every read for comparisons.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "parser/data_source_base.h"

namespace parser_test {

class CChunkedSource : public parser::CDataSourceBase {
public:
    struct TRead {
        std::uint32_t keep; // bytes kept by Refill; 0 for ReadChunk
        bool refill;
        std::uint32_t delivered;
        bool operator==(const TRead&) const = default;
    };

    /// `plan` gives the largest size of each successive read (cycled); empty means no limit
    /// beyond the buffer. `cancelAtRead` makes the n-th successful read (1-based) report a
    /// cancellation after storing its bytes; 0 never does.
    /// `failAtRead` makes the n-th read attempt (1-based) fail as a broken underlying read would.
    explicit CChunkedSource(std::string body, std::vector<std::uint32_t> plan = {}, int cancelAtRead = 0,
                            int failAtRead = 0)
        : body_(std::move(body)), plan_(std::move(plan)), cancelAtRead_(cancelAtRead), failAtRead_(failAtRead)
    {
        capacity = kBufferSize;
        try {
            ReadChunk();
        } catch (const ENoMoreData&) {
        }
    }

    void ReadChunk() override
    {
        try {
            const std::uint32_t n = Fetch(0);
            end = n;
            position = 0;
            reads.push_back({0, false, n});
            if (n == 0)
                throw ENoMoreData();
            Report(n);
        } catch (const EUserCancelledUpload&) {
            throw;
        } catch (...) {
            end = 0;
            throw;
        }
    }

    bool Refill(std::uint32_t keep, std::int32_t& shift) override
    {
        if (keep == 0) {
            shift = -static_cast<std::int32_t>(end);
            ReadChunk();
            return true;
        }
        try {
            std::memmove(buffer, buffer + end - keep, keep);
            const std::uint32_t n = Fetch(keep);
            shift = static_cast<std::int32_t>(keep) - static_cast<std::int32_t>(end);
            end = keep + n;
            reads.push_back({keep, true, n});
            if (n == 0) {
                position = keep - 1;
                return false;
            }
            position = keep;
            Report(n);
            return true;
        } catch (const EUserCancelledUpload&) {
            throw;
        } catch (...) {
            end = 0;
            throw;
        }
    }

    /// Absolute offset in the body of buffer index 0.
    std::size_t BufferOffset() const { return offset_ - end; }

    std::vector<TRead> reads;
    std::int64_t reported = 0;
    int successfulReads = 0;

private:
    std::uint32_t Fetch(std::uint32_t at)
    {
        if (++attempts_ == failAtRead_)
            throw EInternalError();
        std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(capacity) - at, body_.size() - offset_);
        if (!plan_.empty())
            n = std::min<std::size_t>(n, plan_[planIndex_++ % plan_.size()]);
        std::memcpy(buffer + at, body_.data() + offset_, n);
        offset_ += n;
        return static_cast<std::uint32_t>(n);
    }

    void Report(std::uint32_t n)
    {
        reported += n;
        if (++successfulReads == cancelAtRead_)
            throw EUserCancelledUpload();
    }

    std::string body_;
    std::vector<std::uint32_t> plan_;
    std::size_t planIndex_ = 0;
    std::size_t offset_ = 0;
    int cancelAtRead_;
    int failAtRead_;
    int attempts_ = 0;
};

} // namespace parser_test
