// The four functions the DLL exports (undecorated, through kestrune.def). Executables that link
// the product objects directly get the same functions; on POSIX the stand-in's CoCreateInstance
// calls DllGetClassObject.
#include "server/exports.h"
#include "server/module.h"
#include "server/registration.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* ppv)
{
    return CKestruneModule::Instance().GetClassObject(clsid, iid, ppv);
}

STDAPI DllCanUnloadNow()
{
    return CKestruneModule::Instance().CanUnloadNow();
}

STDAPI DllRegisterServer()
{
    return com::RegisterServer(com::ModuleFileName(CKestruneModule::Instance().Handle()));
}

STDAPI DllUnregisterServer()
{
    return com::UnregisterServer(com::ModuleFileName(CKestruneModule::Instance().Handle()));
}
