// CHttpChannel: sends one HTTP/1.1 response over a CSocketStream — the status line and headers
// (with Content-Length when the length is known, else a chunked body), then the body — and
// counts the body bytes for the log line.
//
//   aspserve::CHttpChannel channel(stream, /*keepAlive=*/true, /*headOnly=*/false);
//   channel.SendHead("404 Not Found", {{"Content-Type", "text/html"}}, body.size());
//   channel.SendBody(body);
//   channel.EndBody();
#pragma once

#include "host/response_channel.h"
#include "tools/aspserve/socket_stream.h"

namespace aspserve {

class CHttpChannel final : public host::CResponseChannel {
public:
    /// keepAlive: the connection stays open after this response; headOnly: a HEAD request, whose
    /// body is counted but not sent.
    CHttpChannel(CSocketStream& stream, bool keepAlive, bool headOnly) noexcept
        : stream_(stream), keepAlive_(keepAlive), headOnly_(headOnly)
    {}

    void SendHead(const std::string& status, const host::THttpHeaderList& headers,
                  std::optional<std::size_t> contentLength) override;
    void SendBody(std::string_view bytes) override;
    void EndBody() override;
    /// False once the client has closed the connection (a page's Response.IsClientConnected).
    bool Connected() const override { return stream_.PeerConnected(); }

    /// A whole small response: status, an HTML or text body and its type.
    void SendPage(const std::string& status, std::string_view contentType, std::string_view body);

    bool HeadSent() const noexcept { return headSent_; }
    /// The status sent, e.g. "200 OK" (empty before SendHead).
    const std::string& Status() const noexcept { return status_; }
    std::size_t BodyBytes() const noexcept { return bodyBytes_; }
    /// Asks for the connection to close after this response (before the head is sent).
    void CloseAfterResponse() noexcept { keepAlive_ = false; }
    /// False when this response asked for the connection to close.
    bool KeepAlive() const noexcept { return keepAlive_; }

private:
    CSocketStream& stream_;
    bool keepAlive_;
    const bool headOnly_;
    bool headSent_ = false;
    bool chunked_ = false;
    std::string status_;
    std::size_t bodyBytes_ = 0;
};

} // namespace aspserve
