// CUploadMetadataAutoWrap: the statistics updater of one Save. Its constructor creates a fresh
// statistics object, announces the expected size, registers it with the upload manager under
// the upload's ID (generating one into `id` when it is empty) and subscribes it to the progress
// timer; its destructor unsubscribes it and schedules its removal CUploadManager::RetentionMs later.
//
//   CUploadMetadataAutoWrap stats(id_, totalBytes);     // throws when it cannot register
//   ... ProcessPostQuery(options, request, &stats, ...);  // the stream, parser and receiver report
//   stats.SetUploadResult(uprSuccess);
//
// Each updater call is one IUploadStatisticsControl call; a failed HRESULT raises
// EUploadMetadataAutoWrap. Used only on the thread that runs Save; holds no lock of its own.
#pragma once

#include "com/com_ptr.h"
#include "parser/upload_statistics_updater.h"
#include "platform/win.h"

#include "kestrune_idl.h"

#include <cstdint>

class CUploadMetadataAutoWrap : public IUploadStatisticsUpdater {
public:
    class EUploadMetadataAutoWrap {};

    /// Creates, registers and subscribes the statistics; on failure nothing stays registered.
    CUploadMetadataAutoWrap(WideString& id, std::int32_t totalBytes);
    /// Unsubscribes and schedules the removal; never raises.
    ~CUploadMetadataAutoWrap();
    CUploadMetadataAutoWrap(const CUploadMetadataAutoWrap&) = delete;
    CUploadMetadataAutoWrap& operator=(const CUploadMetadataAutoWrap&) = delete;

    void AddUploadedBytes(std::int32_t n) override;
    void IncNumberOfUploadedFiles() override;
    /// Hands over name up to its first NUL; E_OUTOFMEMORY (com::ComError) when it cannot be copied.
    void SetCurrentFileName(const WideString& name) override;
    bool IsUploadCancelled() override;

    /// Records how the upload ended.
    void SetUploadResult(TUploadResult result);
    /// Records why the upload failed, was rejected or was cancelled (progress pages read it).
    void SetStatusReason(const WideString& reason);
    /// Why a cancelled upload ended: the bytes it had received by then.
    WideString CancelReason() const;

private:
    static void Check(HRESULT hr);

    com::ComPtr<IUploadStatisticsControl> stats_;
    WideString registeredId_; // the ID the upload is registered and subscribed under
    std::uint64_t receivedBytes_ = 0;
    std::int32_t totalBytes_ = 0;
};
