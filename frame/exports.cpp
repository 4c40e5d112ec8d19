// The four functions the DLL exports (undecorated, through kestrune.def). Executables that link
// the product objects directly get the same functions; on POSIX the stand-in's CoCreateInstance
// calls DllGetClassObject.
#include "frame/exports.h"
#include "frame/module.h"
#include "frame/registration.h"

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
    return frame::RegisterServer(frame::ModuleFileName(CKestruneModule::Instance().Handle()));
}

STDAPI DllUnregisterServer()
{
    return frame::UnregisterServer(frame::ModuleFileName(CKestruneModule::Instance().Handle()));
}
