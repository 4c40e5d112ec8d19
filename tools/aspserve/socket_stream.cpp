#include "tools/aspserve/socket_stream.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace aspserve {

CSocketStream::~CSocketStream()
{
    ::closesocket(socket_);
}

bool CSocketStream::WaitReadable() noexcept
{
    return WaitReadableServingMessages(socket_);
}

bool WaitReadableServingMessages(SOCKET socket) noexcept
{
    while (true) {
        // The thread is a single-threaded apartment: calls other apartments make into objects
        // that live here arrive as window messages, and must be served while it waits.
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket, &readable);
        timeval wait = {0, 10000};
        const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
        if (ready > 0)
            return true;
        if (ready < 0)
            return false;
    }
}

bool CSocketStream::Fill()
{
    if (broken_)
        return false;
    Pending(); // drops what Read handed out
    const std::size_t before = pending_.size();
    pending_.resize(before + kReadSize);
    const int got = WaitReadable() ? ::recv(socket_, pending_.data() + before, static_cast<int>(kReadSize), 0) : -1;
    pending_.resize(before + (got > 0 ? static_cast<std::size_t>(got) : 0));
    if (got <= 0) {
        broken_ = true;
        return false;
    }
    return true;
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
    while (!bytes.empty() && !broken_) {
        const int sent =
            ::send(socket_, bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20)), 0);
        if (sent <= 0) {
            broken_ = true;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return !broken_;
}

void CSocketStream::DrainBriefly() noexcept
{
    if (broken_)
        return;
    DWORD timeout = 250;
    ::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    const ULONGLONG deadline = ::GetTickCount64() + 1000;
    std::size_t dropped = 0;
    char buffer[16384];
    while (dropped < (4u << 20) && ::GetTickCount64() < deadline) {
        const int got = ::recv(socket_, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        dropped += static_cast<std::size_t>(got);
    }
}

void CSocketStream::ShutdownSend() noexcept
{
    ::shutdown(socket_, SD_SEND);
}

} // namespace aspserve
