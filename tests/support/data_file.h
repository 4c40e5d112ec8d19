#pragma once
// Reading the test data files written as text (the hostile recipes, the parser cases): their
// lines, with blanks around them, blank lines and '#' comment lines left out; double-quoted
// literals with the escapes \r \n \t \0 \" \\ and \xHH, so that any byte fits on one line; and one
// error that names the file and line of a mistake.
//
//   testing_support::ForEachDataLine(file, [&](int number, const std::string& line) {
//       std::string bytes;
//       if (testing_support::ReadQuotedLiteral(line, 0, bytes) == std::string::npos)
//           testing_support::DataFileMistake(file, number, "expected a literal");
//   });

#include <charconv>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace testing_support {

/// Throws std::runtime_error "FILE:LINE: what".
[[noreturn]] inline void DataFileMistake(const std::filesystem::path& file, int line, const std::string& what)
{
    throw std::runtime_error(file.string() + ":" + std::to_string(line) + ": " + what);
}

/// Calls onLine(number, line) for every line of `file` that holds more than blanks and is no
/// comment, without its leading blanks and its trailing blanks and CR; numbers count from 1.
/// Throws std::runtime_error when the file cannot be read.
template <class OnLine>
void ForEachDataLine(const std::filesystem::path& file, OnLine&& onLine)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + file.string());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
            line.pop_back();
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos || line[start] == '#')
            continue;
        onLine(number, line.substr(start));
    }
}

/// Reads the literal that starts at text[at] (after any spaces) and appends its bytes to out.
/// Returns the position after its closing quote, or std::string::npos when there is no literal
/// there, an escape is unknown or the quote is never closed.
inline std::size_t ReadQuotedLiteral(const std::string& text, std::size_t at, std::string& out)
{
    while (at < text.size() && text[at] == ' ')
        ++at;
    if (at >= text.size() || text[at] != '"')
        return std::string::npos;
    for (++at; at < text.size(); ++at) {
        char c = text[at];
        if (c == '"')
            return at + 1;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++at >= text.size())
            return std::string::npos;
        switch (text[at]) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case 'x': {
            // Exactly two hexadecimal digits.
            unsigned byte = 0;
            const char* digits = text.data() + at + 1;
            if (at + 2 >= text.size() || std::from_chars(digits, digits + 2, byte, 16).ptr != digits + 2)
                return std::string::npos;
            out += static_cast<char>(byte);
            at += 2;
            break;
        }
        default: return std::string::npos;
        }
    }
    return std::string::npos;
}

} // namespace testing_support
