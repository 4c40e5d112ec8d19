// The DLL entry point (Windows DLL build only).
#include "frame/module.h"
#include "frame/type_info_cache.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        return CKestruneModule::Instance().ProcessAttach(instance) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        // At process exit other DLLs may already be gone: only a FreeLibrary releases the cached
        // type information.
        if (!reserved)
            frame::ReleaseCachedTypeInfo();
        return CKestruneModule::Instance().ProcessDetach() ? TRUE : FALSE;
    default:
        return TRUE;
    }
}
