#pragma once
// RecordingUpdater: a statistics updater for tests that records what the receiving side reports
// and can ask for a cancel once a number of bytes has arrived.

#include "parser/upload_statistics_updater.h"

#include <cstdint>
#include <vector>

namespace testing_support {

class RecordingUpdater final : public IUploadStatisticsUpdater {
public:
    void AddUploadedBytes(std::int32_t n) override
    {
        bytes += n;
        chunks.push_back(n);
    }
    void IncNumberOfUploadedFiles() override { ++files; }
    void SetCurrentFileName(const WideString& name) override { currentFile = name; }
    bool IsUploadCancelled() override { return cancelAfterBytes >= 0 && bytes >= cancelAfterBytes; }

    std::int64_t bytes = 0;
    std::vector<std::int32_t> chunks;
    int files = 0;
    WideString currentFile;
    /// A cancel is reported once this many bytes have arrived; negative: never.
    std::int64_t cancelAfterBytes = -1;
};

} // namespace testing_support
