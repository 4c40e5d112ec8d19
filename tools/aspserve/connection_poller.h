// CConnectionPoller: the one thread that accepts connections and waits on every connection that
// is between requests, so that a client slow to send its head costs no request thread. It reads
// heads as they arrive and hands each complete one to the request threads; the connection comes
// back (Return) when its request is answered. Deadlines, from the server's settings:
// - a request head must be complete within --head-timeout of its first byte (of the connection's
//   start, for the first request): otherwise 408 and the connection closes (quietly, when not a
//   byte of the head came);
// - a kept-alive connection may wait --idle-timeout for its next request, then it closes;
// - a malformed head is answered 400 (414, 431 for one too long) and the connection closes.
// A connection that closes after an answer is drained first (for a second at most), so that the
// client reads the answer rather than a reset. At most --max-connections are open at once; more
// wait in the listen queue.
//
//   aspserve::CConnectionPoller poller(listener, settings, [&](auto c) { workers.Submit(c); });
//   std::thread([&] { poller.Run(); }).detach();
//   poller.Return(connection, /*keepOpen=*/true);            // from a request thread
#pragma once

#include "platform/win.h"

#include <winsock2.h>

#include "tools/aspserve/http_connection.h"
#include "tools/aspserve/server_options.h"

#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace aspserve {

class CConnectionPoller {
public:
    using TSubmit = std::function<void(std::shared_ptr<CHttpConnection>)>;

    /// listener: a listening socket; submit hands a connection with a complete head on.
    CConnectionPoller(SOCKET listener, const TServerSettings& settings, TSubmit submit);
    ~CConnectionPoller();
    CConnectionPoller(const CConnectionPoller&) = delete;
    CConnectionPoller& operator=(const CConnectionPoller&) = delete;

    /// Serves the listener and the waiting connections; does not return.
    void Run();

    /// Takes back a connection whose request was answered: it waits for its next request, or
    /// (keepOpen false) it is drained and closed. Any thread.
    void Return(std::shared_ptr<CHttpConnection> connection, bool keepOpen);

private:
    /// What becomes of a waiting connection after a step.
    enum class TFate { Keep, Close, HandOn };

    void Adopt(std::shared_ptr<CHttpConnection> connection, bool keepOpen, std::uint64_t now);
    void Accept(std::uint64_t now);
    TFate Read(CHttpConnection& connection, std::uint64_t now);
    TFate Parse(CHttpConnection& connection, std::uint64_t now);
    TFate Expire(CHttpConnection& connection, std::uint64_t now);
    /// Closes the connection or hands it to the request threads as fate says (leaving it null),
    /// or leaves it where it is.
    void Settle(std::shared_ptr<CHttpConnection>& connection, TFate fate);
    void AnswerAndClose(CHttpConnection& connection, const std::string& status, const std::string& problem,
                        std::uint64_t now);
    void StartDraining(CHttpConnection& connection, std::uint64_t now);

    const SOCKET listener_;
    const TServerSettings& settings_;
    const TSubmit submit_;
    SOCKET wake_ = INVALID_SOCKET; // a loopback datagram socket: Return sends it a byte
    sockaddr_in wakeAddress_ = {};
    std::vector<std::shared_ptr<CHttpConnection>> waiting_;
    std::size_t open_ = 0; // connections accepted and not yet closed, wherever they are

    std::mutex inboxLock_;
    std::vector<std::pair<std::shared_ptr<CHttpConnection>, bool>> inbox_;
};

} // namespace aspserve
