#include "com/guid.h"

#include "com/com_error.h"
#include "com/failure_reason.h"

#include <stdexcept>

namespace com {

WideString GuidToString(const GUID& guid)
{
    OLECHAR text[40] = {};
    if (::StringFromGUID2(guid, text, 40) == 0)
        throw ComError(E_FAIL);
    return WideString(text);
}

WideString NewGuidString()
{
    GUID guid{};
    const HRESULT hr = ::CoCreateGuid(&guid);
    if (FAILED(hr)) {
        ReportFailure("CoCreateGuid failed (", HResult{hr}, ")");
        throw std::runtime_error("CreateGUID error");
    }
    try {
        return GuidToString(guid);
    } catch (const ComError&) {
        ReportFailure("StringFromGUID2 failed");
        throw std::runtime_error("CreateGUID error");
    }
}

} // namespace com
