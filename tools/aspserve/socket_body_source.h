// CSocketBodySource: a request body of known length read from the connection as BinaryRead asks:
// exactly the count asked, or what is left of the body when that is less. A client that goes away
// before the end, or sends too slowly for the stream's pace (--body-timeout, --min-body-rate), makes
// Read fail with E_FAIL, which the Upload object turns into a failed Save.
//
//   auto body = std::make_unique<aspserve::CSocketBodySource>(stream, contentLength);
//   auto request = host::CRequest::Create(head, std::move(body));
#pragma once

#include "host/body_source.h"
#include "tools/aspserve/socket_stream.h"

#include <memory>

namespace aspserve {

class CSocketBodySource final : public host::CBodySource {
public:
    /// Remaining is shared with the connection, which reads it after the page to know whether
    /// the body was left unread.
    CSocketBodySource(CSocketStream& stream, std::shared_ptr<ULONGLONG> remaining) noexcept
        : stream_(stream), remaining_(std::move(remaining))
    {}

    HRESULT Read(BYTE* buffer, ULONG wanted, ULONG* delivered) override;
    ULONGLONG Available() const noexcept override { return *remaining_; }

private:
    CSocketStream& stream_;
    std::shared_ptr<ULONGLONG> remaining_;
};

} // namespace aspserve
