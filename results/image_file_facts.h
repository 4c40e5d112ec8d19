#pragma once
// The image facts of a file on disk (see image_facts.h), read through CreateFileW, SetFilePointerEx
// and ReadFile: the first bytes, and for a JPEG one small read per marker, never the whole file.

#include "platform/win.h"
#include "results/image_facts.h"

namespace utils {

/// The image facts of the file at `path`. A file that cannot be opened or read (a missing file,
/// a sharing conflict, a failed read) reads as no image, like any other bytes that are not one.
TImageFacts ReadImageFactsOfFile(const WideString& path) noexcept;

} // namespace utils
