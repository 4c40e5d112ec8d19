#include "host/page_host.h"

#include "host/memory_body_source.h"
#include "host/stream_body_source.h"

#include <fstream>
#include <stdexcept>

namespace host {

THttpRequestHead MakeRequestHead(std::string method, std::vector<THttpRequestHead::THeader> headers,
                                 std::size_t bodyLength)
{
    THttpRequestHead head{std::move(method), std::string("/"), std::string("HTTP/1.1"), std::move(headers)};
    if (!head.Header("Content-Length"))
        head.headers.emplace_back("Content-Length", std::to_string(bodyLength));
    return head;
}

com::ComPtr<CScriptingContext> CreatePage(const THttpRequestHead& head, std::unique_ptr<CBodySource> body,
                                          TResponseSink sink)
{
    auto request = CRequest::Create(head, std::move(body));
    return CScriptingContext::Create(std::move(request), CResponse::Create(std::move(sink)));
}

com::ComPtr<CScriptingContext> CreateMemoryPage(std::string method, std::vector<THttpRequestHead::THeader> headers,
                                                std::string body, TResponseSink sink)
{
    const THttpRequestHead head = MakeRequestHead(std::move(method), std::move(headers), body.size());
    return CreatePage(head, std::make_unique<CMemoryBodySource>(std::move(body)), std::move(sink));
}

com::ComPtr<CScriptingContext> OpenCapturedPage(const std::filesystem::path& file, TResponseSink sink)
{
    auto stream = std::make_unique<std::ifstream>(file, std::ios::binary);
    if (!stream->is_open())
        throw std::runtime_error("cannot open " + file.string());
    const THttpRequestHead head = THttpRequestHead::Read(*stream);
    if (stream->bad())
        throw std::runtime_error("cannot read " + file.string());
    stream->clear(); // an end-of-file while reading the head only means the body is empty
    return CreatePage(head, std::make_unique<CStreamBodySource>(std::move(stream)), std::move(sink));
}

} // namespace host
