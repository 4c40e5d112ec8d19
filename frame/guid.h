// GUID helpers that behave the same on Windows and on the POSIX stand-in.
//
//   if (frame::SameGuid(iid, IID_IUpload)) ...
//   WideString s = frame::GuidToString(CLSID_Upload);   // "{XXXXXXXX-XXXX-...}", 38 characters
#pragma once

#include "platform/win.h"

#include <cstring>

namespace frame {

inline bool SameGuid(const GUID& a, const GUID& b) noexcept
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

/// The registry form of a GUID, with braces.
WideString GuidToString(const GUID& guid);

} // namespace frame
