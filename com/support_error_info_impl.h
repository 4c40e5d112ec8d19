// SupportErrorInfoImpl<&IID_Itf...>: ISupportErrorInfo answering S_OK for the object's own
// interfaces (the ones listed) and S_FALSE for any other. List ISupportErrorInfo in the object's
// interface table.
#pragma once

#include "com/guid.h"
#include "platform/win.h"

namespace com {

template <const IID*... ItfIds>
class SupportErrorInfoImpl : public ISupportErrorInfo {
public:
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override
    {
        return (SameGuid(riid, *ItfIds) || ...) ? S_OK : S_FALSE;
    }
};

} // namespace com
