#include "frame/instance_creators.h"

#include "frame/com_object.h"
#include "progress/upload_metadata.h"

namespace frame {

HRESULT CreateUploadMetadataInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return CreateInstance<CUploadMetadata>(nullptr, iid, ppv);
}

} // namespace frame
