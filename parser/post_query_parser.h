#pragma once
// Walks a multipart/form-data body part by part: delimiter lines, header lines, content. Decides
// for every kind of trouble whether to ignore a line, drop a part, end quietly or fail.

#include <cstdint>
#include <string>

#include "parser/field_data.h"
#include "parser/header_lexer.h"
#include "parser/parser_options.h"
#include "parser/part_limits.h"
#include "parser/post_text_cvrt.h"
#include "parser/search_engine.h"
#include "parser/upload_statistics_updater.h"

namespace parser {

class CFieldImpl;

class CPostQueryParser {
public:
    class EPostQueryParserError {};
    class EPostQueryParserErrorRecoverable {};

    /// Builds the delimiter (CR LF "--" boundary). The boundary must be non-empty, ASCII, free of
    /// zero bytes and short enough for its delimiter to be kept whole in the source's buffer.
    CPostQueryParser(const TParserOptions& options, CSearchEngine& engine, CFieldReceiver& receiver,
                     IUploadStatisticsUpdater* updater);
    CPostQueryParser(const CPostQueryParser&) = delete;
    CPostQueryParser& operator=(const CPostQueryParser&) = delete;

    /// Parses the whole body once; a second call raises EPostQueryParserErrorRecoverable. Returns
    /// whether the body ended with its close delimiter (false: it was cut short, and only the
    /// fields complete before the cut were delivered). A cancellation and a limit the body goes
    /// over leave as they are; every other failure as EPostQueryParserError.
    bool Parse();

private:
    enum class EMode { First, Next };
    enum : std::int32_t { kFieldDelivered = 0, kEndOfBody = 1, kPartDropped = 2 };
    enum : std::int32_t { kHeadersDone = 0, kLineUsed = 1, kDropPart = 2, kLineIgnored = 3 };

    std::int32_t ParsePart(EMode mode);
    /// 1 at the close delimiter (the rest is drained), 0 when a part follows.
    std::int32_t HandleDelimiter(EMode mode);
    std::int32_t ParseHeaderLine(CFieldImpl& field);
    void SkipLine();

    const char* Delimiter() const { return delimiter_.data(); }
    std::int32_t DelimiterLength() const { return boundaryLength_ + 4; }

    CSearchEngine* engine_;
    CFieldReceiver* receiver_;
    IUploadStatisticsUpdater* updater_;
    const TParserOptions* options_;
    CPostTextCvrt converter_;
    std::string delimiter_;
    std::int32_t boundaryLength_ = 0;
    CHeaderLexer lexer_;
    CPartLimits limits_;
    bool parsed_ = false;
    bool closed_ = false; // the close delimiter was met
};

} // namespace parser
