// The HTTP token: what a request method and a header field name must be (RFC 9110, section 5.6.2):
// one or more letters, digits or any of !#$%&'*+-.^_`|~ — no space, control character, separator
// such as ( ) , / : ; < = > ? @ [ \ ] { } ", nor any byte above 0x7E.
//
//   host::IsHttpToken("X-Upload-Id");   // true
//   host::IsHttpToken("Bad Name");      // false
#pragma once

#include <string_view>

namespace host {

/// True when text is a non-empty HTTP token.
bool IsHttpToken(std::string_view text) noexcept;

} // namespace host
