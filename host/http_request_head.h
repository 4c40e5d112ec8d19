// THttpRequestHead: the request line and header fields of an HTTP request, as the bytes that
// arrived, plus the reader that takes them off a stream and the checks a server makes on them.
//
//   std::ifstream in(path, std::ios::binary);
//   host::THttpRequestHead head = host::THttpRequestHead::Read(in);   // stops after the blank line
//   LONG total = head.ContentLength();                                // 0 without the header
//   std::optional<std::string> type = head.Header("content-type");   // repeated fields joined
//
// Malformed input throws THttpRequestHead::EBadRequest, whose what() is a one-line reason.
#pragma once

#include "com/ascii_case.h"
#include "platform/win.h"

#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace host {

struct THttpRequestHead {
    /// A request that no server would accept; what() says why, in one line.
    class EBadRequest : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    using THeader = std::pair<std::string, std::string>;

    std::string method;           ///< e.g. "POST", as sent
    std::string target;           ///< e.g. "/upload.asp?x=1"
    std::string protocol;         ///< e.g. "HTTP/1.1"
    std::vector<THeader> headers; ///< names as sent, values trimmed, in arrival order

    /// Reads the request line and the header fields from in, leaving in at the first body byte.
    /// Lines end in CRLF or LF; empty lines before the request line are skipped; a field line
    /// starting with a space or tab continues the previous field. The end of the stream ends the
    /// head as a blank line would.
    static THttpRequestHead Read(std::istream& in);

    /// The value of the field called name (compared without regard to ASCII case); a field sent
    /// more than once gives its values joined with ", "; nullopt when the field is absent.
    std::optional<std::string> Header(std::string_view name) const;

    /// The body length from Content-Length: 0 when absent. Throws EBadRequest when the value is
    /// not a decimal number, when repeated values differ, when it exceeds 2147483647, or when the
    /// request uses a transfer coding (the host reads bodies of a declared length only).
    LONG ContentLength() const;

    /// The part of target after the first '?', or empty.
    std::string QueryString() const;

    /// The part of target before the first '?'.
    std::string Path() const;
};

} // namespace host
