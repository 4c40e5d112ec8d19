#pragma once
// Turns posted bytes (field names, file names, text values) into wide text, choosing the chain of
// conversions from the upload's code page and character-reference settings.
//
//   parser::CPostTextCvrt converter(&options);
//   WideString name = converter.Convert(nameBytes);
//   com::Bstr value = converter.ConvertToBstr(contentBytes);   // no second copy of a large value
//
// Contract: both give the same text for the same bytes; neither fails on account of the text (the
// last resort widens byte by byte). A mode outside 0 to 2 raises EPostTextCvrt; a value that
// cannot be allocated raises com::ComError(E_OUTOFMEMORY) or std::bad_alloc.

#include <string>
#include <string_view>

#include "com/bstr.h"
#include "parser/parser_options.h"
#include "platform/win.h"

namespace parser {

class CPostTextCvrt {
public:
    /// The character-reference mode is outside 0 to 2.
    class EPostTextCvrt {};

    explicit CPostTextCvrt(const TParserOptions* options) : options_(options) {}

    /// Converts `text` into a new string.
    WideString Convert(std::string_view text) const;
    /// Converts `text` straight into a BSTR of exactly the converted length, embedded NULs kept.
    com::Bstr ConvertToBstr(std::string_view text) const;

private:
    const TParserOptions* options_;
};

} // namespace parser
