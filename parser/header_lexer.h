#pragma once
// Lexical rules of one part header line: the header name and colon, the Content-Disposition type
// and its parameters, the Content-Type value. Reads through the search engine.

#include <cstdint>
#include <string>

#include "parser/header_kind.h"
#include "parser/search_engine.h"

namespace parser {

class CHeaderLexer {
public:
    explicit CHeaderLexer(CSearchEngine& engine);

    /// Reads a header name and colon, and for the two known headers their value. Content-
    /// Disposition leaves the position after its type token; Content-Type consumes the line;
    /// any other header (kOtherHeader) leaves the rest of its line unread.
    THeaderKind ReadHeaderStart(std::string& name, std::string& value);
    /// Reads "; name=value" (value a token or a quoted string): 0 on success, 1 on a syntax error.
    /// In both, a name or value longer than CStrReceiver::kMaxLength counts as a syntax error
    /// (a Content-Type value as empty); it is read to its end but not kept.
    std::int32_t ReadParameter(std::string& name, std::string& value);
    /// kContentDisposition, kContentType or, for anything else (and a name that is not ASCII),
    /// kOtherHeader; case-insensitive.
    static THeaderKind ClassifyHeaderName(const std::string& name);

    static constexpr char kCrLf[2] = {'\r', '\n'};

private:
    CSearchEngine& engine_;
    CSearchEngine::TCharTable headerName_{};
    CSearchEngine::TCharTable whiteSpace_{};
    CSearchEngine::TCharTable token_{};
};

} // namespace parser
