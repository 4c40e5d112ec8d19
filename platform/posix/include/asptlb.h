// The ASP intrinsic interfaces for the POSIX build: the scripting context, Request, Response and
// the collections they hand out, with the same vtable order, parameter types and interface IDs
// as the SDK header used on Windows, so that code calling them compiles and behaves the same on
// both. Only C++ declarations are provided.
//
// Interfaces that are only passed around by pointer here (server, session, application objects)
// are declared but not defined.
#pragma once

#include <oaidl.h>

struct IStringList;
struct IRequestDictionary;
struct IRequest;
struct IReadCookie;
struct IWriteCookie;
struct IResponse;
struct IServer;
struct ISessionObject;
struct IApplicationObject;
struct IScriptingContext;

// The IDs are constants usable from any number of translation units, whether or not
// <initguid.h> was included first.
inline constexpr GUID LIBID_ASPTypeLibrary = {
    0xD97A6DA0, 0xA85C, 0x11CF, {0x83, 0xAE, 0x00, 0xA0, 0xC9, 0x0C, 0x2B, 0xD8}};
inline constexpr IID IID_IStringList = {0xD97A6DA0, 0xA85D, 0x11CF, {0x83, 0xAE, 0x00, 0xA0, 0xC9, 0x0C, 0x2B, 0xD8}};
inline constexpr IID IID_IRequestDictionary = {
    0xD97A6DA0, 0xA85F, 0x11DF, {0x83, 0xAE, 0x00, 0xA0, 0xC9, 0x0C, 0x2B, 0xD8}};
inline constexpr IID IID_IRequest = {0xD97A6DA0, 0xA861, 0x11CF, {0x93, 0xAE, 0x00, 0xA0, 0xC9, 0x0C, 0x2B, 0xD8}};
inline constexpr IID IID_IReadCookie = {0x71EAF260, 0x0CE0, 0x11D0, {0xA5, 0x3E, 0x00, 0xA0, 0xC9, 0x0C, 0x20, 0x91}};
inline constexpr IID IID_IWriteCookie = {0xD97A6DA0, 0xA862, 0x11CF, {0x84, 0xAE, 0x00, 0xA0, 0xC9, 0x0C, 0x2B, 0xD8}};
inline constexpr IID IID_IResponse = {0xD97A6DA0, 0xA864, 0x11CF, {0x83, 0xBE, 0x00, 0xA0, 0xC9, 0x0C, 0x2B, 0xD8}};
inline constexpr IID IID_IScriptingContext = {
    0xD97A6DA0, 0xA868, 0x11CF, {0x83, 0xAE, 0x00, 0xB0, 0xC9, 0x0C, 0x2B, 0xD8}};
inline constexpr CLSID CLSID_Request = {0x920C25D0, 0x25D9, 0x11D0, {0xA5, 0x5F, 0x00, 0xA0, 0xC9, 0x0C, 0x20, 0x91}};
inline constexpr CLSID CLSID_Response = {0x46E19BA0, 0x25DD, 0x11D0, {0xA5, 0x5F, 0x00, 0xA0, 0xC9, 0x0C, 0x20, 0x91}};
inline constexpr CLSID CLSID_ScriptingContext = {
    0xD97A6DA0, 0xA868, 0x11CF, {0x83, 0xAE, 0x11, 0xB0, 0xC9, 0x0C, 0x2B, 0xD8}};

// A list of strings, e.g. the values of one server variable; its default value joins them.
struct IStringList : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT i, VARIANT* pVariantReturn) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(int* cStrRet) = 0;
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** ppEnumReturn) = 0;
};

// A read-only collection keyed by name (server variables, query string, form, cookies).
struct IRequestDictionary : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT Var, VARIANT* pVariantReturn) = 0;
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** ppEnumReturn) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(int* cStrRet) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Key(VARIANT VarKey, VARIANT* pvar) = 0;
};

// The incoming HTTP request of a page.
struct IRequest : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Item(BSTR bstrVar, IDispatch** ppObjReturn) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_QueryString(IRequestDictionary** ppDictReturn) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Form(IRequestDictionary** ppDictReturn) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Body(IRequestDictionary** ppDictReturn) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ServerVariables(IRequestDictionary** ppDictReturn) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ClientCertificate(IRequestDictionary** ppDictReturn) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Cookies(IRequestDictionary** ppDictReturn) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TotalBytes(LONG* pcbTotal) = 0;
    virtual HRESULT STDMETHODCALLTYPE BinaryRead(VARIANT* pvarCountToRead, VARIANT* pvarReturn) = 0;
};

// One cookie of the request.
struct IReadCookie : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT Var, VARIANT* pVariantReturn) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HasKeys(VARIANT_BOOL* pfHasKeys) = 0;
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** ppEnumReturn) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(int* cStrRet) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Key(VARIANT VarKey, VARIANT* pvar) = 0;
};

// One cookie of the response.
struct IWriteCookie : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE put_Item(VARIANT key, BSTR bstrValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Expires(DATE dtExpires) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Domain(BSTR bstrDomain) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Path(BSTR bstrPath) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Secure(VARIANT_BOOL fSecure) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HasKeys(VARIANT_BOOL* pfHasKeys) = 0;
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** ppEnumReturn) = 0;
};

// The HTTP response of a page.
struct IResponse : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Buffer(VARIANT_BOOL* fIsBuffering) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Buffer(VARIANT_BOOL fIsBuffering) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ContentType(BSTR* pbstrContentTypeRet) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ContentType(BSTR bstrContentType) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Expires(VARIANT* pvarExpiresMinutesRet) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Expires(LONG lExpiresMinutes) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ExpiresAbsolute(VARIANT* pvarExpiresRet) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ExpiresAbsolute(DATE dtExpires) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Cookies(IRequestDictionary** ppCookies) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Status(BSTR* pbstrStatusRet) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Status(BSTR bstrStatus) = 0;
    virtual HRESULT STDMETHODCALLTYPE Add(BSTR bstrHeaderValue, BSTR bstrHeaderName) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddHeader(BSTR bstrHeaderName, BSTR bstrHeaderValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE AppendToLog(BSTR bstrLogEntry) = 0;
    virtual HRESULT STDMETHODCALLTYPE BinaryWrite(VARIANT varInput) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
    virtual HRESULT STDMETHODCALLTYPE End() = 0;
    virtual HRESULT STDMETHODCALLTYPE Flush() = 0;
    virtual HRESULT STDMETHODCALLTYPE Redirect(BSTR bstrURL) = 0;
    virtual HRESULT STDMETHODCALLTYPE Write(VARIANT varText) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteBlock(short iBlockNumber) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsClientConnected(VARIANT_BOOL* pfIsClientConnected) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CharSet(BSTR* pbstrCharSetRet) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CharSet(BSTR bstrCharSet) = 0;
    virtual HRESULT STDMETHODCALLTYPE Pics(BSTR bstrHeaderValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CacheControl(BSTR* pbstrCacheControl) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CacheControl(BSTR bstrCacheControl) = 0;
};

// What a component receives in OnStartPage: the page's intrinsic objects.
struct IScriptingContext : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Request(IRequest** ppRequest) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Response(IResponse** ppResponse) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Server(IServer** ppServer) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Session(ISessionObject** ppSession) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Application(IApplicationObject** ppApplication) = 0;
};
