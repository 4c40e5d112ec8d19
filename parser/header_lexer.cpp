#include "parser/header_lexer.h"

#include <cstring>

#include "parser/receivers.h"
#include "parser/text_conversion.h"

namespace parser {

CHeaderLexer::CHeaderLexer(CSearchEngine& engine) : engine_(engine)
{
    for (int b = 0x21; b <= 0x7E; ++b)
        headerName_[b] = b != ':';
    whiteSpace_[' '] = whiteSpace_['\t'] = true;
    static const char kSeparators[] = "\"(),/:;<=>?@[\\]";
    for (int b = 0x21; b <= 0x7F; ++b)
        token_[b] = std::strchr(kSeparators, b) == nullptr;
}

THeaderKind CHeaderLexer::ClassifyHeaderName(const std::string& name)
{
    std::string lower = name;
    try {
        textconv::AsciiToLower(lower);
    } catch (const textconv::EStrConversion&) {
        return kOtherHeader;
    }
    if (lower == "content-disposition")
        return kContentDisposition;
    if (lower == "content-type")
        return kContentType;
    return kOtherHeader;
}

THeaderKind CHeaderLexer::ReadHeaderStart(std::string& name, std::string& value)
{
    CStrReceiver text;
    engine_.ReadWhile(text, headerName_);
    name = text.Str();
    if (name.empty() || text.Overflowed() || !engine_.Peek(':'))
        return kMalformedLine;
    engine_.ReadByte();
    switch (ClassifyHeaderName(name)) {
    case kContentDisposition: {
        CFictReceiver blanks;
        engine_.ReadWhile(blanks, whiteSpace_);
        text.Clear();
        engine_.ReadWhile(text, token_);
        value = text.Str();
        return value.empty() || text.Overflowed() ? kMalformedLine : kContentDisposition;
    }
    case kContentType: {
        text.Clear();
        engine_.ReadUntil(text, kCrLf, 2);
        value = text.Overflowed() ? std::string() : text.Str(); // an empty type is ignored
        const auto first = value.find_first_not_of(" \t");
        if (first == std::string::npos) {
            value.clear();
        } else {
            value = value.substr(first, value.find_last_not_of(" \t") - first + 1);
        }
        engine_.ReadByte();
        return kContentType;
    }
    default: return kOtherHeader;
    }
}

std::int32_t CHeaderLexer::ReadParameter(std::string& name, std::string& value)
{
    if (!engine_.Peek(';'))
        return 1;
    engine_.ReadByte();
    CCounterReceiver blanks;
    engine_.ReadWhile(blanks, whiteSpace_);
    if (blanks.total == 0)
        return 1;
    CStrReceiver text;
    engine_.ReadWhile(text, token_);
    name = text.Str();
    if (name.empty() || text.Overflowed() || !engine_.Peek('='))
        return 1;
    engine_.ReadByte();
    text.Clear();
    if (engine_.Peek('"')) {
        engine_.ReadByte();
        engine_.ReadUntilByte(text, '"');
        engine_.ReadByte();
    } else {
        engine_.ReadWhile(text, token_);
    }
    if (text.Overflowed())
        return 1;
    value = text.Str();
    return 0;
}

} // namespace parser
