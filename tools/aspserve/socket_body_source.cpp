#include "tools/aspserve/socket_body_source.h"

#include <algorithm>

namespace aspserve {

HRESULT CSocketBodySource::Read(BYTE* buffer, ULONG wanted, ULONG* delivered)
{
    *delivered = 0;
    if (*remaining_ == 0)
        return S_OK;
    // As IIS does, BinaryRead delivers all it was asked for unless the body ends first: readers
    // may take a short count for the end of the body.
    const std::size_t asked = static_cast<std::size_t>(std::min<ULONGLONG>(wanted, *remaining_));
    std::size_t got = 0;
    while (got < asked) {
        const std::size_t piece = stream_.Read(reinterpret_cast<char*>(buffer) + got, asked - got);
        if (piece == 0)
            return E_FAIL; // the client left in the middle of the body
        got += piece;
        *remaining_ -= piece;
    }
    *delivered = static_cast<ULONG>(got);
    return S_OK;
}

} // namespace aspserve
