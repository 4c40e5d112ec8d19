#include "frame/instance_creators.h"

namespace frame {

// Placeholder until the UploadMetadata class exists.
HRESULT CreateUploadMetadataInstance(IUnknown*, REFIID, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    return E_NOTIMPL;
}

} // namespace frame
