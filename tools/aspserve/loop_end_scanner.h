// TLoopEndScanner: finds, line by line, the statements of a VBScript program that close a loop —
// Loop (of Do), Next (of For and For Each) and Wend (of While) — so that the page translator can
// put a check of the script's deadline in front of each. A statement starts a line (unless the
// line before ended with the continuation " _") or follows a ':' outside strings, date literals,
// bracketed names and comments; "Rem" and "'" start comments. The scanner keeps the one fact that
// spans lines: whether the last line was continued. What follows Then on the line of a
// single-line If belongs to the If, so no statement there is reported.
//
//   aspserve::TLoopEndScanner scanner;
//   for (const TLoopEnd& end : scanner.Scan("x = x + 1 : Loop While x < 9"))   // {12, Kind::Do}
//       ...
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace aspserve {

struct TLoopEnd {
    enum class Kind { Do, For, While };
    std::size_t position; ///< where the keyword starts in the line
    Kind kind;            ///< the loop it closes

    bool operator==(const TLoopEnd&) const = default;
};

class TLoopEndScanner {
public:
    /// The loop ends that start a statement in line (one line of code, without its line break).
    std::vector<TLoopEnd> Scan(std::string_view line);

private:
    bool continued_ = false; // the previous line ended with a line continuation
};

} // namespace aspserve
