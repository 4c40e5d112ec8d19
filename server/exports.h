// The four functions the DLL exports, declared for callers inside the code base (tests, tools).
#pragma once

#include "platform/win.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* ppv);
STDAPI DllCanUnloadNow();
STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();
