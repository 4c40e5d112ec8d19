#include "frame/instance_creators.h"

namespace frame {

// Placeholder until the Progress class exists.
HRESULT CreateProgressInstance(IUnknown*, REFIID, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    return E_NOTIMPL;
}

} // namespace frame
