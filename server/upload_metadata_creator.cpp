#include "server/instance_creators.h"

#include "com/com_object.h"
#include "progress/upload_metadata.h"

namespace com {

HRESULT CreateUploadMetadataInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return CreateInstance<CUploadMetadata>(nullptr, iid, ppv);
}

} // namespace com
