// http_sink.exe PORT: the benchmark's reference server. Accepts one connection at a time on
// 127.0.0.1:PORT, reads each request's head with the same parser aspserve uses and its body with
// the same socket reads, drops the body, and answers 200 with an empty body. It does nothing a
// page does, so the time curl takes to send it a body is what the transport alone costs.
#include "platform/win.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <boost/beast/core/error.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>

#include "tools/aspserve/socket_stream.h"

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace http = boost::beast::http;

namespace {

// Serves requests on one connection until it closes.
void Serve(SOCKET socket)
{
    aspserve::CSocketStream stream(socket);
    std::string buffer(1 << 20, '\0');
    while (true) {
        http::request_parser<http::empty_body> parser;
        parser.body_limit(std::numeric_limits<std::uint64_t>::max());
        while (!parser.is_header_done()) {
            if (stream.Pending().empty() && !stream.Fill())
                return;
            boost::beast::error_code error;
            const std::size_t used =
                parser.put(boost::asio::buffer(stream.Pending().data(), stream.Pending().size()), error);
            stream.Pending().erase(0, used);
            if (error == http::error::need_more) {
                if (!stream.Fill())
                    return;
            } else if (error) {
                return;
            }
        }
        const auto expect = parser.get().find(http::field::expect);
        if (expect != parser.get().end())
            stream.SendAll("HTTP/1.1 100 Continue\r\n\r\n");
        std::uint64_t left = parser.content_length().value_or(0);
        while (left > 0) {
            const std::size_t got =
                stream.Read(buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size())));
            if (got == 0)
                return;
            left -= got;
        }
        stream.SendAll("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: http_sink.exe PORT\n");
        return 2;
    }
    WSADATA wsa;
    ::WSAStartup(MAKEWORD(2, 2), &wsa);
    const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(static_cast<u_short>(std::atoi(argv[1])));
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 8) != 0) {
        std::fprintf(stderr, "http_sink: cannot listen on port %s\n", argv[1]);
        return 1;
    }
    while (true) {
        const SOCKET accepted = ::accept(listener, nullptr, nullptr);
        if (accepted != INVALID_SOCKET)
            Serve(accepted);
    }
}
