#include "tools/aspserve/connection_poller.h"

#include "tools/aspserve/request_log.h"

#include <ws2tcpip.h>

#include <algorithm>

namespace aspserve {

namespace {

constexpr std::uint64_t kDrainMs = 1000;
constexpr std::uint64_t kDrainBytes = 4u << 20;
constexpr int kLongestPollMs = 60000;

std::uint64_t Now() noexcept
{
    return ::GetTickCount64();
}

std::string ErrorPageOf(const std::string& status)
{
    const std::string body =
        "<!DOCTYPE html><html><head><title>" + status + "</title></head><body><h1>" + status + "</h1></body></html>\n";
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace

CConnectionPoller::CConnectionPoller(SOCKET listener, const TServerSettings& settings, TSubmit submit)
    : listener_(listener), settings_(settings), submit_(std::move(submit))
{
    u_long nonBlocking = 1;
    ::ioctlsocket(listener_, FIONBIO, &nonBlocking);
    wake_ = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    wakeAddress_.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.1", &wakeAddress_.sin_addr);
    int length = sizeof wakeAddress_;
    if (wake_ == INVALID_SOCKET ||
        ::bind(wake_, reinterpret_cast<sockaddr*>(&wakeAddress_), sizeof wakeAddress_) != 0 ||
        ::getsockname(wake_, reinterpret_cast<sockaddr*>(&wakeAddress_), &length) != 0)
        throw std::runtime_error("cannot make the poller's wake-up socket (error " +
                                 std::to_string(::WSAGetLastError()) + ")");
    ::ioctlsocket(wake_, FIONBIO, &nonBlocking);
}

CConnectionPoller::~CConnectionPoller()
{
    if (wake_ != INVALID_SOCKET)
        ::closesocket(wake_);
}

void CConnectionPoller::Return(std::shared_ptr<CHttpConnection> connection, bool keepOpen)
{
    {
        std::lock_guard<std::mutex> guard(inboxLock_);
        inbox_.emplace_back(std::move(connection), keepOpen);
    }
    const char byte = 0;
    ::sendto(wake_, &byte, 1, 0, reinterpret_cast<const sockaddr*>(&wakeAddress_), sizeof wakeAddress_);
}

void CConnectionPoller::Run()
{
    std::vector<WSAPOLLFD> polled;
    while (true) {
        try {
            std::vector<std::pair<std::shared_ptr<CHttpConnection>, bool>> returned;
            {
                std::lock_guard<std::mutex> guard(inboxLock_);
                returned.swap(inbox_);
            }
            std::uint64_t now = Now();
            for (auto& [connection, keepOpen] : returned)
                Adopt(std::move(connection), keepOpen, now);

            const bool accepting = open_ < settings_.maxConnections;
            polled.clear();
            polled.push_back({wake_, POLLRDNORM, 0});
            if (accepting)
                polled.push_back({listener_, POLLRDNORM, 0});
            const std::size_t first = polled.size();
            std::uint64_t nearest = now + kLongestPollMs;
            for (const auto& connection : waiting_) {
                polled.push_back({connection->Stream().Socket(), POLLRDNORM, 0});
                nearest = std::min(nearest, connection->deadline);
            }
            const int wait = static_cast<int>(nearest > now ? nearest - now : 0);
            if (::WSAPoll(polled.data(), static_cast<ULONG>(polled.size()), wait) < 0) {
                ::Sleep(10);
                continue;
            }
            now = Now();
            if (polled[0].revents) {
                char drop[64];
                while (::recv(wake_, drop, sizeof drop, 0) > 0) {
                }
            }
            const std::size_t polledConnections = polled.size() - first;
            if (accepting && polled[1].revents)
                Accept(now); // appends to waiting_, after the connections polled
            for (std::size_t i = 0; i < waiting_.size(); ++i) {
                TFate fate = TFate::Keep;
                if (i < polledConnections && polled[first + i].revents) {
                    fate = Read(*waiting_[i], now);
                    if (fate == TFate::Keep)
                        fate = Parse(*waiting_[i], now);
                }
                if (fate == TFate::Keep)
                    fate = Expire(*waiting_[i], now);
                Settle(waiting_[i], fate);
            }
            waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), nullptr), waiting_.end());
        } catch (const std::exception& e) {
            LogEvent(std::string("aspserve: the connection poller met a failure and goes on: ") + e.what());
        }
    }
}

void CConnectionPoller::Settle(std::shared_ptr<CHttpConnection>& connection, TFate fate)
{
    if (fate == TFate::Close) {
        --open_;
        connection.reset(); // closes the socket
    } else if (fate == TFate::HandOn) {
        submit_(std::move(connection));
        connection.reset();
    }
}

