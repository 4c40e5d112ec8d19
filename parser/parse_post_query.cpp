#include "parser/parse_post_query.h"

#include "parser/post_query_parser.h"
#include "parser/search_engine.h"

namespace parser {

bool ParsePostQuery(const TParserOptions& options, CDataSourceBase& source, CFieldReceiver& receiver,
                    IUploadStatisticsUpdater* updater)
{
    try {
        CSearchEngine engine(source);
        CPostQueryParser parser(options, engine, receiver, updater);
        return parser.Parse();
    } catch (const CDataSourceBase::EUserCancelledUpload&) {
        throw;
    } catch (const CPartLimits::ELimitExceeded&) {
        throw;
    } catch (...) {
        throw EParser();
    }
}

} // namespace parser
