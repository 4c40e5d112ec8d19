// Percent-encoding as URLs and HTML forms use it: decoding a query string or an
// application/x-www-form-urlencoded body into name/value pairs, and encoding bytes for a URL.
//
//   auto pairs = host::ParseUrlEncoded("a=1&b=x+y%21");   // {{"a","1"},{"b","x y!"}}
//   std::optional<std::string> path = host::PercentDecode("/a%20b", false);   // "/a b"
//   std::string query = host::UrlEncode("x y&z");          // "x+y%26z"
//
// All strings are bytes; turning them into text is the caller's business (its code page).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace host {

/// text with every %XX replaced by its byte (and '+' by a space when plusIsSpace); nullopt when
/// a '%' is not followed by two hexadecimal digits.
std::optional<std::string> PercentDecode(std::string_view text, bool plusIsSpace);

/// The name/value pairs of a query string or form body, in order, names and values decoded.
/// Pieces without '=' give an empty value; empty pieces are skipped; a bad %-escape keeps the
/// piece's text as it was sent.
std::vector<std::pair<std::string, std::string>> ParseUrlEncoded(std::string_view text);

/// bytes encoded for a query string: letters, digits and "-_.*" as they are, a space as '+',
/// every other byte as %XX (upper-case hexadecimal).
std::string UrlEncode(std::string_view bytes);

} // namespace host
