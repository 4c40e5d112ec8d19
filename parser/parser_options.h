#pragma once
// The settings of one parse, filled by the save run and only read by the parser.

#include <cstdint>
#include <string>

#include "parser/part_limits.h"
#include "platform/win.h"

struct TParserOptions {
    /// The multipart boundary as sent in the Content-Type header (bytes, no "--").
    std::string boundary;
    /// Directory for the temporary files of file parts, exactly as the script gave it.
    WideString tempDir;
    /// Character references: 0 decode, 1 do not decode, 2 automatic.
    std::int32_t charRefsMode = 2;
    /// Code page of posted text; 0 means none (ASCII, else UTF-8).
    std::int32_t codePage = 0;
    /// What the body may hold; every limit 0 (none) unless the save run sets it.
    parser::TPartLimits limits;
};

namespace parser {
using ::TParserOptions;
}
