// CResponseChannel: where an HTTP Response sends what a page produced — the status line and
// header fields once, then body bytes. A server implements it over its connection.
//
//   class CSocketChannel : public host::CResponseChannel { ... };
//   auto response = host::CResponse::CreateHttp(channel, ::GetACP());
//   ... the page runs ...
//   response->Finish();            // sends what is still buffered and ends the body
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace host {

using THttpHeaderList = std::vector<std::pair<std::string, std::string>>;

class CResponseChannel {
public:
    virtual ~CResponseChannel() = default;

    /// Sends the status ("200 OK") and headers. contentLength is the whole body's length when it
    /// is known now; without it the body is sent in pieces until EndBody. Called once, first.
    virtual void SendHead(const std::string& status, const THttpHeaderList& headers,
                          std::optional<std::size_t> contentLength) = 0;
    /// Sends body bytes (never empty).
    virtual void SendBody(std::string_view bytes) = 0;
    /// Ends the body; called once, last.
    virtual void EndBody() = 0;
    /// False once the client can no longer be reached.
    virtual bool Connected() const = 0;
};

} // namespace host
