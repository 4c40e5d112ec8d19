#include "host/host_object.h"

namespace host {

namespace {

OLECHAR AsciiLower(OLECHAR c) noexcept
{
    return (c >= 'A' && c <= 'Z') ? static_cast<OLECHAR>(c - 'A' + 'a') : c;
}

} // namespace

bool SameMemberName(const OLECHAR* a, const OLECHAR* b) noexcept
{
    for (;; ++a, ++b) {
        if (AsciiLower(*a) != AsciiLower(*b))
            return false;
        if (*a == 0)
            return true;
    }
}

} // namespace host
