// The DLL entry point (Windows DLL build only).
#include "server/module.h"
#include "com/type_info_cache.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH: return CKestruneModule::Instance().ProcessAttach(instance) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        // Process exit: other threads are gone, perhaps inside our locks, and other DLLs may be
        // too. Nothing is called and nothing waits; the process takes the memory back.
        if (reserved)
            return TRUE;
        // FreeLibrary, under the loader lock: our own memory, handles and locks only.
        com::UnloadTypeInfoCache();
        return CKestruneModule::Unload() ? TRUE : FALSE;
    default: return TRUE;
    }
}
