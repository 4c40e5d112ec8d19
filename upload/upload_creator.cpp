#include "frame/com_object.h"
#include "frame/instance_creators.h"
#include "upload/upload.h"

namespace frame {

// The Upload class object's CreateInstance: plain, or aggregated when given an outer object.
HRESULT CreateUploadInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept
{
    return CreateInstance<CUpload>(outer, iid, ppv);
}

} // namespace frame
