#include "tools/aspserve/socket_stream.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace aspserve {

namespace {

bool WouldBlock() noexcept
{
    const int error = ::WSAGetLastError();
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

} // namespace

TWaitResult WaitServingMessages(SOCKET socket, bool forWrite, std::uint64_t timeoutMs) noexcept
{
    const ULONGLONG start = ::GetTickCount64();
    while (true) {
        // The thread is a single-threaded apartment: calls other apartments make into objects
        // that live here arrive as window messages, and must be served while it waits.
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        const ULONGLONG waited = ::GetTickCount64() - start;
        if (waited >= timeoutMs)
            return TWaitResult::TimedOut;
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(socket, &ready);
        fd_set failed;
        FD_ZERO(&failed);
        FD_SET(socket, &failed);
        const long slice = static_cast<long>(std::min<ULONGLONG>(timeoutMs - waited, 10)) * 1000;
        timeval wait = {0, slice};
        const int count = ::select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &wait);
        if (count < 0)
            return TWaitResult::Failed;
        if (count > 0)
            return TWaitResult::Ready; // readable, writable, or failed: the next call says which
    }
}

CSocketStream::CSocketStream(SOCKET socket, TTransferLimits limits) noexcept
    : socket_(socket), limits_(limits), readPace_(limits.stallMs, limits.minBytesPerSecond),
      sendPace_(limits.stallMs, limits.minBytesPerSecond)
{
    u_long nonBlocking = 1;
    ::ioctlsocket(socket_, FIONBIO, &nonBlocking);
}

CSocketStream::~CSocketStream()
{
    ::closesocket(socket_);
}

void CSocketStream::StartRequest() noexcept
{
    readPace_ = TTransferPace(limits_.stallMs, limits_.minBytesPerSecond);
    sendPace_ = TTransferPace(limits_.stallMs, limits_.minBytesPerSecond);
}

bool CSocketStream::Fill()
{
    if (broken_ || readEnded_)
        return false;
    Pending(); // drops what Read handed out
    std::uint64_t waited = 0;
    while (true) {
        const std::size_t before = pending_.size();
        pending_.resize(before + kReadSize);
        const int got = ::recv(socket_, pending_.data() + before, static_cast<int>(kReadSize), 0);
        pending_.resize(before + (got > 0 ? static_cast<std::size_t>(got) : 0));
        if (got > 0) {
            readPace_.Record(waited, static_cast<std::uint64_t>(got));
            return true;
        }
        if (got == 0) {
            ended_ = true; // the client sends no more; it may still read the answer
            break;
        }
        if (!WouldBlock()) {
            broken_ = true;
            break;
        }
        const std::uint64_t allowed = readPace_.WaitAllowedMs() > waited ? readPace_.WaitAllowedMs() - waited : 0;
        const ULONGLONG start = ::GetTickCount64();
        const TWaitResult result = allowed ? WaitServingMessages(socket_, false, allowed) : TWaitResult::TimedOut;
        waited += ::GetTickCount64() - start;
        if (result == TWaitResult::TimedOut) {
            tooSlow_ = true; // the answer may still go out; the connection carries no further request
            break;
        }
        if (result == TWaitResult::Failed) {
            broken_ = true;
            break;
        }
    }
    readEnded_ = true;
    return false;
}

std::size_t CSocketStream::Read(char* buffer, std::size_t wanted)
{
    // Reads of what the socket has, in large pieces, save a wait and a system call per small read.
    if (consumed_ == pending_.size()) {
        pending_.clear();
        consumed_ = 0;
        if (!Fill())
            return 0;
    }
    const std::size_t n = std::min(wanted, pending_.size() - consumed_);
    std::memcpy(buffer, pending_.data() + consumed_, n);
    consumed_ += n;
    return n;
}

bool CSocketStream::SendAll(std::string_view bytes)
{
    std::uint64_t waited = 0;
    while (!bytes.empty() && !broken_) {
        const int sent =
            ::send(socket_, bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20)), 0);
        if (sent > 0) {
            sendPace_.Record(waited, static_cast<std::uint64_t>(sent));
            waited = 0;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent == 0 || !WouldBlock()) {
            broken_ = true;
            break;
        }
        const std::uint64_t allowed = sendPace_.WaitAllowedMs() > waited ? sendPace_.WaitAllowedMs() - waited : 0;
        const ULONGLONG start = ::GetTickCount64();
        const TWaitResult result = allowed ? WaitServingMessages(socket_, true, allowed) : TWaitResult::TimedOut;
        waited += ::GetTickCount64() - start;
        if (result != TWaitResult::Ready) {
            tooSlow_ = result == TWaitResult::TimedOut;
            broken_ = true;
        }
    }
    return !broken_;
}

CSocketStream::TPoll CSocketStream::ReadAvailable()
{
    if (broken_ || readEnded_)
        return TPoll::Ended;
    Pending();
    char buffer[65536];
    const int got = ::recv(socket_, buffer, sizeof buffer, 0);
    if (got > 0) {
        pending_.append(buffer, static_cast<std::size_t>(got));
        return TPoll::Data;
    }
    if (got < 0 && WouldBlock())
        return TPoll::Nothing;
    readEnded_ = true;
    ended_ = got == 0;
    broken_ = got < 0;
    return TPoll::Ended;
}

bool CSocketStream::SendNow(std::string_view bytes) noexcept
{
    while (!bytes.empty() && !broken_) {
        const int sent =
            ::send(socket_, bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX)), 0);
        if (sent <= 0)
            return false; // the client reads too slowly for an error page to wait on it
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return bytes.empty();
}

bool CSocketStream::PeerConnected() noexcept
{
    if (broken_ || ended_)
        return false;
    char probe;
    const int got = ::recv(socket_, &probe, 1, MSG_PEEK);
    if (got > 0 || (got < 0 && WouldBlock()))
        return true; // bytes wait to be read, or none yet: still there
    return false;
}

void CSocketStream::Trim()
{
    Pending();
    if (pending_.capacity() > 65536)
        std::string(pending_).swap(pending_);
}

void CSocketStream::ShutdownSend() noexcept
{
    ::shutdown(socket_, SD_SEND);
}

} // namespace aspserve
