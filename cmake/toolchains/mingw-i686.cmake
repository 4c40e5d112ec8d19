# Cross build for 32-bit Windows (the product) with Debian's mingw-w64 (posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KESTRUNE_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(KESTRUNE_WIDL_ARCH --win32)
set(KESTRUNE_WINE_LIBDIR /usr/lib/i386-linux-gnu/wine/i386-windows)
# SSE2 doubles instead of x87 extended precision: the x86 DLL then computes speeds and time-left
# estimates to the same bits as the x64 DLL and the native build.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
