#pragma once
// Turns posted bytes (field names, file names, text values) into wide text, choosing the chain of
// conversions from the upload's code page and character-reference settings.

#include <string>
#include <string_view>

#include "parser/parser_options.h"
#include "platform/win.h"

namespace parser {

class CPostTextCvrt {
public:
    /// The character-reference mode is outside 0 to 2.
    class EPostTextCvrt {};

    explicit CPostTextCvrt(const TParserOptions* options) : options_(options) {}

    /// Converts `text`; never fails on account of the text (the last resort widens byte by byte).
    WideString Convert(std::string_view text) const;

private:
    const TParserOptions* options_;
};

} // namespace parser
