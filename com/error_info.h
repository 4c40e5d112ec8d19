// Error objects (IErrorInfo) for the failures scripts see: what Err.Description and Err.Source
// show. ComBoundary(source, body) leaves one for every failure of an object that names itself.
#pragma once

#include "platform/win.h"

namespace com {

/// Who answers: the ProgID scripts know the object by, and the interface they call.
struct ErrorSource {
    const OLECHAR* progId;
    const IID* iid;
};

/// The plain sentence that describes a failure hr when no failure reason was reported.
WideString DescriptionOf(HRESULT hr);

/// The code a script engine shows for a failure that comes with an error object: the script
/// engines' own errors for the HRESULTs they translate when one comes back bare (E_INVALIDARG is
/// run-time error 5, E_OUTOFMEMORY 7, as FACILITY_CONTROL codes), every other HRESULT as it is.
/// So an error object changes Err.Description and Err.Source, never Err.Number.
constexpr SCODE ScriptErrorCode(SCODE code) noexcept
{
    constexpr SCODE kRuntimeError = static_cast<SCODE>(0x800A0000); // SEVERITY_ERROR, FACILITY_CONTROL
    switch (code) {
    case E_INVALIDARG: return kRuntimeError | 5;
    case E_OUTOFMEMORY: return kRuntimeError | 7;
    default: return code;
    }
}

/// Leaves an error object on the calling thread for failure hr of a call on `source`. Its
/// description is the thread's last failure reason when `reasonReported`, else DescriptionOf(hr).
/// When no object can be made, the thread is left without one.
void LeaveErrorInfo(const ErrorSource& source, HRESULT hr, bool reasonReported) noexcept;

} // namespace com
