#include "tools/aspserve/loop_end_scanner.h"

#include <optional>

namespace aspserve {

namespace {

bool IsLetter(char c) noexcept
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsNameChar(char c) noexcept
{
    return IsLetter(c) || (c >= '0' && c <= '9') || c == '_';
}

bool IsBlank(char c) noexcept
{
    return c == ' ' || c == '\t';
}

bool SameWord(std::string_view word, std::string_view keyword) noexcept
{
    if (word.size() != keyword.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if ((word[i] | 0x20) != keyword[i])
            return false;
    return true;
}

std::optional<TLoopEnd::Kind> LoopEndOf(std::string_view word) noexcept
{
    if (SameWord(word, "loop"))
        return TLoopEnd::Kind::Do;
    if (SameWord(word, "next"))
        return TLoopEnd::Kind::For;
    if (SameWord(word, "wend"))
        return TLoopEnd::Kind::While;
    return std::nullopt;
}

// True when the line, without trailing blanks, ends in a continuation: '_' after a blank.
bool EndsContinued(std::string_view code) noexcept
{
    while (!code.empty() && (IsBlank(code.back()) || code.back() == '\r'))
        code.remove_suffix(1);
    return !code.empty() && code.back() == '_' && (code.size() == 1 || IsBlank(code[code.size() - 2]));
}

} // namespace

std::vector<TLoopEnd> TLoopEndScanner::Scan(std::string_view line)
{
    std::vector<TLoopEnd> ends;
    bool statementStart = !continued_;
    bool singleLineIf = false;
    std::size_t codeEnd = line.size(); // where a comment starts
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (statementStart) {
            if (IsBlank(c)) {
                ++i;
                continue;
            }
            statementStart = false;
            if (IsLetter(c)) {
                std::size_t end = i;
                while (end < line.size() && IsNameChar(line[end]))
                    ++end;
                const std::string_view word = line.substr(i, end - i);
                if (const auto kind = LoopEndOf(word))
                    ends.push_back({i, *kind});
                if (SameWord(word, "rem")) {
                    codeEnd = i;
                    break;
                }
                i = end;
                continue;
            }
        }
        if (c == '"' || c == '#' || c == '[') {
            // A string ("" inside it is a quote), a date literal or a bracketed name: skipped whole.
            const char close = c == '[' ? ']' : c;
            std::size_t end = i + 1;
            while (end < line.size()) {
                if (line[end] == close) {
                    if (close == '"' && end + 1 < line.size() && line[end + 1] == '"') {
                        end += 2;
                        continue;
                    }
                    break;
                }
                ++end;
            }
            i = end + 1;
            continue;
        }
        if (c == '\'') {
            codeEnd = i;
            break;
        }
        if (c == ':' && !singleLineIf)
            statementStart = true;
        if (IsLetter(c)) {
            const std::size_t start = i;
            while (i < line.size() && IsNameChar(line[i]))
                ++i;
            // "If c Then a : Loop" makes Loop part of the If: nothing after Then on the line is
            // a statement of its own, so nothing there gets a check put in front of it.
            if (SameWord(line.substr(start, i - start), "then")) {
                std::size_t rest = i;
                while (rest < line.size() && (IsBlank(line[rest]) || line[rest] == '\r'))
                    ++rest;
                singleLineIf = rest < line.size() && line[rest] != '\'';
            }
            continue;
        }
        ++i;
    }
    continued_ = EndsContinued(line.substr(0, codeEnd));
    return ends;
}

} // namespace aspserve
