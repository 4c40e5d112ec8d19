#include "com/code_page_text.h"

#include <climits>

namespace com {

std::optional<WideString> WidenText(std::string_view bytes, UINT codePage)
{
    if (bytes.empty())
        return WideString();
    if (bytes.size() > static_cast<std::size_t>(INT_MAX))
        return std::nullopt;
    const int length = static_cast<int>(bytes.size());
    const int needed = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0)
        return std::nullopt;
    WideString text(static_cast<std::size_t>(needed), OLECHAR(0));
    if (::MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), needed) != needed)
        return std::nullopt;
    return text;
}

std::optional<std::string> NarrowText(std::basic_string_view<OLECHAR> text, UINT codePage)
{
    if (text.empty())
        return std::string();
    if (text.size() > static_cast<std::size_t>(INT_MAX))
        return std::nullopt;
    const int length = static_cast<int>(text.size());
    const int needed = ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    if (::WideCharToMultiByte(codePage, 0, text.data(), length, bytes.data(), needed, nullptr, nullptr) != needed)
        return std::nullopt;
    return bytes;
}

} // namespace com
