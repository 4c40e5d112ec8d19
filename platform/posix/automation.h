// OLE Automation functions of the POSIX stand-in: BSTR, VARIANT, SAFEARRAY, VarBstrCmp and the
// type-library entry points (which fail as on a system where the library is not registered).
#pragma once

#include "platform/posix/com.h"

#ifndef _WIN32

// BSTR: a 4-byte byte-length prefix before the characters and a terminating NUL after them.
EXTERN_C BSTR SysAllocString(const OLECHAR* psz);
EXTERN_C BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
EXTERN_C BSTR SysAllocStringByteLen(LPCSTR psz, UINT len);
EXTERN_C INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
EXTERN_C INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
EXTERN_C void SysFreeString(BSTR bstrString);
EXTERN_C UINT SysStringLen(BSTR pbstr);
EXTERN_C UINT SysStringByteLen(BSTR bstr);

// VARIANT.
EXTERN_C void VariantInit(VARIANTARG* pvarg);
EXTERN_C HRESULT VariantClear(VARIANTARG* pvarg);
EXTERN_C HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
EXTERN_C HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc);
EXTERN_C HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt);
EXTERN_C HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid, USHORT wFlags,
                                     VARTYPE vt);

// SAFEARRAY.
EXTERN_C SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound);
EXTERN_C SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
EXTERN_C HRESULT SafeArrayDestroy(SAFEARRAY* psa);
EXTERN_C HRESULT SafeArrayLock(SAFEARRAY* psa);
EXTERN_C HRESULT SafeArrayUnlock(SAFEARRAY* psa);
EXTERN_C HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
EXTERN_C HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
EXTERN_C UINT SafeArrayGetDim(SAFEARRAY* psa);
EXTERN_C UINT SafeArrayGetElemsize(SAFEARRAY* psa);
EXTERN_C HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
EXTERN_C HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
EXTERN_C HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
EXTERN_C HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
EXTERN_C HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
EXTERN_C HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);

// Comparison of two strings for a locale (approximated, see platform/README.md).
EXTERN_C HRESULT VarBstrCmp(BSTR bstrLeft, BSTR bstrRight, LCID lcid, ULONG dwFlags);

// Type libraries: never registered here.
EXTERN_C HRESULT LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib);
EXTERN_C HRESULT LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib);
EXTERN_C HRESULT LoadTypeLibEx(LPCOLESTR szFile, REGKIND regkind, ITypeLib** pptlib);
EXTERN_C HRESULT RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir);
EXTERN_C HRESULT UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND syskind);
EXTERN_C HRESULT DispGetIDsOfNames(ITypeInfo* ptinfo, OLECHAR** rgszNames, UINT cNames, DISPID* rgdispid);
EXTERN_C HRESULT DispInvoke(void* _this, ITypeInfo* ptinfo, DISPID dispidMember, WORD wFlags, DISPPARAMS* pparams,
                            VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr);

#endif // !_WIN32
