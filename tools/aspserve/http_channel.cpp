#include "tools/aspserve/http_channel.h"

#include <cstdio>

namespace aspserve {

void CHttpChannel::SendHead(const std::string& status, const host::THttpHeaderList& headers,
                            std::optional<std::size_t> contentLength)
{
    if (headSent_)
        return;
    headSent_ = true;
    status_ = status;
    std::string head = "HTTP/1.1 " + status + "\r\n";
    for (const auto& [name, value] : headers)
        head += name + ": " + value + "\r\n";
    if (contentLength) {
        head += "Content-Length: " + std::to_string(*contentLength) + "\r\n";
    } else {
        head += "Transfer-Encoding: chunked\r\n";
        chunked_ = !headOnly_;
    }
    head += "Cache-Control: private\r\n";
    head += keepAlive_ ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    stream_.SendAll(head);
}

void CHttpChannel::SendBody(std::string_view bytes)
{
    if (bytes.empty())
        return;
    bodyBytes_ += bytes.size();
    if (headOnly_)
        return;
    if (chunked_) {
        char size[24];
        std::snprintf(size, sizeof size, "%zx\r\n", bytes.size());
        stream_.SendAll(size);
        stream_.SendAll(bytes);
        stream_.SendAll("\r\n");
    } else {
        stream_.SendAll(bytes);
    }
}

void CHttpChannel::EndBody()
{
    if (chunked_)
        stream_.SendAll("0\r\n\r\n");
}

void CHttpChannel::SendPage(const std::string& status, std::string_view contentType, std::string_view body)
{
    SendHead(status, {{"Content-Type", std::string(contentType)}}, body.size());
    SendBody(body);
    EndBody();
}

} // namespace aspserve
