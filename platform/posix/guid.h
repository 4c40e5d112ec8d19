// GUID, IID and CLSID of the POSIX stand-in, with DEFINE_GUID working as in the SDK: a
// declaration normally, a (weak) definition after <initguid.h>.
#include "platform/posix/types.h"

#if !defined(_WIN32) && !defined(KESTRUNE_POSIX_GUID_TYPES)
#define KESTRUNE_POSIX_GUID_TYPES

#ifndef GUID_DEFINED
#define GUID_DEFINED
typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;
#endif

typedef GUID IID;
typedef GUID CLSID;
typedef GUID* LPGUID;
typedef const GUID* LPCGUID;
typedef IID* LPIID;
typedef CLSID* LPCLSID;
#ifdef __cplusplus
#define REFGUID const GUID&
#define REFIID const IID&
#define REFCLSID const IID&
#define REFFMTID const IID&
#else
#define REFGUID const GUID*
#define REFIID const IID*
#define REFCLSID const IID*
#endif

#ifdef __cplusplus
#include <cstring>

/// True when both GUIDs have the same 16 bytes.
inline bool IsEqualGUID(REFGUID a, REFGUID b) noexcept
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool InlineIsEqualGUID(REFGUID a, REFGUID b) noexcept
{
    return IsEqualGUID(a, b);
}
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
inline bool operator==(REFGUID a, REFGUID b) noexcept
{
    return IsEqualGUID(a, b);
}
inline bool operator!=(REFGUID a, REFGUID b) noexcept
{
    return !IsEqualGUID(a, b);
}
#endif

#endif // GUID types

// DEFINE_GUID is redefined on every inclusion so that <initguid.h> can switch it to definitions.
#ifndef _WIN32
#undef DEFINE_GUID
#ifdef INITGUID
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    EXTERN_C const GUID DECLSPEC_SELECTANY name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#else
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) EXTERN_C const GUID name
#endif
#define DEFINE_OLEGUID(name, l, w1, w2) DEFINE_GUID(name, l, w1, w2, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)
#endif
