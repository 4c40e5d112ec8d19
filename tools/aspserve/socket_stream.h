// CSocketStream: one accepted connection — the socket (closed on destruction), the bytes read
// from it but not yet used, and whole-buffer sends. Reads and sends never throw; a failure marks
// the stream broken. While a read waits for data, the thread's messages are served, as a
// single-threaded apartment must: other apartments reach its objects through them.
//
//   aspserve::CSocketStream stream(accepted);
//   while (stream.Pending().empty() && stream.Fill()) { ... }
//   stream.SendAll("HTTP/1.1 100 Continue\r\n\r\n");
#pragma once

#include "platform/win.h"

#include <winsock2.h>

#include <string>
#include <string_view>

namespace aspserve {

/// Waits until socket can be read (or accepted from), serving the calling thread's window
/// messages meanwhile; false on a socket error.
bool WaitReadableServingMessages(SOCKET socket) noexcept;

class CSocketStream {
public:
    explicit CSocketStream(SOCKET socket) noexcept : socket_(socket) {}
    ~CSocketStream();
    CSocketStream(const CSocketStream&) = delete;
    CSocketStream& operator=(const CSocketStream&) = delete;

    /// Reads what the socket has (at least one byte) and appends it to Pending(); false at the
    /// end of the stream or on an error.
    bool Fill();

    /// Copies up to wanted bytes into buffer from Pending(), filling it first when it is empty;
    /// 0 at the end of the stream or on an error.
    std::size_t Read(char* buffer, std::size_t wanted);

    /// Bytes read but not yet used.
    std::string& Pending()
    {
        pending_.erase(0, consumed_);
        consumed_ = 0;
        return pending_;
    }

    /// Sends all of bytes; false when the peer is gone.
    bool SendAll(std::string_view bytes);

    /// Stops sending (the peer sees the end of the response) before the socket closes.
    void ShutdownSend() noexcept;

    /// Reads and drops what the client still sends, for at most a second and a few MiB, so that
    /// closing a socket with unread bytes does not reset the response the client is reading.
    void DrainBriefly() noexcept;

    bool Broken() const noexcept { return broken_; }

private:
    /// Waits until the socket has bytes (or has ended), serving the thread's window messages
    /// meanwhile; false on a socket error.
    bool WaitReadable() noexcept;

    static constexpr std::size_t kReadSize = 256 * 1024;

    SOCKET socket_;
    std::string pending_;
    std::size_t consumed_ = 0; // bytes at the front of pending_ that Read already handed out
    bool broken_ = false;
};

} // namespace aspserve
