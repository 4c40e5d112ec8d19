// Stand-in for the SDK header of the same name: the whole POSIX stand-in of the Windows API.
#pragma once
#include "platform/posix/windows_api.h"
