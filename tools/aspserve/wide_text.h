// Conversions between wide text and bytes in a code page, for the server's Windows side (file
// names, page text, log lines). Text that does not convert comes back empty.
//
//   std::wstring name = aspserve::WidenText(sitePath, CP_UTF8);
//   std::string log = aspserve::NarrowText(description, CP_UTF8);
#pragma once

#include "platform/win.h"

#include <string>
#include <string_view>

namespace aspserve {

/// bytes decoded with codePage.
std::wstring WidenText(std::string_view bytes, UINT codePage);

/// text encoded with codePage.
std::string NarrowText(std::wstring_view text, UINT codePage);

} // namespace aspserve
