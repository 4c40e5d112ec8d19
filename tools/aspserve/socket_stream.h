// CSocketStream: one accepted connection — the socket (made non-blocking, closed on destruction),
// the bytes read from it but not yet used, and sends. Two kinds of thread use it, one at a time:
// - the thread that serves a request (Fill, Read, SendAll) waits for the client, serving its
//   window messages meanwhile as a single-threaded apartment must, but only as long as the
//   transfer pace allows (TTransferLimits): a client that stalls or trickles makes the read or
//   send fail, and the stream is then broken and TooSlow;
// - the connection poller (ReadAvailable, SendNow) never waits.
// Reads and sends never throw; a failure marks the stream broken.
//
//   aspserve::CSocketStream stream(accepted, {30000, 240});
//   while (stream.Pending().empty() && stream.Fill()) { ... }
//   stream.SendAll("HTTP/1.1 100 Continue\r\n\r\n");
#pragma once

#include "platform/win.h"
#include "tools/aspserve/transfer_pace.h"

#include <winsock2.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace aspserve {

/// How slow a client may be while a request's body or response moves (see TTransferPace).
struct TTransferLimits {
    std::uint64_t stallMs = std::uint64_t{1} << 40; ///< the longest single wait (by default, none to speak of)
    std::uint64_t minBytesPerSecond = 0;            ///< 0: no minimum
};

/// How a wait for a socket ended.
enum class TWaitResult { Ready, TimedOut, Failed };

/// Waits at most timeoutMs until socket can be read (or written, with forWrite), serving the
/// calling thread's window messages meanwhile.
TWaitResult WaitServingMessages(SOCKET socket, bool forWrite, std::uint64_t timeoutMs) noexcept;

class CSocketStream {
public:
    CSocketStream(SOCKET socket, TTransferLimits limits = {}) noexcept;
    ~CSocketStream();
    CSocketStream(const CSocketStream&) = delete;
    CSocketStream& operator=(const CSocketStream&) = delete;

    SOCKET Socket() const noexcept { return socket_; }

    /// Starts the pace of a new request's body and of its response.
    void StartRequest() noexcept;

    /// Waits for what the socket has (at least one byte) and appends it to Pending(); false at
    /// the end of the stream, on an error, or when the client was too slow.
    bool Fill();

    /// Copies up to wanted bytes into buffer from Pending(), filling it first when it is empty;
    /// 0 at the end of the stream, on an error or when the client was too slow.
    std::size_t Read(char* buffer, std::size_t wanted);

    /// Sends all of bytes, waiting while the client reads; false when the peer is gone or too slow.
    bool SendAll(std::string_view bytes);

    enum class TPoll { Data, Nothing, Ended };
    /// Appends what has arrived (up to 64 KiB) to Pending() without waiting: Data when something
    /// came, Nothing when nothing had, Ended at the end of the stream or on an error.
    TPoll ReadAvailable();

    /// Sends what the socket takes now, without waiting; true when all of bytes went.
    bool SendNow(std::string_view bytes) noexcept;

    /// False once the client has closed the connection or it failed; does not wait and leaves
    /// the bytes that wait to be read where they are.
    bool PeerConnected() noexcept;

    /// Bytes read but not yet used.
    std::string& Pending()
    {
        pending_.erase(0, consumed_);
        consumed_ = 0;
        return pending_;
    }

    /// Gives back the memory of large reads while the connection only waits.
    void Trim();

    /// Stops sending (the peer sees the end of the response) before the socket closes.
    void ShutdownSend() noexcept;

    /// True when the connection cannot carry another request: it failed, or reading it ended
    /// (the client stopped sending, or was too slow). An answer may still be sent unless it failed.
    bool Broken() const noexcept { return broken_ || readEnded_; }
    /// True when a wait for the client failed because it was too slow.
    bool TooSlow() const noexcept { return tooSlow_; }

private:
    static constexpr std::size_t kReadSize = 256 * 1024;

    SOCKET socket_;
    const TTransferLimits limits_;
    TTransferPace readPace_;
    TTransferPace sendPace_;
    std::string pending_;
    std::size_t consumed_ = 0; // bytes at the front of pending_ that Read already handed out
    bool broken_ = false;      // the socket failed: nothing more can be read or sent
    bool readEnded_ = false;   // nothing more will be read
    bool ended_ = false;       // the client ended its side of the connection
    bool tooSlow_ = false;
};

} // namespace aspserve
