#pragma once
// The receiving side's view of an upload's live statistics: the byte source reports every chunk
// and asks about cancellation, the parser names the file being received, the result receiver
// counts finished files. The one implementation lives with the progress tracking.

#include <cstdint>

#include "platform/win.h"

class IUploadStatisticsUpdater {
public:
    /// Adds n bytes just received from the request body.
    virtual void AddUploadedBytes(std::int32_t n) = 0;
    /// Counts one more file that was received whole.
    virtual void IncNumberOfUploadedFiles() = 0;
    /// Names the file whose content is being received now (the client's path as sent).
    virtual void SetCurrentFileName(const WideString& name) = 0;
    /// True once someone asked for the upload to be cancelled.
    virtual bool IsUploadCancelled() = 0;

protected:
    // Never deleted through this interface.
    ~IUploadStatisticsUpdater() = default;
};
