// BSTR allocation: a 4-byte byte-length prefix, the characters, and a terminating NUL character.
#include "platform/posix/automation.h"
#include "platform/posix/fault_injection.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kPrefix = sizeof(DWORD);
constexpr UINT kMaxBytes = 0x7FFFFFF0u;

/// Allocates room for byteLength bytes; copies them from source when given, zeroes otherwise.
BSTR AllocateBytes(const void* source, UINT byteLength)
{
    if (byteLength > kMaxBytes || platform::faults::detail::ShouldFail(platform::faults::Point::BstrAlloc))
        return nullptr;
    // An odd byte length still ends in a whole NUL character: pad to the next character first.
    const size_t padded = (static_cast<size_t>(byteLength) + 1) & ~size_t{1};
    auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + padded + sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    DWORD prefix = byteLength;
    std::memcpy(block, &prefix, kPrefix);
    if (source)
        std::memcpy(block + kPrefix, source, byteLength);
    else
        std::memset(block + kPrefix, 0, byteLength);
    std::memset(block + kPrefix + byteLength, 0, padded - byteLength + sizeof(OLECHAR));
    return reinterpret_cast<BSTR>(block + kPrefix);
}

size_t Length(const OLECHAR* text)
{
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

} // namespace

BSTR SysAllocString(const OLECHAR* psz)
{
    if (!psz)
        return nullptr;
    size_t n = Length(psz);
    if (n > kMaxBytes / sizeof(OLECHAR))
        return nullptr;
    return AllocateBytes(psz, static_cast<UINT>(n * sizeof(OLECHAR)));
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui)
{
    if (ui > kMaxBytes / sizeof(OLECHAR))
        return nullptr;
    return AllocateBytes(strIn, ui * static_cast<UINT>(sizeof(OLECHAR)));
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len)
{
    return AllocateBytes(psz, len);
}

namespace {

// Shortens *pbstr to len characters in its own block, as the system's reallocation does.
INT ShrinkInPlace(BSTR* pbstr, UINT len)
{
    if (platform::faults::detail::ShouldFail(platform::faults::Point::BstrAlloc))
        return FALSE;
    auto* old = reinterpret_cast<unsigned char*>(*pbstr) - kPrefix;
    const size_t bytes = static_cast<size_t>(len) * sizeof(OLECHAR);
    auto* block = static_cast<unsigned char*>(std::realloc(old, kPrefix + bytes + sizeof(OLECHAR)));
    if (!block)
        return FALSE;
    DWORD prefix = static_cast<DWORD>(bytes);
    std::memcpy(block, &prefix, kPrefix);
    std::memset(block + kPrefix + bytes, 0, sizeof(OLECHAR));
    *pbstr = reinterpret_cast<BSTR>(block + kPrefix);
    return TRUE;
}

} // namespace

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len)
{
    if (!pbstr)
        return FALSE;
    if (*pbstr && psz == *pbstr && len <= SysStringLen(*pbstr))
        return ShrinkInPlace(pbstr, len);
    // psz may point into the old string: copy before freeing.
    BSTR fresh = SysAllocStringLen(psz, len);
    if (!fresh)
        return FALSE;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz)
{
    if (!pbstr)
        return FALSE;
    if (!psz) {
        SysFreeString(*pbstr);
        *pbstr = nullptr;
        return TRUE;
    }
    return SysReAllocStringLen(pbstr, psz, static_cast<UINT>(Length(psz)));
}

void SysFreeString(BSTR bstrString)
{
    if (bstrString)
        std::free(reinterpret_cast<unsigned char*>(bstrString) - kPrefix);
}

UINT SysStringByteLen(BSTR bstr)
{
    if (!bstr)
        return 0;
    DWORD prefix;
    std::memcpy(&prefix, reinterpret_cast<unsigned char*>(bstr) - kPrefix, kPrefix);
    return prefix;
}

UINT SysStringLen(BSTR pbstr)
{
    return SysStringByteLen(pbstr) / sizeof(OLECHAR);
}
