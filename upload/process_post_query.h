#pragma once
// ProcessPostQuery: one parse of the request body into the two result collections.

#include "com/com_ptr.h"
#include "parser/parser_options.h"
#include "parser/upload_statistics_updater.h"
#include "platform/win.h"

#include <asptlb.h>

class CUploadedFileCollection;
class CTextFieldCollection;

/// The upload was cancelled while the body was being read (raised by ProcessPostQuery in place of
/// the parser's own cancellation).
class EUserCancelledUpload {};

/// Reads the body through `request` (its own reference, released before returning), parses it
/// with `options` and adds every field to `files` or `texts`. `updater` may be null. Returns whether
/// the body ended with its close delimiter. Failures leave as exceptions; a cancellation as
/// ::EUserCancelledUpload, a limit the body goes over as parser::CPartLimits' exception for it.
bool ProcessPostQuery(const TParserOptions& options, com::ComPtr<IRequest> request, IUploadStatisticsUpdater* updater,
                      CUploadedFileCollection* files, CTextFieldCollection* texts);
