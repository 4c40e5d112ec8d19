// CMemoryBodySource: a request body held in memory, for tests. It can deliver the body in pieces
// of chosen sizes and fail at a chosen point, to exercise a reader's short-read and error paths.
//
//   auto body = std::make_unique<host::CMemoryBodySource>(bytes);
//   body->SetPieceSizes({1, 7, 4093});       // reads deliver at most 1, 7, 4093, 1, 7, ... bytes
//   body->FailAt(10000, E_ACCESSDENIED);      // reads past byte 10000 fail with E_ACCESSDENIED
#pragma once

#include "host/body_source.h"

#include <string>
#include <vector>

namespace host {

class CMemoryBodySource final : public CBodySource {
public:
    explicit CMemoryBodySource(std::string body);

    /// Successive reads deliver at most these sizes in turn, starting over after the last one.
    /// An empty list (the default) lets every read deliver all it is asked for. Throws
    /// std::invalid_argument for a size of 0, which would read as the end of the body.
    void SetPieceSizes(std::vector<ULONG> sizes);

    /// Once offset bytes have been delivered, every further read fails with failure; a read that
    /// would cross offset stops there first.
    void FailAt(ULONGLONG offset, HRESULT failure) noexcept;

    /// Number of body bytes delivered so far.
    ULONGLONG Delivered() const noexcept { return position_; }

    HRESULT Read(BYTE* buffer, ULONG wanted, ULONG* delivered) override;
    ULONGLONG Available() const noexcept override { return body_.size() - position_; }

private:
    std::string body_;
    std::size_t position_ = 0;
    std::vector<ULONG> pieces_;
    std::size_t nextPiece_ = 0;
    ULONGLONG failAt_ = ~ULONGLONG(0);
    HRESULT failure_ = S_OK;
};

} // namespace host
