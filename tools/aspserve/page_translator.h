// TPageTranslator: turns an .asp page (with its includes) into one VBScript program. Literal text
// becomes numbered blocks that the program writes with Response.WriteBlock; "<% code %>" is copied
// as it is; "<%= expression %>" becomes Response.Write(expression); "<%@ ... %>" sets the language
// and the code page; "<!--#include file|virtual="..."-->" pulls another file of the site in.
// "Option Explicit" moves to the program's first line (VBScript wants it before any statement,
// and literal text above it would otherwise come first).
//
//   aspserve::TPageTranslator translator([&](const std::string& sitePath) { return ReadSiteFile(sitePath); });
//   aspserve::TTranslatedPage page = translator.Translate("/upload.asp");
//   engine.Parse(page.script);                   // bytes in page.codePage (0: none was given)
//   auto [file, line] = page.SourceOf(errorLine);  // where script line errorLine came from
//
// Everything stays bytes: the caller decodes script and blocks with the page's code page, which
// the scanner does not need since every delimiter is ASCII. Errors (an unclosed "<%", an include
// outside the site or missing, a language other than VBScript, includes nested too deep) throw
// ETranslationError with a one-line reason that names the file and line.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace aspserve {

class ETranslationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TSourceLine {
    std::string page; ///< site path of the file
    unsigned line;    ///< 1-based
};

struct TTranslatedPage {
    std::string script;              ///< the VBScript program, lines separated by "\r\n"
    std::vector<std::string> blocks; ///< literal text, block i written by Response.WriteBlock i
    int codePage = 0;                ///< from the directive; 0 when it gives none
    bool sessionState = true;        ///< false when the directive says EnableSessionState=False
    std::vector<TSourceLine> lines;  ///< origin of each script line (index = 0-based line)

    /// Where 0-based script line came from; the last known origin past the end.
    TSourceLine SourceOf(unsigned scriptLine) const;
};

class TPageTranslator {
public:
    /// Reads a file of the site by its site path; nullopt when there is none.
    using TLoader = std::function<std::optional<std::string>(const std::string& sitePath)>;

    explicit TPageTranslator(TLoader loader) : loader_(std::move(loader)) {}

    /// The program of the page at sitePath.
    TTranslatedPage Translate(const std::string& sitePath) const;

    static constexpr int kMaxIncludeDepth = 16;

    /// The name under which the program expects the deadline check of its loops: an object
    /// whose Expired property is False while the script has time left.
    static constexpr const char* kLoopCheckName = "AspServeLoopCheck";

private:
    struct TState;
    void TranslateFile(TState& state, const std::string& sitePath, int depth) const;

    TLoader loader_;
};

} // namespace aspserve
