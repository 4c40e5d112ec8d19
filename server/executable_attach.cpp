// In an executable that links the product objects directly (unit tests, tools) nothing calls the
// DLL entry point, so the module is attached when the program starts and detached when it ends.
// The DLL build leaves this file out and uses dll_main.cpp instead.
#include "server/module.h"
#include "com/type_info_cache.h"

namespace {

struct ExecutableAttach {
    ExecutableAttach() noexcept { CKestruneModule::Instance().ProcessAttach(nullptr); }
    ~ExecutableAttach()
    {
        // Unlike a DLL's detach this runs outside the loader lock, so the workers can be told to
        // end and waited for: none is left running into the process's own teardown.
        CKestruneModule& module = CKestruneModule::Instance();
        module.UploadManager().StopWorker();
        module.ProgressTimer().StopWorker();
        module.ProcessDetach(DetachKind::Executable);
        com::ReleaseCachedTypeInfo();
    }
};

const ExecutableAttach g_attach;

} // namespace
