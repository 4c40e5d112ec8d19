// CProgressServices: the process's one upload manager and one progress timer, which the Upload and
// Progress objects of every thread share. The module starts them at attach and stops them at detach.
//
//   CProgressServices::Instance().UploadManager().Find(id);
//
// The object lives in static storage that is never destroyed at exit: only DestroyInstance, at
// FreeLibrary, ends it.
#pragma once

#include "progress/progress_timer.h"
#include "progress/upload_manager.h"

class CProgressServices {
public:
    CProgressServices() = default;
    CProgressServices(const CProgressServices&) = delete;
    CProgressServices& operator=(const CProgressServices&) = delete;

    /// The services of the process.
    static CProgressServices& Instance() noexcept;
    /// Ends the services' life (FreeLibrary, after Stop); nothing may use them after.
    static void DestroyInstance() noexcept;

    /// Initialises the upload manager, then the progress timer; false when either fails.
    bool Start() noexcept;
    /// Tears down the upload manager, then the progress timer. mayCallCom is false under the
    /// loader lock (no COM call, no wait).
    void Stop(bool mayCallCom) noexcept;
    /// True while either worker thread runs.
    bool IsRunning() noexcept;

    CUploadManager& UploadManager() noexcept { return uploadManager_; }
    CProgressTimer& ProgressTimer() noexcept { return progressTimer_; }

private:
    CUploadManager uploadManager_;
    CProgressTimer progressTimer_;
};
