#include "tests/unit/parser/parse_case.h"

#include "tests/support/data_file.h"

#include <algorithm>
#include <stdexcept>

namespace parser_test {

namespace {

// Reads the field of a "text:" or "file:" line from `text` (what follows the colon).
TField ReadField(const std::filesystem::path& file, int number, bool isFile, const std::string& text)
{
    std::vector<std::string> literals(isFile ? 3 : 2);
    std::size_t at = 0;
    for (auto& literal : literals) {
        at = testing_support::ReadQuotedLiteral(text, at, literal);
        if (at == std::string::npos)
            testing_support::DataFileMistake(file, number,
                                             isFile ? "expected: \"name\" \"file name\" \"content\" [type \"type\"]"
                                                    : "expected: \"name\" \"content\" [type \"type\"]");
    }
    std::string contentType;
    const std::size_t type = text.find_first_not_of(' ', at);
    if (type != std::string::npos) {
        if (text.compare(type, 5, "type ") != 0)
            testing_support::DataFileMistake(file, number, "expected type \"...\" or the end of the line");
        at = testing_support::ReadQuotedLiteral(text, type + 5, contentType);
        if (at == std::string::npos || text.find_first_not_of(' ', at) != std::string::npos)
            testing_support::DataFileMistake(file, number, "expected one quoted type at the end of the line");
    }
    return isFile ? File(literals[0], literals[1], literals[2], contentType)
                  : Text(literals[0], literals[1], contentType);
}

} // namespace

TParseCase TParseCase::Load(const std::filesystem::path& file)
{
    TParseCase c;
    c.name = file.stem().string();
    bool inBody = false;
    testing_support::ForEachDataLine(file, [&](int number, const std::string& line) {
        if (inBody) {
            const std::size_t end = testing_support::ReadQuotedLiteral(line, 0, c.body);
            if (end != line.size())
                testing_support::DataFileMistake(file, number, "expected one quoted literal of the body");
            return;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            testing_support::DataFileMistake(file, number, "expected 'key: value'");
        const std::string key = line.substr(0, colon);
        const std::string value = line.substr(colon + 1);
        if (key == "boundary")
            c.boundary = value.substr(std::min(value.find_first_not_of(' '), value.size()));
        else if (key == "text" || key == "file")
            c.fields.push_back(ReadField(file, number, key == "file", value));
        else if (key == "body")
            inBody = true;
        else
            testing_support::DataFileMistake(file, number, "unknown key " + key);
    });
    if (c.boundary.empty() || !inBody)
        throw std::runtime_error(file.string() + ": a case needs a boundary and a body");
    return c;
}

std::vector<std::filesystem::path> ParseCaseFiles(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".case")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace parser_test
