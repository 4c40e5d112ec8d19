// OutputDebugStringW, and the test hook that sees what it is given. Windows hands the text to an
// attached debugger and drops it otherwise; the stand-in drops it unless a hook is installed.
//
//   platform::SetDebugOutputHook([](const WCHAR* text) { lines.push_back(text); });
//   ...
//   platform::SetDebugOutputHook(nullptr);
//
// Contract: the hook is process-wide and is called on the thread that called OutputDebugStringW,
// once per call, with the whole string; never twice at once (calls are serialised).
#pragma once

#include "platform/posix/types.h"

#include <functional>

EXTERN_C void OutputDebugStringW(LPCWSTR lpOutputString);

namespace platform {

/// Receives every OutputDebugStringW text from now on; an empty function removes the hook.
void SetDebugOutputHook(std::function<void(const WCHAR*)> hook);

} // namespace platform
