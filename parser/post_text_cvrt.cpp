#include "parser/post_text_cvrt.h"

#include "parser/text_conversion.h"

namespace parser {

namespace {

// Runs the chain of conversions over `text`, asking room(n) for room for n units (each call
// replaces the room of the one before); returns the number of units written there.
template <typename Room>
std::size_t ConvertInto(const TParserOptions& options, std::string_view text, Room room)
{
    const std::int32_t mode = options.charRefsMode;
    if (mode != kDecodeCharRefs && mode != kKeepCharRefs && mode != kAutoCharRefs)
        throw CPostTextCvrt::EPostTextCvrt();
    const std::int32_t codePage = options.codePage;
    try {
        if (codePage == 0) {
            // ASCII, UTF-8 and the last resort all write at most one unit per byte: one room.
            OLECHAR* out = room(text.size());
            try {
                return mode == kKeepCharRefs ? textconv::AsciiToWideInto(text, out)
                                             : textconv::AsciiRefsToWideInto(text, out);
            } catch (const textconv::EStrConversion&) {
            }
            try {
                return textconv::Utf8ToWideInto(text, out);
            } catch (const textconv::EStrConversion&) {
            }
            return textconv::WidenBytesInto(text, out);
        }
        const std::size_t units = textconv::CodePageUnits(text, codePage);
        OLECHAR* out = room(units);
        const std::size_t written = textconv::CodePageToWideInto(text, codePage, out, units);
        return mode == kDecodeCharRefs ? textconv::DecodeCharRefsInPlace(out, written) : written;
    } catch (const textconv::EStrConversion&) {
        return textconv::WidenBytesInto(text, room(text.size()));
    }
}

} // namespace

WideString CPostTextCvrt::Convert(std::string_view text) const
{
    WideString out;
    const std::size_t written = ConvertInto(*options_, text, [&](std::size_t units) {
        out.assign(units, OLECHAR(0));
        return out.data();
    });
    out.resize(written);
    return out;
}

com::Bstr CPostTextCvrt::ConvertToBstr(std::string_view text) const
{
    com::Bstr out;
    const std::size_t written = ConvertInto(*options_, text, [&](std::size_t units) {
        out = com::Bstr::WithRoom(units);
        return out.Get();
    });
    out.Truncate(static_cast<UINT>(written));
    return out;
}

} // namespace parser
