#pragma once
// File operations of the result objects. Each failure raises std::runtime_error with a fixed text.

#include <cstdint>

#include "platform/win.h"

namespace utils {

/// Length of a file that nobody is writing to. "Can't get a file length".
std::int32_t GetFileLength(const WideString& path);
/// Moves (or copies and deletes across volumes) with write-through. "Can't move file", also when
/// `to` names a device or anything but a disk file (then nothing is moved).
void MoveFileTo(const WideString& from, const WideString& to, bool overwrite);
/// Copies a file. "Can't copy file", also when `to` names a device or anything but a disk file.
void CopyFileTo(const WideString& from, const WideString& to, bool overwrite);
/// Deletes a file. "Can't delete file".
void RemoveFile(const WideString& path);

} // namespace utils
