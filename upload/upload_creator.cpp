#include "frame/instance_creators.h"

namespace frame {

// Placeholder until the Upload class exists.
HRESULT CreateUploadInstance(IUnknown*, REFIID, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    return E_NOTIMPL;
}

} // namespace frame
