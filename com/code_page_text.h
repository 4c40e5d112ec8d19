// Conversions between UTF-16 text and the bytes of a Windows code page, through
// MultiByteToWideChar and WideCharToMultiByte without flags (bytes a code page does not define and
// characters it lacks become its replacement characters, as the system does it). Each answers
// nullopt when the system cannot convert: a code page it does not know, or text longer than its
// int sizes allow. Empty input converts to empty output. What a caller does with a failure (an
// error, an empty string, another reading of the bytes) is the caller's own.
//
//   std::optional<WideString> name = com::WidenText(bytes, CP_UTF8);
//   std::string out = com::NarrowText(text, codePage).value_or(std::string());
#pragma once

#include "platform/win.h"

#include <optional>
#include <string>
#include <string_view>

namespace com {

/// bytes decoded with codePage; nullopt when the system cannot convert them.
std::optional<WideString> WidenText(std::string_view bytes, UINT codePage);

/// text encoded with codePage; nullopt when the system cannot convert it.
std::optional<std::string> NarrowText(std::basic_string_view<OLECHAR> text, UINT codePage);

} // namespace com
