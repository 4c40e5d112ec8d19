// The stand-in's types as Windows has them, checked whenever the stand-in is compiled: a change to
// one of its types or structures that moves away from the Windows ABI stops the build here. On
// Windows the SDK's own types are these facts, so nothing needs checking there.
#include "platform/win.h"

#include <cstddef>
#include <type_traits>

// 32-bit DWORD and LONG arithmetic, also on LP64: tick counts wrap modulo 2^32, and a deadline just
// past the wrap is still ahead through the signed difference.
static_assert(sizeof(DWORD) == 4 && std::is_unsigned_v<DWORD>);
static_assert(sizeof(ULONG) == 4 && std::is_unsigned_v<ULONG>);
static_assert(sizeof(LONG) == 4 && std::is_signed_v<LONG>);
static_assert(static_cast<DWORD>(DWORD{0xFFFFFF00u} + DWORD{0x200}) == DWORD{0x100});
static_assert(static_cast<LONG>(DWORD{0x00000010u} - DWORD{0xFFFFFFF0u}) > 0);
static_assert(static_cast<ULONG>(ULONG{0} - 1) == ULONG{0xFFFFFFFFu});

// OLE strings are UTF-16: one unit for U+00E9, a surrogate pair for U+1F600.
static_assert(sizeof(OLECHAR) == 2 && std::is_same_v<WideString::value_type, OLECHAR>);
static_assert(sizeof(OLESTR("\u00E9\U0001F600")) == 4 * sizeof(OLECHAR));
static_assert(OLESTR("\u00E9\U0001F600")[0] == 0x00E9 && OLESTR("\u00E9\U0001F600")[1] == 0xD83D &&
              OLESTR("\u00E9\U0001F600")[2] == 0xDE00);

// Automation booleans and failure codes.
static_assert(sizeof(VARIANT_BOOL) == 2 && VARIANT_TRUE == -1 && static_cast<unsigned short>(VARIANT_TRUE) == 0xFFFFu);
static_assert(sizeof(HRESULT) == 4 && E_FAIL < 0 && FAILED(E_FAIL) && SUCCEEDED(S_FALSE));
static_assert(HRESULT_FROM_WIN32(ERROR_FILE_EXISTS) == static_cast<HRESULT>(0x80070050));

// Layouts the stand-in builds itself (a GUID, a union, a packed decimal).
static_assert(sizeof(GUID) == 16 && offsetof(GUID, Data4) == 8);
static_assert(sizeof(VARIANT) == (sizeof(void*) == 8 ? 24 : 16) && offsetof(VARIANT, lVal) == 8);
static_assert(sizeof(DECIMAL) == 16);
