#include "tools/aspserve/socket_body_source.h"

#include <algorithm>

namespace aspserve {

HRESULT CSocketBodySource::Read(BYTE* buffer, ULONG wanted, ULONG* delivered)
{
    *delivered = 0;
    if (*remaining_ == 0)
        return S_OK;
    const std::size_t asked = static_cast<std::size_t>(std::min<ULONGLONG>(wanted, *remaining_));
    const std::size_t got = stream_.Read(reinterpret_cast<char*>(buffer), asked);
    if (got == 0)
        return E_FAIL; // the client left in the middle of the body
    *remaining_ -= got;
    *delivered = static_cast<ULONG>(got);
    return S_OK;
}

} // namespace aspserve
