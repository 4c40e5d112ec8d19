// The page host's entry points: a scripting context (with its Request and Response) over an
// in-memory request, over any body source, or over a request captured to a file.
//
//   auto page = host::CreateMemoryPage("POST", {{"Content-Type", "multipart/form-data; boundary=b"}}, body);
//   upload->OnStartPage(page.Get());                  // the context is an IScriptingContext
//
//   auto source = std::make_unique<host::CMemoryBodySource>(body);
//   source->SetPieceSizes({3, 8191});
//   auto page = host::CreatePage(host::MakeRequestHead("POST", headers, body.size()), std::move(source));
//
//   auto page = host::OpenCapturedPage("tests/data/requests/x.http", sink);   // body stays in the file
//
// Bad requests throw THttpRequestHead::EBadRequest; files that cannot be read throw
// std::runtime_error. Both carry a one-line what().
#pragma once

#include "com/com_ptr.h"
#include "host/body_source.h"
#include "host/http_request_head.h"
#include "host/response.h"
#include "host/scripting_context.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace host {

/// A head with request line "method / HTTP/1.1" and headers, plus Content-Length: bodyLength
/// when headers have no Content-Length of their own.
THttpRequestHead MakeRequestHead(std::string method, std::vector<THttpRequestHead::THeader> headers,
                                 std::size_t bodyLength);

/// A page over head and body; Response.Write goes to sink.
com::ComPtr<CScriptingContext> CreatePage(const THttpRequestHead& head, std::unique_ptr<CBodySource> body,
                                          TResponseSink sink = {});

/// A page over a request held in memory (see MakeRequestHead).
com::ComPtr<CScriptingContext> CreateMemoryPage(std::string method, std::vector<THttpRequestHead::THeader> headers,
                                                std::string body, TResponseSink sink = {});

/// A page over a captured request file (request line, headers, blank line, body). Only the head
/// is read here; BinaryRead reads the body from the file as it is asked. A Content-Length larger
/// than the bytes left in the file ends the body early; a smaller one ends it there.
com::ComPtr<CScriptingContext> OpenCapturedPage(const std::filesystem::path& file, TResponseSink sink = {});

} // namespace host
