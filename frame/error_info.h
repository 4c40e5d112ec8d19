// Error objects (IErrorInfo) for the failures scripts see: what Err.Description and Err.Source
// show. ComBoundary(source, body) leaves one for every failure of an object that names itself.
#pragma once

#include "platform/win.h"

namespace frame {

/// Who answers: the ProgID scripts know the object by, and the interface they call.
struct ErrorSource {
    const OLECHAR* progId;
    const IID* iid;
};

/// The plain sentence that describes a failure hr when no failure reason was reported.
WideString DescriptionOf(HRESULT hr);

/// Leaves an error object on the calling thread for failure hr of a call on `source`. Its
/// description is the thread's last failure reason when `reasonReported`, else DescriptionOf(hr).
/// When no object can be made, the thread is left without one.
void LeaveErrorInfo(const ErrorSource& source, HRESULT hr, bool reasonReported) noexcept;

} // namespace frame
