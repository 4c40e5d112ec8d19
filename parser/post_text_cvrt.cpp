#include "parser/post_text_cvrt.h"

#include "parser/text_conversion.h"

namespace parser {

namespace {
enum : std::int32_t { kDecodeRefs = 0, kKeepRefs = 1, kAutoRefs = 2 };
}

WideString CPostTextCvrt::Convert(std::string_view text) const
{
    const std::int32_t mode = options_->charRefsMode;
    if (mode < kDecodeRefs || mode > kAutoRefs)
        throw EPostTextCvrt();
    const std::int32_t codePage = options_->codePage;
    try {
        if (codePage == 0) {
            try {
                return mode == kKeepRefs ? textconv::AsciiToWide(text) : textconv::AsciiRefsToWide(text);
            } catch (const textconv::EStrConversion&) {
            }
            return textconv::Utf8ToWide(text);
        }
        WideString wide = textconv::CodePageToWide(text, codePage);
        return mode == kDecodeRefs ? textconv::DecodeCharRefs(wide) : wide;
    } catch (const textconv::EStrConversion&) {
        return textconv::WidenBytes(text);
    }
}

} // namespace parser
