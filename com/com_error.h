// ComError: the exception that carries an HRESULT out to the COM boundary.
//
//   throw com::ComError(E_INVALIDARG);          // the caller sees E_INVALIDARG
//   com::ThrowIfFailed(pRequest->get_TotalBytes(&n));   // passes a failure on unchanged
//
// Every other exception reaching com::ComBoundary becomes E_FAIL; throw ComError when a member
// must answer a particular HRESULT (E_OUTOFMEMORY for a failed string copy, a callee's failure).
#pragma once

#include "platform/win.h"

#include <exception>

namespace com {

class ComError : public std::exception {
public:
    explicit ComError(HRESULT hr) noexcept : hr_(hr) {}

    /// The HRESULT this error answers at the COM boundary.
    HRESULT Result() const noexcept { return hr_; }

    const char* what() const noexcept override { return "COM error"; }

private:
    HRESULT hr_;
};

/// Throws ComError(hr) when hr is a failure; returns hr (S_OK, S_FALSE, ...) otherwise.
inline HRESULT ThrowIfFailed(HRESULT hr)
{
    if (FAILED(hr))
        throw ComError(hr);
    return hr;
}

} // namespace com
