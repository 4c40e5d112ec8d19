#pragma once
// TParseCase: one case of tests/data/parser/*.case, a request body with, beside it, the fields the
// parser must deliver from it, in order, however the body arrives in chunks.
//
//   # what the case shows ('#' starts a comment line, also between body lines)
//   boundary: XyZzy42
//   text: "title" "Holiday"                                   (name, content)
//   text: "first_wins" "5" type "text/a"                      (with its Content-Type)
//   file: "photo" "C:\\beach.jpg" "\xFF\xD8" type "image/jpeg"  (name, client file name, content)
//   body:
//   "--XyZzy42\r\n"                                           (each further line: bytes of the body)
//
// Texts are double-quoted literals (testing_support::ReadQuotedLiteral). A case without text: or
// file: lines expects no field at all. Load throws std::runtime_error naming the file and line of
// a mistake.

#include "tests/unit/parser/parse_harness.h"

#include <filesystem>
#include <string>
#include <vector>

namespace parser_test {

struct TParseCase {
    std::string name; // the file's stem
    std::string boundary;
    std::vector<TField> fields;
    std::string body;

    static TParseCase Load(const std::filesystem::path& file);
};

/// Every *.case file of `folder`, in name order.
std::vector<std::filesystem::path> ParseCaseFiles(const std::filesystem::path& folder);

} // namespace parser_test
