#pragma once
// Lexical rules of one part header line: the header name and colon, the Content-Disposition type
// and its parameters, the Content-Type value. Reads through the search engine.

#include <cstdint>
#include <string>

#include "parser/search_engine.h"

namespace parser {

class CHeaderLexer {
public:
    /// Results of ReadHeaderStart.
    enum : std::int32_t { kDisposition = 0, kContentType = 1, kMalformed = 2, kUnknown = 3 };
    /// Results of ClassifyHeaderName.
    enum : std::int32_t { kNameDisposition = 0, kNameContentType = 1, kNameOther = 2 };

    explicit CHeaderLexer(CSearchEngine& engine);

    /// Reads a header name and colon, and for the two known headers their value. Content-
    /// Disposition leaves the position after its type token; Content-Type consumes the line.
    std::int32_t ReadHeaderStart(std::string& name, std::string& value);
    /// Reads "; name=value" (value a token or a quoted string): 0 on success, 1 on a syntax error.
    /// In both, a name or value longer than CStrReceiver::kMaxLength counts as a syntax error
    /// (a Content-Type value as empty); it is read to its end but not kept.
    std::int32_t ReadParameter(std::string& name, std::string& value);
    /// 0 Content-Disposition, 1 Content-Type, 2 anything else (case-insensitive, ASCII only).
    static std::int32_t ClassifyHeaderName(const std::string& name);

    const CSearchEngine::TCharTable& HeaderNameClass() const { return headerName_; }
    const CSearchEngine::TCharTable& WhiteSpaceClass() const { return whiteSpace_; }
    const CSearchEngine::TCharTable& TokenClass() const { return token_; }

    static constexpr char kCrLf[2] = {'\r', '\n'};

private:
    CSearchEngine& engine_;
    CSearchEngine::TCharTable headerName_{};
    CSearchEngine::TCharTable whiteSpace_{};
    CSearchEngine::TCharTable token_{};
};

}  // namespace parser
