// CKestruneModule: the one module object of the process. It owns the upload manager and the
// progress timer, hands out the cached class objects, and decides whether the DLL may unload.
//
//   CKestruneModule::Instance().UploadManager().Find(...);
//
// The DLL entry point calls ProcessAttach, and at detach Unload (FreeLibrary) or nothing at all
// (process exit); executables that link the product objects directly (unit tests, tools) get
// ProcessAttach and ProcessDetach(DetachKind::Executable) from frame/executable_attach.cpp.
//
// The object lives in static storage that is never destroyed at exit: only Unload ends it.
#pragma once

#include "frame/class_factory.h"
#include "frame/object_map.h"
#include "platform/win.h"
#include "progress/progress_timer.h"
#include "progress/upload_manager.h"

#include <array>

/// How the module is detached.
enum class DetachKind {
    /// FreeLibrary, under the loader lock: our own memory, handles and locks only; no COM call
    /// (Global Interface Table registrations are abandoned) and no wait.
    Unload,
    /// An executable's own end, outside the loader lock: COM calls allowed.
    Executable,
};

class CKestruneModule {
public:
    CKestruneModule() noexcept;
    ~CKestruneModule();
    CKestruneModule(const CKestruneModule&) = delete;
    CKestruneModule& operator=(const CKestruneModule&) = delete;

    /// The module object of the process.
    static CKestruneModule& Instance() noexcept;

    /// Process attach: remembers the module handle and initialises the upload manager and the
    /// progress timer; false when either fails or the module's critical section did not initialise.
    bool ProcessAttach(HMODULE module) noexcept;
    /// Detach: tears down the upload manager, then the progress timer, and drops the cached class
    /// objects; false when either teardown threw. At process exit nothing is called at all.
    bool ProcessDetach(DetachKind kind) noexcept;

    /// FreeLibrary: ProcessDetach(DetachKind::Unload), then ends the module object.
    static bool Unload() noexcept;

    /// DllGetClassObject: the cached class object of clsid, asked for iid.
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) noexcept;
    /// DllCanUnloadNow: S_OK only with no module lock and neither worker thread running. Before
    /// answering S_OK it releases the cached type information, which is no COM call to make at
    /// unload, under the loader lock.
    HRESULT CanUnloadNow() noexcept;

    CUploadManager& UploadManager() noexcept { return uploadManager_; }
    CProgressTimer& ProgressTimer() noexcept { return progressTimer_; }

    /// The handle given at attach (null in executables).
    HMODULE Handle() const noexcept { return module_; }

private:
    CRITICAL_SECTION lock_{};
    bool lockReady_ = false;
    HMODULE module_ = nullptr;
    CUploadManager uploadManager_;
    CProgressTimer progressTimer_;
    // The cached class object of each object-map entry, at the entry's position; null until asked for.
    std::array<frame::CClassFactory*, frame::ObjectMap().size()> factories_{};
};
