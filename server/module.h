// CKestruneModule: the one module object of the process. It starts and stops the progress services
// (the upload manager and the progress timer), hands out the cached class objects, and decides
// whether the DLL may unload.
//
//   CKestruneModule::Instance().GetClassObject(clsid, iid, ppv);
//
// The DLL entry point calls ProcessAttach, and at detach Unload (FreeLibrary) or nothing at all
// (process exit); executables that link the product objects directly (unit tests, tools) get
// ProcessAttach and ProcessDetach(DetachKind::Executable) from server/executable_attach.cpp.
//
// The object lives in static storage that is never destroyed at exit: only Unload ends it.
#pragma once

#include "server/class_factory.h"
#include "server/object_map.h"
#include "platform/win.h"
#include "progress/progress_services.h"

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

    /// Process attach: remembers the module handle and starts the progress services; false when
    /// they fail to start or the module's critical section did not initialise.
    bool ProcessAttach(HMODULE module) noexcept;
    /// Detach: stops the progress services and drops the cached class objects; true (the teardown
    /// cannot fail). At process exit nothing is called at all.
    bool ProcessDetach(DetachKind kind) noexcept;

    /// FreeLibrary: ProcessDetach(DetachKind::Unload), then ends the module object.
    static bool Unload() noexcept;

    /// DllGetClassObject: the cached class object of clsid, asked for iid.
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) noexcept;
    /// DllCanUnloadNow: S_OK only with no module lock and neither worker thread running. Before
    /// answering S_OK it releases the cached type information, which is no COM call to make at
    /// unload, under the loader lock.
    HRESULT CanUnloadNow() noexcept;

    /// The progress services' upload manager and progress timer.
    CUploadManager& UploadManager() noexcept { return CProgressServices::Instance().UploadManager(); }
    CProgressTimer& ProgressTimer() noexcept { return CProgressServices::Instance().ProgressTimer(); }

    /// The handle given at attach (null in executables).
    HMODULE Handle() const noexcept { return module_; }

private:
    CRITICAL_SECTION lock_{};
    bool lockReady_ = false;
    HMODULE module_ = nullptr;
    // The cached class object of each object-map entry, at the entry's position; null until asked for.
    std::array<com::CClassFactory*, com::ObjectMap().size()> factories_{};
};
