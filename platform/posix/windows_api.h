// The POSIX stand-in of the Windows API: everything the product calls, with Windows' names,
// types, error codes and behaviour. Product code includes "platform/win.h", not this file.
#pragma once

#include "platform/posix/types.h"
#include "platform/posix/guid.h"
#include "platform/posix/automation_types.h"
#include "platform/posix/com.h"
#include "platform/posix/automation.h"
#include "platform/posix/kernel.h"
#include "platform/posix/messages.h"
#include "platform/posix/files.h"
#include "platform/posix/codepages.h"
#include "platform/posix/registry.h"
#include "platform/posix/debug_output.h"
