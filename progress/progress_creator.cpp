#include "frame/instance_creators.h"

#include "frame/com_object.h"
#include "progress/progress.h"

namespace frame {

HRESULT CreateProgressInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept
{
    return CreateInstance<CProgress>(outer, iid, ppv);
}

} // namespace frame
