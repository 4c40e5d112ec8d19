#include "tools/aspserve/page_translator.h"

#include "com/ascii_case.h"
#include "host/site_path.h"
#include "tools/aspserve/loop_end_scanner.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace aspserve {

namespace {

unsigned CountLines(std::string_view text) noexcept
{
    return static_cast<unsigned>(std::count(text.begin(), text.end(), '\n'));
}

std::string Where(const std::string& page, unsigned line)
{
    return page + "(" + std::to_string(line) + ")";
}

// name=value pairs of a directive or an include; values quoted with " or ' or bare.
std::vector<std::pair<std::string, std::string>> Attributes(std::string_view text)
{
    std::vector<std::pair<std::string, std::string>> result;
    std::size_t i = 0;
    auto skipSpace = [&] {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
    };
    while (true) {
        skipSpace();
        const std::size_t nameStart = i;
        while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_'))
            ++i;
        if (i == nameStart)
            break;
        std::string name(text.substr(nameStart, i - nameStart));
        skipSpace();
        std::string value;
        if (i < text.size() && text[i] == '=') {
            ++i;
            skipSpace();
            if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
                const char quote = text[i++];
                const std::size_t end = text.find(quote, i);
                value = std::string(text.substr(i, end - i));
                i = end == std::string_view::npos ? text.size() : end + 1;
            } else {
                const std::size_t start = i;
                while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])))
                    ++i;
                value = std::string(text.substr(start, i - start));
            }
        }
        result.emplace_back(std::move(name), std::move(value));
    }
    return result;
}

// The site path an include directive names (its attributes: text between "<!--#include" and
// "-->"), for an include in includingPage at where.
std::string IncludeTarget(std::string_view directive, const std::string& includingPage, const std::string& where)
{
    const auto attributes = Attributes(directive);
    if (attributes.size() != 1 || !(com::EqualsIgnoringAsciiCase(attributes[0].first, "file") ||
                                    com::EqualsIgnoringAsciiCase(attributes[0].first, "virtual")))
        throw ETranslationError(where + ": include needs file=\"...\" or virtual=\"...\"");
    const bool isVirtual = com::EqualsIgnoringAsciiCase(attributes[0].first, "virtual");
    const std::optional<std::string> target = host::SitePathOfInclude(includingPage, attributes[0].second, isVirtual);
    if (!target)
        throw ETranslationError(where + ": include outside the site: " + attributes[0].second);
    return *target;
}

// What the page's "<%@ ... %>" directive (its attributes) sets: the language must be VBScript; the
// code page and the session state go to page.
void ApplyDirective(std::string_view attributes, const std::string& where, TTranslatedPage& page)
{
    for (const auto& [name, value] : Attributes(attributes)) {
        if (com::EqualsIgnoringAsciiCase(name, "Language")) {
            if (!com::EqualsIgnoringAsciiCase(value, "VBScript"))
                throw ETranslationError(where + ": the language " + value + " is not supported; pages are VBScript");
        } else if (com::EqualsIgnoringAsciiCase(name, "CodePage")) {
            const bool digits = !value.empty() && value.size() <= 5 &&
                                std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (!digits)
                throw ETranslationError(where + ": bad CodePage " + value);
            page.codePage = std::stoi(value);
        } else if (com::EqualsIgnoringAsciiCase(name, "EnableSessionState")) {
            if (!com::EqualsIgnoringAsciiCase(value, "True") && !com::EqualsIgnoringAsciiCase(value, "False"))
                throw ETranslationError(where + ": EnableSessionState is True or False, not " + value);
            page.sessionState = com::EqualsIgnoringAsciiCase(value, "True");
        }
    }
}

} // namespace

TSourceLine TTranslatedPage::SourceOf(unsigned scriptLine) const
{
    if (lines.empty())
        return {std::string(), 0};
    return lines[std::min<std::size_t>(scriptLine, lines.size() - 1)];
}

bool IsOptionExplicit(std::string_view line) noexcept
{
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front())))
        line.remove_prefix(1);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.remove_suffix(1);
    if (!line.empty() && line.back() == ':')
        line.remove_suffix(1);
    const std::size_t space = line.find_first_of(" \t");
    if (space == std::string_view::npos)
        return false;
    std::string_view second = line.substr(space);
    while (!second.empty() && std::isspace(static_cast<unsigned char>(second.front())))
        second.remove_prefix(1);
    return com::EqualsIgnoringAsciiCase(line.substr(0, space), "Option") &&
           com::EqualsIgnoringAsciiCase(second, "Explicit");
}

// The deadline check in front of a statement that closes a loop of kind.
std::string LoopCheck(TLoopEnd::Kind kind)
{
    const std::string check = std::string(TPageTranslator::kLoopCheckName) + ".Expired";
    switch (kind) {
    case TLoopEnd::Kind::Do: return "If " + check + " Then Exit Do";
    case TLoopEnd::Kind::For: return "If " + check + " Then Exit For";
    case TLoopEnd::Kind::While: break;
    }
    return check;
}

// text without the blanks and the one ':' that end it (what stays of a line cut before a statement).
std::string_view WithoutTrailingSeparator(std::string_view text)
{
    auto trim = [&] {
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
            text.remove_suffix(1);
    };
    trim();
    if (!text.empty() && text.back() == ':')
        text.remove_suffix(1);
    trim();
    return text;
}

