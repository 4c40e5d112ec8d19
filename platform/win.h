// The one include through which product code reaches the Windows API: the SDK on Windows, the
// POSIX stand-in (platform/posix/) elsewhere. Also defines WideString, the code base's one wide
// string type (UTF-16 on both platforms).
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <objbase.h>
#include <process.h>
#include <io.h>
#include <fcntl.h>
#include <share.h>
#include <sys/stat.h>
#else
#include "platform/posix/windows_api.h"
#endif

#include <string>

using WideString = std::basic_string<OLECHAR>;
