// GUID creation and the registry text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include "platform/posix/com.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <random>
#include <pthread.h>
#include <sys/random.h>

namespace {

constexpr int kGuidTextLength = 38;

int HexValue(OLECHAR c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

/// Reads n hex digits at text; false on anything else.
bool ReadHex(const OLECHAR* text, int n, uint32_t& value)
{
    value = 0;
    for (int i = 0; i < n; ++i) {
        int v = HexValue(text[i]);
        if (v < 0)
            return false;
        value = (value << 4) | static_cast<uint32_t>(v);
    }
    return true;
}

HRESULT ParseGuid(LPCOLESTR text, GUID* out)
{
    if (!text || !out)
        return E_INVALIDARG;
    for (int i = 0; i < kGuidTextLength; ++i)
        if (!text[i])
            return CO_E_CLASSSTRING;
    if (text[0] != u'{' || text[9] != u'-' || text[14] != u'-' || text[19] != u'-' || text[24] != u'-' ||
        text[37] != u'}' || text[38] != 0)
        return CO_E_CLASSSTRING;
    uint32_t v;
    GUID g{};
    if (!ReadHex(text + 1, 8, v))
        return CO_E_CLASSSTRING;
    g.Data1 = v;
    if (!ReadHex(text + 10, 4, v))
        return CO_E_CLASSSTRING;
    g.Data2 = static_cast<uint16_t>(v);
    if (!ReadHex(text + 15, 4, v))
        return CO_E_CLASSSTRING;
    g.Data3 = static_cast<uint16_t>(v);
    const int offsets[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(text + offsets[i], 2, v))
            return CO_E_CLASSSTRING;
        g.Data4[i] = static_cast<uint8_t>(v);
    }
    *out = g;
    return S_OK;
}

} // namespace

namespace {

// Bumped in a forked child, so that it never hands out the GUIDs its parent will.
std::atomic<unsigned> g_forks{0};
const int g_forkHook = pthread_atfork(nullptr, nullptr, [] { ++g_forks; });

// Random bytes for GUIDs, drawn from the kernel a block at a time: one system call per 32 GUIDs
// rather than one each, which shows when every uploaded file gets a GUID-named temporary file.
void NextRandomBytes(unsigned char (&out)[16])
{
    thread_local unsigned char pool[512];
    thread_local std::size_t used = sizeof pool;
    thread_local unsigned forks = 0;
    if (used == sizeof pool || forks != g_forks.load()) {
        forks = g_forks.load();
        if (getrandom(pool, sizeof pool, 0) != static_cast<ssize_t>(sizeof pool)) {
            std::random_device device;
            for (auto& b : pool)
                b = static_cast<unsigned char>(device());
        }
        used = 0;
    }
    std::memcpy(out, pool + used, sizeof out);
    // Handed-out bytes are not kept around.
    std::memset(pool + used, 0, sizeof out);
    used += sizeof out;
}

} // namespace

HRESULT CoCreateGuid(GUID* pguid)
{
    if (!pguid)
        return E_INVALIDARG;
    unsigned char bytes[16];
    NextRandomBytes(bytes);
    GUID g;
    g.Data1 = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
    g.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    g.Data3 = static_cast<uint16_t>((((bytes[6] << 8) | bytes[7]) & 0x0FFF) | 0x4000); // version 4
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = bytes[8 + i];
    g.Data4[0] = static_cast<uint8_t>((g.Data4[0] & 0x3F) | 0x80); // RFC 4122 variant
    *pguid = g;
    return S_OK;
}

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax)
{
    if (!lpsz || cchMax < kGuidTextLength + 1)
        return 0;
    char text[kGuidTextLength + 1];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", rguid.Data1, rguid.Data2,
                  rguid.Data3, rguid.Data4[0], rguid.Data4[1], rguid.Data4[2], rguid.Data4[3], rguid.Data4[4],
                  rguid.Data4[5], rguid.Data4[6], rguid.Data4[7]);
    for (int i = 0; i <= kGuidTextLength; ++i)
        lpsz[i] = static_cast<OLECHAR>(text[i]);
    return kGuidTextLength + 1;
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid)
{
    return ParseGuid(lpsz, pclsid);
}

HRESULT IIDFromString(LPCOLESTR lpsz, LPIID lpiid)
{
    if (!lpsz && lpiid) {
        *lpiid = IID_NULL;
        return S_OK;
    }
    HRESULT hr = ParseGuid(lpsz, lpiid);
    return hr == CO_E_CLASSSTRING ? E_INVALIDARG : hr;
}
