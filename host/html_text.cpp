#include "host/html_text.h"

namespace host {

WideString HtmlEncode(const WideString& text)
{
    WideString out;
    out.reserve(text.size());
    for (const OLECHAR c : text) {
        const char* reference = nullptr;
        switch (c) {
        case '&': reference = "&amp;"; break;
        case '<': reference = "&lt;"; break;
        case '>': reference = "&gt;"; break;
        case '"': reference = "&quot;"; break;
        case '\'': reference = "&#39;"; break;
        default: out.push_back(c); continue;
        }
        for (; *reference; ++reference)
            out.push_back(static_cast<OLECHAR>(*reference));
    }
    return out;
}

} // namespace host
