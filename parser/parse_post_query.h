#pragma once
// The parser's entry point: parses a multipart/form-data body from a byte source and hands every
// finished field to a receiver.

#include "parser/data_source_base.h"
#include "parser/field_data.h"
#include "parser/parser_options.h"
#include "parser/upload_statistics_updater.h"

namespace parser {

/// The parse failed (anything but a cancellation).
class EParser {};

/// Parses the whole body of `source` (which already holds its first chunk). Returns normally when
/// the body has been read to its end, even if it was cut short (complete fields are delivered):
/// true when it ended with its close delimiter, false when it was cut short. A cancellation leaves
/// as CDataSourceBase::EUserCancelledUpload, a limit of options.limits that the body goes over as
/// CPartLimits' exception for it; every other failure, including an unusable boundary, as EParser.
/// `updater` may be null.
bool ParsePostQuery(const TParserOptions& options, CDataSourceBase& source, CFieldReceiver& receiver,
                    IUploadStatisticsUpdater* updater);

} // namespace parser
