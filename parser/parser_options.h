#pragma once
// The settings of one parse, filled by the save run and only read by the parser.

#include <cstdint>
#include <string>

#include "parser/part_limits.h"
#include "platform/win.h"

/// What to do with HTML decimal character references (&#NNN;) in text values. Not in the order of
/// the script's TYesNoAuto (ynaNo 0, ynaYes 1, ynaAuto 2): the save run translates ynaYes to
/// kDecodeCharRefs, ynaNo to kKeepCharRefs and ynaAuto to kAutoCharRefs.
enum : std::int32_t {
    kDecodeCharRefs = 0, ///< decode them (with code page 0, in values of plain ASCII)
    kKeepCharRefs = 1,   ///< keep them as they came
    kAutoCharRefs = 2,   ///< decode them only with code page 0 in values of plain ASCII
};

struct TParserOptions {
    /// The multipart boundary as sent in the Content-Type header (bytes, no "--").
    std::string boundary;
    /// Directory for the temporary files of file parts, exactly as the script gave it.
    WideString tempDir;
    /// Character references: kDecodeCharRefs, kKeepCharRefs or kAutoCharRefs.
    std::int32_t charRefsMode = kAutoCharRefs;
    /// Code page of posted text; 0 means none (ASCII, else UTF-8).
    std::int32_t codePage = 0;
    /// What the body may hold; every limit 0 (none) unless the save run sets it.
    parser::TPartLimits limits;
};

namespace parser {
using ::TParserOptions;
}
