// ServeConnection: the life of one accepted connection, on its own thread. Requests are read with
// an HTTP/1.1 parser fed from the socket, answered one after another while the client keeps the
// connection alive: .asp pages run through RunAspPage in this thread's single-threaded apartment,
// other files are sent with their content type. Refused: a malformed head (400), a chunked body
// (411: pages need the body's length before it arrives), a body above the limit (413, before
// any of it is read), a path that leaves the site (400) or that is not there (404). Each request
// writes one line to standard error: method, path, status, body bytes sent, milliseconds.
//
//   TServerSettings settings{root, 8080, 64 * 1024 * 1024};
//   std::thread([s = accepted, &settings] { aspserve::ServeConnection(s, "127.0.0.1", settings); }).detach();
#pragma once

#include "platform/win.h"

#include <winsock2.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace aspserve {

struct TServerSettings {
    std::filesystem::path root; ///< the served folder
    std::string bindAddress;    ///< e.g. "127.0.0.1"
    unsigned short port = 8080;
    std::uint64_t maxRequestBytes = 0; ///< larger bodies get 413
};

/// Serves the connection until the client closes it or a response closes it, then closes it.
void ServeConnection(SOCKET socket, const std::string& remoteAddress, const TServerSettings& settings);

} // namespace aspserve
