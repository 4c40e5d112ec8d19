#include "parser/post_query_parser.h"

#include <optional>

#include "parser/data_source_base.h"
#include "parser/field_header_impl.h"
#include "parser/field_impl.h"

namespace parser {

namespace {
using ENoMoreData = CDataSourceBase::ENoMoreData;
using ECancelled = CDataSourceBase::EUserCancelledUpload;
using ELimitExceeded = CPartLimits::ELimitExceeded;
constexpr char kDashes[2] = {'-', '-'};
} // namespace

CPostQueryParser::CPostQueryParser(const TParserOptions& options, CSearchEngine& engine, CFieldReceiver& receiver,
                                   IUploadStatisticsUpdater* updater)
    : engine_(&engine), receiver_(&receiver), updater_(updater), options_(&options), converter_(&options),
      lexer_(engine), limits_(options.limits)
{
    const std::string& boundary = options.boundary;
    if (boundary.empty())
        throw EPostQueryParserError();
    for (const char ch : boundary) {
        if (ch == '\0' || static_cast<unsigned char>(ch) >= 0x80)
            throw EPostQueryParserError();
    }
    // A partial delimiter is kept in the buffer while more bytes are read; one that cannot be
    // kept whole could never be found, and the body would silently run into the content.
    if (boundary.size() + 4 > static_cast<std::size_t>(engine.MaxKeptLiteralLength()))
        throw EPostQueryParserError();
    try {
        delimiter_ = "\r\n--" + boundary;
    } catch (...) {
        throw EPostQueryParserError();
    }
    boundaryLength_ = static_cast<std::int32_t>(boundary.size());
}

bool CPostQueryParser::Parse()
{
    if (parsed_)
        throw EPostQueryParserErrorRecoverable();
    parsed_ = true;
    try {
        EMode mode = EMode::First;
        while (ParsePart(mode) != kEndOfBody)
            mode = EMode::Next;
    } catch (const ECancelled&) {
        throw;
    } catch (const ELimitExceeded&) {
        throw;
    } catch (...) {
        throw EPostQueryParserError();
    }
    return closed_;
}

std::int32_t CPostQueryParser::ParsePart(EMode mode)
{
    CFieldImpl field(&converter_, updater_, limits_);
    try {
        if (HandleDelimiter(mode) == 1)
            return kEndOfBody;
        limits_.PartBegins();
        bool skip = false;
        for (;;) {
            const std::int32_t r = ParseHeaderLine(field);
            if (r == kHeadersDone)
                break;
            if (r == kDropPart) {
                skip = true;
                break;
            }
        }
        if (!skip) {
            try {
                field.StartData(options_->tempDir);
            } catch (const CFieldImpl::EFieldBaseErrorRecoverable&) {
                skip = true;
            } catch (const CFieldImpl::EFieldBaseError&) {
                skip = true;
            }
        }
        if (skip) {
            engine_->SkipPast(Delimiter(), DelimiterLength());
            engine_->ReadByte();
            return kPartDropped;
        }
        engine_->ReadUntil(field, Delimiter(), DelimiterLength());
        engine_->ReadByte();
    } catch (const ENoMoreData&) {
        return kEndOfBody;
    }
    try {
        field.Finish(*receiver_);
    } catch (const CFieldImpl::EFieldBaseErrorRecoverable&) {
        return kPartDropped;
    } catch (const CFieldImpl::EFieldBaseError&) {
        return kPartDropped;
    }
    return kFieldDelivered;
}

std::int32_t CPostQueryParser::HandleDelimiter(EMode mode)
{
    if (mode == EMode::First) {
        // "--" boundary right at the start of the body, or else the first CR LF "--" boundary.
        if (!engine_->Match(Delimiter() + 2, DelimiterLength() - 2)) {
            engine_->SkipPast(Delimiter(), DelimiterLength());
        }
        engine_->ReadByte();
    }
    if (engine_->Match(kDashes, 2)) {
        closed_ = true;
        engine_->Drain();
        return 1;
    }
    if (!engine_->Match(CHeaderLexer::kCrLf, 2))
        engine_->SkipPast(CHeaderLexer::kCrLf, 2);
    engine_->ReadByte();
    return 0;
}

void CPostQueryParser::SkipLine()
{
    engine_->SkipPast(CHeaderLexer::kCrLf, 2);
    engine_->ReadByte();
}

std::int32_t CPostQueryParser::ParseHeaderLine(CFieldImpl& field)
{
    if (engine_->Match(CHeaderLexer::kCrLf, 2)) {
        engine_->ReadByte();
        return kHeadersDone;
    }
    std::string name;
    std::string value;
    const THeaderKind kind = lexer_.ReadHeaderStart(name, value);
    if (kind == kOtherHeader) {
        SkipLine();
        return kLineUsed;
    }
    if (kind == kMalformedLine) {
        SkipLine();
        return kDropPart;
    }
    const bool disposition = kind == kContentDisposition;
    std::optional<CFieldHeaderImpl> header;
    try {
        header.emplace(kind, value, &converter_);
    } catch (const CFieldHeaderImpl::EFieldHeaderBaseError&) {
        if (disposition)
            SkipLine();
        return kLineIgnored;
    } catch (const CFieldHeaderImpl::EFieldHeaderBaseErrorRecoverable&) {
        if (disposition)
            SkipLine();
        return kLineIgnored;
    }
    if (disposition) {
        for (;;) {
            if (engine_->Match(CHeaderLexer::kCrLf, 2)) {
                engine_->ReadByte();
                break;
            }
            std::string paramName;
            std::string paramValue;
            if (lexer_.ReadParameter(paramName, paramValue) == 1) {
                SkipLine();
                return kLineIgnored;
            }
            try {
                header->SetParameter(paramName, paramValue);
            } catch (const CFieldHeaderImpl::EFieldHeaderBaseErrorRecoverable&) {
                SkipLine();
                return kLineIgnored;
            } catch (const CFieldHeaderImpl::EFieldHeaderBaseError&) {
                SkipLine();
                return kDropPart;
            }
        }
    }
    try {
        field.AddHeader(*header);
    } catch (const CFieldImpl::EFieldBaseErrorRecoverable&) {
        return kLineIgnored;
    } catch (const CFieldImpl::EFieldBaseError&) {
        return kDropPart;
    }
    return kLineUsed;
}

} // namespace parser
