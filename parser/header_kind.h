#pragma once
// THeaderKind: what one part header line is, the one classification of header names
// in the parser. CHeaderLexer::ReadHeaderStart answers any of the four (classifying the name once,
// with CHeaderLexer::ClassifyHeaderName); the parser hands that answer on to CFieldHeaderImpl,
// which keeps one of the two recognised kinds.

#include <cstdint>

namespace parser {

enum THeaderKind : std::int32_t {
    kContentDisposition = 0, ///< Content-Disposition: the field's name and file name
    kContentType = 1,        ///< Content-Type: the part's media type
    kMalformedLine = 2,      ///< not a header line: no name, no colon, or a disposition without its type
    kOtherHeader = 3,        ///< any other header (Content-Transfer-Encoding included): ignored
};

} // namespace parser
