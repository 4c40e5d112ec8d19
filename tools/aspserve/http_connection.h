// CHttpConnection: one client connection between its requests and while one is served — the
// socket stream, the HTTP/1.1 parser of the request head being read, and what the connection
// poller and the request threads note about it. The poller feeds arriving bytes to ParseHead;
// once the head is complete a request thread answers it (AnswerRequest), and the connection
// goes back to the poller for the next head or to be closed.
//
//   auto connection = std::make_shared<aspserve::CHttpConnection>(accepted, "127.0.0.1", limits);
//   connection->StartHead();
//   if (connection->Stream().ReadAvailable() == CSocketStream::TPoll::Data &&
//       connection->ParseHead() == CHttpConnection::THead::Complete) workers.Submit(connection);
#pragma once

#include "platform/win.h"

#include <winsock2.h>

#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>

#include "tools/aspserve/session_store.h"
#include "tools/aspserve/socket_stream.h"

#include <cstdint>
#include <memory>
#include <string>

namespace aspserve {

using TRequestParser = boost::beast::http::request_parser<boost::beast::http::empty_body>;

class CHttpConnection {
public:
    /// The largest request head (request line and header fields) read.
    static constexpr std::size_t kMaxHeadBytes = 64 * 1024;

    CHttpConnection(SOCKET socket, std::string remoteAddress, TTransferLimits limits);

    CSocketStream& Stream() noexcept { return stream_; }
    const std::string& RemoteAddress() const noexcept { return remoteAddress_; }

    /// Begins reading the next request head (a fresh parser).
    void StartHead();

    enum class THead { NeedMore, Complete, Malformed };
    /// Feeds the stream's pending bytes to the parser (leaving those after the head pending).
    THead ParseHead();

    /// True when a byte of the current head has arrived.
    bool HeadStarted() const noexcept { return headStarted_; }

    /// The status a malformed head is answered with: "414 URI Too Long" when the request line
    /// alone passed kMaxHeadBytes, "431 Request Header Fields Too Large" when the fields did,
    /// else "400 Bad Request".
    const char* MalformedStatus() const noexcept;

    /// The parser holding the complete head.
    TRequestParser& Parser() noexcept { return *parser_; }

    // What the poller notes while the connection waits with it.
    enum class TPhase { Idle, Head, Draining };
    TPhase phase = TPhase::Idle;
    std::uint64_t deadline = 0;     ///< GetTickCount64 value at which the phase's time is up
    std::uint64_t drainedBytes = 0; ///< bytes dropped while draining

    // A request that waited for its session's turn: the session it was handed (null when that
    // session ended meanwhile).
    bool resumed = false;
    std::shared_ptr<TSessionState> grantedSession;

private:
    CSocketStream stream_;
    const std::string remoteAddress_;
    std::unique_ptr<TRequestParser> parser_;
    bool headStarted_ = false;
    std::size_t headOffset_ = 0; // bytes of the current head the parser has taken
    bool requestLineEnded_ = false;
    bool tooLarge_ = false;
};

} // namespace aspserve
