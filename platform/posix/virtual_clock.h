// Test hook: runs GetTickCount on a virtual clock so that long timeouts can be tested without
// waiting. Advancing the clock wakes threads blocked in GetMessageW or WaitMessage so that their
// due timers fire.
#pragma once

#include "platform/posix/types.h"

namespace platform {

/// Switches GetTickCount between the virtual clock (true) and real time (false). Switching on
/// starts the virtual clock at the current real tick count.
void UseVirtualClock(bool on);
/// True while the virtual clock is in use.
bool IsVirtualClock();
/// Moves the virtual clock forward by ms (wrapping at 2^32) and wakes waiting message loops.
void AdvanceTickCount(DWORD ms);
/// Sets the virtual clock to an absolute value (for example just below the wrap).
void SetTickCount(DWORD ticks);

} // namespace platform
