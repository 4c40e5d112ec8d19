#include "host/ansi_text.h"

#include <climits>
#include <stdexcept>

namespace host {

WideString WidenAnsi(std::string_view text)
{
    if (text.empty())
        return WideString();
    if (text.size() > static_cast<std::size_t>(INT_MAX))
        throw std::runtime_error("text too long to convert");
    const int length = static_cast<int>(text.size());
    const int needed = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (needed <= 0)
        throw std::runtime_error("text cannot be converted from the ANSI code page");
    WideString wide(static_cast<std::size_t>(needed), OLECHAR(0));
    if (::MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), needed) != needed)
        throw std::runtime_error("text cannot be converted from the ANSI code page");
    return wide;
}

} // namespace host
