#pragma once
// Conversions of posted bytes to wide (UTF-16) text. Each raises EStrConversion when it cannot
// convert its input; the posted-text converter chains them.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win.h"

namespace textconv {

class EStrConversion {};

/// True when no byte before the first zero byte is 0x80 or above.
bool IsAscii(std::string_view text);
/// Each byte to the 16-bit unit of the same value; fails unless IsAscii.
WideString AsciiToWide(std::string_view text);
/// Lower-cases A-Z in place; fails on any byte of 0x80 or above.
void AsciiToLower(std::string& text);
/// Strict UTF-8 over the whole string; characters beyond U+FFFF become surrogate pairs.
/// Overlong forms, encoded surrogates, values above U+10FFFF and cut sequences fail.
WideString Utf8ToWide(std::string_view text);
/// The bytes before the first zero byte, through the platform's conversion for `codePage`.
WideString CodePageToWide(std::string_view text, std::int32_t codePage);
/// ASCII text with decimal character references (&#233;) decoded; fails unless IsAscii.
WideString AsciiRefsToWide(std::string_view text);
/// Decodes decimal character references in wide text; never fails.
WideString DecodeCharRefs(std::basic_string_view<OLECHAR> text);
/// One unit per byte, byte value kept (0x80-0xFF become U+0080-U+00FF); never fails.
WideString WidenBytes(std::string_view text);

} // namespace textconv
