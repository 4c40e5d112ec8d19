#include "tools/aspserve/http_connection.h"

#include <boost/beast/core/error.hpp>

#include <limits>

namespace aspserve {

namespace http = boost::beast::http;

CHttpConnection::CHttpConnection(SOCKET socket, std::string remoteAddress, TTransferLimits limits)
    : stream_(socket, limits), remoteAddress_(std::move(remoteAddress))
{
    StartHead();
}

void CHttpConnection::StartHead()
{
    parser_ = std::make_unique<TRequestParser>();
    parser_->header_limit(static_cast<std::uint32_t>(kMaxHeadBytes));
    parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
    headStarted_ = false;
    headOffset_ = 0;
    requestLineEnded_ = false;
    tooLarge_ = false;
    resumed = false;
    grantedSession.reset();
}

CHttpConnection::THead CHttpConnection::ParseHead()
{
    std::string& pending = stream_.Pending();
    while (!pending.empty() && !parser_->is_header_done()) {
        headStarted_ = true;
        if (!requestLineEnded_)
            requestLineEnded_ = headOffset_ + pending.find('\n') < kMaxHeadBytes; // npos never is
        boost::beast::error_code error;
        // The parser takes whole lines and stops at the end of the head; the rest stays pending.
        const std::size_t used = parser_->put(boost::asio::buffer(pending.data(), pending.size()), error);
        headOffset_ += used;
        pending.erase(0, used);
        // The parser's own limit holds for what it is given at once; this one for the whole head.
        if (headOffset_ > kMaxHeadBytes ||
            (error == http::error::need_more && headOffset_ + pending.size() > kMaxHeadBytes)) {
            tooLarge_ = true;
            return THead::Malformed;
        }
        if (error == http::error::need_more)
            return THead::NeedMore;
        if (error) {
            tooLarge_ = error == http::error::header_limit;
            return THead::Malformed;
        }
    }
    return parser_->is_header_done() ? THead::Complete : THead::NeedMore;
}

const char* CHttpConnection::MalformedStatus() const noexcept
{
    if (!tooLarge_)
        return "400 Bad Request";
    return requestLineEnded_ ? "431 Request Header Fields Too Large" : "414 URI Too Long";
}

} // namespace aspserve
