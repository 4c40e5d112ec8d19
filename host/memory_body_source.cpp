#include "host/memory_body_source.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace host {

CMemoryBodySource::CMemoryBodySource(std::string body) : body_(std::move(body)) {}

void CMemoryBodySource::SetPieceSizes(std::vector<ULONG> sizes)
{
    if (std::find(sizes.begin(), sizes.end(), ULONG(0)) != sizes.end())
        throw std::invalid_argument("a piece size of 0 would end the body");
    pieces_ = std::move(sizes);
    nextPiece_ = 0;
}

void CMemoryBodySource::FailAt(ULONGLONG offset, HRESULT failure) noexcept
{
    failAt_ = offset;
    failure_ = failure;
}

HRESULT CMemoryBodySource::Read(BYTE* buffer, ULONG wanted, ULONG* delivered)
{
    *delivered = 0;
    if (position_ >= failAt_)
        return failure_;
    ULONGLONG count = std::min<ULONGLONG>(wanted, body_.size() - position_);
    count = std::min<ULONGLONG>(count, failAt_ - position_);
    if (!pieces_.empty() && count > 0) {
        count = std::min<ULONGLONG>(count, pieces_[nextPiece_]);
        nextPiece_ = (nextPiece_ + 1) % pieces_.size();
    }
    if (count > 0)
        std::memcpy(buffer, body_.data() + position_, static_cast<std::size_t>(count));
    position_ += static_cast<std::size_t>(count);
    *delivered = static_cast<ULONG>(count);
    return S_OK;
}

} // namespace host
