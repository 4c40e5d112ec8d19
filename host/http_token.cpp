#include "host/http_token.h"

namespace host {

bool IsHttpToken(std::string_view text) noexcept
{
    if (text.empty())
        return false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool alphanumeric =
            (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
        if (!alphanumeric && std::string_view("!#$%&'*+-.^_`|~").find(c) == std::string_view::npos)
            return false;
    }
    return true;
}

} // namespace host
