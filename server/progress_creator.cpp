#include "server/instance_creators.h"

#include "com/com_object.h"
#include "progress/progress.h"

namespace com {

HRESULT CreateProgressInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept
{
    return CreateInstance<CProgress>(outer, iid, ppv);
}

} // namespace com
