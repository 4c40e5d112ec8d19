// Conversion of the bytes of an HTTP head (method, header values) to the wide strings that the
// server variables return, with the ANSI code page, the one the component converts back with.
#pragma once

#include "platform/win.h"

#include <string_view>

namespace host {

/// text decoded with CP_ACP; throws std::runtime_error if the system cannot convert it.
WideString WidenAnsi(std::string_view text);

} // namespace host
