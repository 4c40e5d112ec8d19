// Character tables shared by CharLowerW/CharUpperW, VarBstrCmp and the best-fit fallback of
// WideCharToMultiByte: case mapping for Latin-1, Latin Extended-A, Greek and basic Cyrillic, and
// the base letter of accented Latin letters.
#pragma once

#include "platform/posix/types.h"

namespace platform::detail {

OLECHAR ToLowerChar(OLECHAR c);
OLECHAR ToUpperChar(OLECHAR c);
/// The unaccented ASCII letter behind a Latin letter with a diacritic (same case), or 0.
char BaseLetter(OLECHAR c);

} // namespace platform::detail
