#include "upload/process_post_query.h"

#include "parser/parse_post_query.h"
#include "upload/com_field_receiver.h"
#include "upload/post_query_stream.h"

bool ProcessPostQuery(const TParserOptions& options, com::ComPtr<IRequest> request, IUploadStatisticsUpdater* updater,
                      CUploadedFileCollection* files, CTextFieldCollection* texts)
{
    try {
        CPostQueryStream stream(request.Get(), updater);
        CComFieldReceiver receiver(files, texts, updater);
        return parser::ParsePostQuery(options, stream, receiver, updater);
    } catch (const parser::CDataSourceBase::EUserCancelledUpload&) {
        throw EUserCancelledUpload();
    }
}
