// SupportErrorInfoImpl<&IID_Itf>: ISupportErrorInfo answering S_OK for the object's own
// interface and S_FALSE for any other. List ISupportErrorInfo in the object's interface table.
#pragma once

#include "frame/guid.h"
#include "platform/win.h"

namespace frame {

template <const IID* ItfId>
class SupportErrorInfoImpl : public ISupportErrorInfo {
public:
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override { return SameGuid(riid, *ItfId) ? S_OK : S_FALSE; }
};

} // namespace frame
