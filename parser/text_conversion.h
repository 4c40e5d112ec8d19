#pragma once
// Conversions of posted bytes to wide (UTF-16) text. Each raises EStrConversion when it cannot
// convert its input; the posted-text converter chains them.
//
//   WideString name = textconv::Utf8ToWide(bytes);
//   std::vector<OLECHAR> buffer(bytes.size());                 // a value: the caller owns the room
//   buffer.resize(textconv::Utf8ToWideInto(bytes, buffer.data()));
//
// Contract: an ...Into form writes into room for text.size() units (CodePageToWideInto: for
// CodePageUnits(text, codePage) units) and returns how many it wrote; on failure the room holds
// unspecified units. The forms that return a string are the same conversion into a new string.

#include <cstddef>
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
std::size_t AsciiToWideInto(std::string_view text, OLECHAR* out);
/// Lower-cases A-Z in place; fails on any byte of 0x80 or above.
void AsciiToLower(std::string& text);
/// Strict UTF-8 over the whole string; characters beyond U+FFFF become surrogate pairs.
/// Overlong forms, encoded surrogates, values above U+10FFFF and cut sequences fail.
WideString Utf8ToWide(std::string_view text);
std::size_t Utf8ToWideInto(std::string_view text, OLECHAR* out);
/// The bytes before the first zero byte, through the platform's conversion for `codePage`.
WideString CodePageToWide(std::string_view text, std::int32_t codePage);
/// How many units CodePageToWide gives for `text`; fails as it does.
std::size_t CodePageUnits(std::string_view text, std::int32_t codePage);
std::size_t CodePageToWideInto(std::string_view text, std::int32_t codePage, OLECHAR* out, std::size_t units);
/// ASCII text with decimal character references (&#233;) decoded; fails unless IsAscii.
WideString AsciiRefsToWide(std::string_view text);
std::size_t AsciiRefsToWideInto(std::string_view text, OLECHAR* out);
/// Decodes decimal character references in wide text; never fails.
WideString DecodeCharRefs(std::basic_string_view<OLECHAR> text);
/// The same in place, over text[0, length); returns the new length (never more than length).
std::size_t DecodeCharRefsInPlace(OLECHAR* text, std::size_t length);
/// One unit per byte, byte value kept (0x80-0xFF become U+0080-U+00FF); never fails.
WideString WidenBytes(std::string_view text);
std::size_t WidenBytesInto(std::string_view text, OLECHAR* out);

} // namespace textconv
