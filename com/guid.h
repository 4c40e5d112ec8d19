// GUID helpers that behave the same on Windows and on the POSIX stand-in.
//
//   if (com::SameGuid(iid, IID_IUpload)) ...
//   WideString s = com::GuidToString(CLSID_Upload);   // "{XXXXXXXX-XXXX-...}", 38 characters
//   WideString name = com::NewGuidString();          // a fresh GUID in the same form
#pragma once

#include "platform/win.h"

#include <cstring>

namespace com {

inline bool SameGuid(const GUID& a, const GUID& b) noexcept
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

/// The registry form of a GUID, with braces: 38 characters, upper-case hex.
WideString GuidToString(const GUID& guid);
/// A fresh GUID in registry form. Throws std::runtime_error "CreateGUID error" (the failure
/// reason says which call failed).
WideString NewGuidString();

} // namespace com