void CConnectionPoller::Accept(std::uint64_t now)
{
    while (open_ < settings_.maxConnections) {
        sockaddr_in peer = {};
        int peerLength = sizeof peer;
        const SOCKET accepted = ::accept(listener_, reinterpret_cast<sockaddr*>(&peer), &peerLength);
        if (accepted == INVALID_SOCKET)
            return;
        char remote[INET_ADDRSTRLEN] = "";
        ::inet_ntop(AF_INET, &peer.sin_addr, remote, sizeof remote);
        const TTransferLimits limits{std::uint64_t{settings_.bodyTimeoutSeconds} * 1000,
                                     settings_.minBodyBytesPerSecond};
        auto connection = std::make_shared<CHttpConnection>(accepted, remote, limits);
        ++open_;
        // The first head has --head-timeout from the connection's start.
        connection->phase = CHttpConnection::TPhase::Head;
        connection->deadline = now + std::uint64_t{settings_.headTimeoutSeconds} * 1000;
        waiting_.push_back(std::move(connection));
    }
}

void CConnectionPoller::Adopt(std::shared_ptr<CHttpConnection> connection, bool keepOpen, std::uint64_t now)
{
    if (!keepOpen || connection->Stream().Broken()) {
        StartDraining(*connection, now);
    } else {
        connection->StartHead();
        connection->Stream().Trim();
        connection->phase = CHttpConnection::TPhase::Idle;
        connection->deadline = now + std::uint64_t{settings_.idleTimeoutSeconds} * 1000;
        if (!connection->Stream().Pending().empty()) {
            // The next request came with the last one (pipelined): its head may be complete already.
            connection->phase = CHttpConnection::TPhase::Head;
            connection->deadline = now + std::uint64_t{settings_.headTimeoutSeconds} * 1000;
            const TFate fate = Parse(*connection, now);
            if (fate != TFate::Keep) {
                Settle(connection, fate);
                return;
            }
        }
    }
    waiting_.push_back(std::move(connection));
}

CConnectionPoller::TFate CConnectionPoller::Read(CHttpConnection& connection, std::uint64_t now)
{
    const CSocketStream::TPoll got = connection.Stream().ReadAvailable();
    if (got == CSocketStream::TPoll::Ended)
        return TFate::Close; // the client closed (or reset) the connection
    if (connection.phase == CHttpConnection::TPhase::Draining) {
        connection.drainedBytes += connection.Stream().Pending().size();
        connection.Stream().Pending().clear();
        return connection.drainedBytes < kDrainBytes ? TFate::Keep : TFate::Close;
    }
    if (got == CSocketStream::TPoll::Data && connection.phase == CHttpConnection::TPhase::Idle) {
        connection.phase = CHttpConnection::TPhase::Head;
        connection.deadline = now + std::uint64_t{settings_.headTimeoutSeconds} * 1000;
    }
    return TFate::Keep;
}

CConnectionPoller::TFate CConnectionPoller::Parse(CHttpConnection& connection, std::uint64_t now)
{
    if (connection.phase != CHttpConnection::TPhase::Head || connection.Stream().Pending().empty())
        return TFate::Keep;
    switch (connection.ParseHead()) {
    case CHttpConnection::THead::NeedMore: return TFate::Keep;
    case CHttpConnection::THead::Complete: return TFate::HandOn;
    case CHttpConnection::THead::Malformed:
        AnswerAndClose(connection, connection.MalformedStatus(), "malformed request head", now);
        return TFate::Keep;
    }
    return TFate::Keep;
}

CConnectionPoller::TFate CConnectionPoller::Expire(CHttpConnection& connection, std::uint64_t now)
{
    if (now < connection.deadline)
        return TFate::Keep;
    if (connection.phase == CHttpConnection::TPhase::Head && connection.HeadStarted()) {
        AnswerAndClose(connection, "408 Request Timeout",
                       "request head not complete within " + std::to_string(settings_.headTimeoutSeconds) + " s", now);
        return TFate::Keep;
    }
    return TFate::Close; // idle too long, a connection that never sent a byte, or drained long enough
}

void CConnectionPoller::AnswerAndClose(CHttpConnection& connection, const std::string& status,
                                       const std::string& problem, std::uint64_t now)
{
    const std::string answer = ErrorPageOf(status);
    connection.Stream().SendNow(answer);
    LogRequest("-", "-", status.substr(0, 3), answer.size() - answer.find("\r\n\r\n") - 4, 0,
               connection.RemoteAddress() + ": " + problem);
    StartDraining(connection, now);
}

void CConnectionPoller::StartDraining(CHttpConnection& connection, std::uint64_t now)
{
    connection.Stream().ShutdownSend();
    connection.Stream().Pending().clear();
    connection.phase = CHttpConnection::TPhase::Draining;
    connection.deadline = now + kDrainMs;
    connection.drainedBytes = 0;
}

} // namespace aspserve