struct TPageTranslator::TState {
    TTranslatedPage page;
    bool directiveSeen = false;
    std::optional<TSourceLine> optionExplicit; // where the page asked for it
    TLoopEndScanner loopEnds;

    void EmitLine(std::string_view text, const std::string& file, unsigned line)
    {
        page.script.append(text);
        page.script += "\r\n";
        page.lines.push_back({file, line});
    }

    // Emits code; the page's own code (not the writes the translator makes) gets its loop checks.
    void Emit(std::string_view code, const std::string& file, unsigned line, bool pageCode = false)
    {
        while (true) {
            const std::size_t end = code.find('\n');
            std::string_view one = code.substr(0, end);
            if (!one.empty() && one.back() == '\r')
                one.remove_suffix(1);
            if (IsOptionExplicit(one)) {
                // It must open the program, before the writes of any literal text above it.
                if (!optionExplicit)
                    optionExplicit = TSourceLine{file, line};
                one = {};
            }
            std::size_t done = 0;
            if (pageCode) {
                for (const TLoopEnd& loopEnd : loopEnds.Scan(one)) {
                    const std::string_view before = WithoutTrailingSeparator(one.substr(done, loopEnd.position - done));
                    if (!before.empty())
                        EmitLine(before, file, line);
                    EmitLine(LoopCheck(loopEnd.kind), file, line);
                    done = loopEnd.position;
                }
            }
            EmitLine(one.substr(done), file, line++);
            if (end == std::string_view::npos)
                break;
            code.remove_prefix(end + 1);
        }
    }

    void EmitLiteral(std::string& literal, const std::string& file, unsigned line)
    {
        if (literal.empty())
            return;
        Emit("Response.WriteBlock " + std::to_string(page.blocks.size()), file, line);
        page.blocks.push_back(std::move(literal));
        literal.clear();
    }

    // A "<% ... %>" block (inner: the text between the delimiters) at line of file, included at
    // depth, after the literal text before it (from literalLine on): the page's directive, an
    // expression to write, or code.
    void EmitBlock(std::string_view inner, std::string& literal, unsigned literalLine, const std::string& file,
                   unsigned line, int depth)
    {
        if (!inner.empty() && inner.front() == '@') {
            if (directiveSeen || depth > 0)
                throw ETranslationError(Where(file, line) + ": only the page's first block may be a <%@ directive");
            ApplyDirective(inner.substr(1), Where(file, line), page);
        } else {
            EmitLiteral(literal, file, literalLine);
            if (!inner.empty() && inner.front() == '=')
                Emit("Response.Write(" + std::string(inner.substr(1)) + ")", file, line);
            else
                Emit(inner, file, line, true);
        }
        directiveSeen = true;
    }
};

TTranslatedPage TPageTranslator::Translate(const std::string& sitePath) const
{
    TState state;
    TranslateFile(state, sitePath, 0);
    if (state.optionExplicit) {
        state.page.script.insert(0, "Option Explicit\r\n");
        state.page.lines.insert(state.page.lines.begin(), *state.optionExplicit);
    }
    return std::move(state.page);
}

void TPageTranslator::TranslateFile(TState& state, const std::string& sitePath, int depth) const
{
    const std::optional<std::string> content = loader_(sitePath);
    if (!content)
        throw ETranslationError(sitePath + ": file not found");
    std::string_view text(*content);
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);

    static constexpr std::string_view kOpen = "<%";
    static constexpr std::string_view kClose = "%>";
    static constexpr std::string_view kInclude = "<!--#include";
    unsigned line = 1;
    std::string literal;
    unsigned literalLine = 1;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t code = text.find(kOpen, pos);
        const std::size_t include = text.find(kInclude, pos);
        const std::size_t next = std::min(code, include);
        if (literal.empty())
            literalLine = line;
        literal.append(text.substr(pos, next - pos));
        line += CountLines(text.substr(pos, next - pos));
        if (next == std::string_view::npos)
            break;

        if (next == include) {
            const std::size_t end = text.find("-->", include);
            if (end == std::string_view::npos)
                throw ETranslationError(Where(sitePath, line) + ": include directive without -->");
            const std::string target =
                IncludeTarget(text.substr(include + kInclude.size(), end - include - kInclude.size()), sitePath,
                              Where(sitePath, line));
            if (depth + 1 >= kMaxIncludeDepth)
                throw ETranslationError(Where(sitePath, line) + ": includes nested too deep");
            state.EmitLiteral(literal, sitePath, literalLine);
            TranslateFile(state, target, depth + 1);
            line += CountLines(text.substr(include, end + 3 - include));
            pos = end + 3;
            continue;
        }

        const std::size_t close = text.find(kClose, code + kOpen.size());
        if (close == std::string_view::npos)
            throw ETranslationError(Where(sitePath, line) + ": <% without %>");
        state.EmitBlock(text.substr(code + kOpen.size(), close - code - kOpen.size()), literal, literalLine, sitePath,
                        line, depth);
        line += CountLines(text.substr(code, close + kClose.size() - code));
        pos = close + kClose.size();
    }
    state.EmitLiteral(literal, sitePath, literalLine);
}

} // namespace aspserve
