#include "com/com_object.h"
#include "server/instance_creators.h"
#include "upload/upload.h"

namespace com {

// The Upload class object's CreateInstance: plain, or aggregated when given an outer object.
HRESULT CreateUploadInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept
{
    return CreateInstance<CUpload>(outer, iid, ppv);
}

} // namespace com
