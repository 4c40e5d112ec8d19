// Type libraries do not exist on POSIX: every entry point answers as Windows does when the
// library is not registered or cannot be loaded.
#include "platform/posix/automation.h"

HRESULT LoadRegTypeLib(REFGUID, WORD, WORD, LCID, ITypeLib** pptlib)
{
    if (pptlib)
        *pptlib = nullptr;
    return TYPE_E_LIBNOTREGISTERED;
}

HRESULT LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib)
{
    return LoadTypeLibEx(szFile, REGKIND_DEFAULT, pptlib);
}

HRESULT LoadTypeLibEx(LPCOLESTR szFile, REGKIND, ITypeLib** pptlib)
{
    if (!szFile || !pptlib)
        return E_INVALIDARG;
    *pptlib = nullptr;
    return TYPE_E_CANTLOADLIBRARY;
}

HRESULT RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR)
{
    if (!ptlib || !szFullPath)
        return E_INVALIDARG;
    return TYPE_E_REGISTRYACCESS;
}

HRESULT UnRegisterTypeLib(REFGUID, WORD, WORD, LCID, SYSKIND)
{
    return TYPE_E_REGISTRYACCESS;
}

HRESULT DispGetIDsOfNames(ITypeInfo* ptinfo, OLECHAR** rgszNames, UINT cNames, DISPID* rgdispid)
{
    if (!ptinfo)
        return E_INVALIDARG;
    return ptinfo->GetIDsOfNames(rgszNames, cNames, rgdispid);
}

HRESULT DispInvoke(void* _this, ITypeInfo* ptinfo, DISPID dispidMember, WORD wFlags, DISPPARAMS* pparams,
                   VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr)
{
    if (!ptinfo)
        return E_INVALIDARG;
    return ptinfo->Invoke(_this, dispidMember, wFlags, pparams, pvarResult, pexcepinfo, puArgErr);
}
