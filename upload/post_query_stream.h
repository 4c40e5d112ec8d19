#pragma once
// CPostQueryStream: the parser's byte source over the ASP request body. Fills the 8192-byte buffer
// with Request.BinaryRead, reports every chunk to the upload's statistics and turns a cancel into
// CDataSourceBase::EUserCancelledUpload after the chunk that noticed it.

#include "com/com_ptr.h"
#include "parser/data_source_base.h"
#include "parser/upload_statistics_updater.h"
#include "platform/win.h"

#include <asptlb.h>

class CPostQueryStream : public parser::CDataSourceBase {
public:
    /// Takes its own reference on `request` and reads the first chunk at once. An empty body
    /// leaves the stream empty (end 0); every other failure propagates. `updater` may be null.
    CPostQueryStream(IRequest* request, IUploadStatisticsUpdater* updater);

    bool Refill(std::uint32_t keep, std::int32_t& shift) override;
    void ReadChunk() override;

private:
    // Reads at most capacity - at bytes into buffer[at...], reports them and checks for a cancel;
    // `onDelivered(n)` runs before the copy (the callers set position and end there).
    template <class OnDelivered>
    std::uint32_t ReadInto(std::uint32_t at, OnDelivered&& onDelivered);

    com::ComPtr<IRequest> request_;
    IUploadStatisticsUpdater* updater_;
};
