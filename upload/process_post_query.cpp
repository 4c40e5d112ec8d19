#include "upload/process_post_query.h"

#include "com/com_ptr.h"
#include "parser/parse_post_query.h"
#include "upload/com_field_receiver.h"
#include "upload/post_query_stream.h"

bool ProcessPostQuery(const TParserOptions& options, IRequest* request, IUploadStatisticsUpdater* updater,
                      CUploadedFileCollection* files, CTextFieldCollection* texts)
{
    auto ownedRequest = com::ComPtr<IRequest>::Attach(request);
    try {
        CPostQueryStream stream(ownedRequest.Get(), updater);
        CComFieldReceiver receiver(files, texts, updater);
        return parser::ParsePostQuery(options, stream, receiver, updater);
    } catch (const parser::CDataSourceBase::EUserCancelledUpload&) {
        throw EUserCancelledUpload();
    }
}
