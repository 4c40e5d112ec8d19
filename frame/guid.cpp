#include "frame/guid.h"

#include "frame/com_error.h"

namespace frame {

WideString GuidToString(const GUID& guid)
{
    OLECHAR text[40] = {};
    if (::StringFromGUID2(guid, text, 40) == 0)
        throw ComError(E_FAIL);
    return WideString(text);
}

} // namespace frame
