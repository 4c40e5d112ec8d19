// CBodySource: where the bytes of a request body come from. The Request object pulls them through
// Read exactly as BinaryRead is asked, so a body is never held whole unless its source keeps it.
//
//   class CMySource : public host::CBodySource {
//       HRESULT Read(BYTE* buffer, ULONG wanted, ULONG* delivered) override;   // 0 = end of body
//       ULONGLONG Available() const noexcept override;                         // upper bound
//   };
#pragma once

#include "platform/win.h"

namespace host {

class CBodySource {
public:
    virtual ~CBodySource() = default;

    /// Copies between 1 and wanted further body bytes to buffer and stores their number in
    /// *delivered; stores 0 only when the body has ended. wanted is never 0. A failure HRESULT
    /// is answered by BinaryRead unchanged.
    virtual HRESULT Read(BYTE* buffer, ULONG wanted, ULONG* delivered) = 0;

    /// The most bytes Read can still deliver, or kUnknownAvailable. BinaryRead sizes its array
    /// by it, so a Content-Length larger than the data does not allocate the difference.
    virtual ULONGLONG Available() const noexcept = 0;

    static constexpr ULONGLONG kUnknownAvailable = ~ULONGLONG(0);
};

} // namespace host
