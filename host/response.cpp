#include "host/response.h"

#include "frame/variant.h"

namespace host {

namespace {

enum : DISPID { kWrite = 1 };

// Only Write is callable; the other names resolve so that a script gets "not implemented".
const TDispMember kMembers[] = {
    {OLESTR("Write"), kWrite},
    {OLESTR("Buffer"), 2},
    {OLESTR("ContentType"), 3},
    {OLESTR("Expires"), 4},
    {OLESTR("ExpiresAbsolute"), 5},
    {OLESTR("Cookies"), 6},
    {OLESTR("Status"), 7},
    {OLESTR("Add"), 8},
    {OLESTR("AddHeader"), 9},
    {OLESTR("AppendToLog"), 10},
    {OLESTR("BinaryWrite"), 11},
    {OLESTR("Clear"), 12},
    {OLESTR("End"), 13},
    {OLESTR("Flush"), 14},
    {OLESTR("Redirect"), 15},
    {OLESTR("WriteBlock"), 16},
    {OLESTR("IsClientConnected"), 17},
    {OLESTR("CharSet"), 18},
    {OLESTR("Pics"), 19},
    {OLESTR("CacheControl"), 20},
};

template <class T>
HRESULT NotImplemented(T* out) noexcept
{
    if (out)
        *out = T();
    return E_NOTIMPL;
}

} // namespace

CResponse::CResponse(TResponseSink sink) : CHostObject(IID_IResponse, kMembers), sink_(std::move(sink)) {}

frame::ComPtr<CResponse> CResponse::Create(TResponseSink sink)
{
    return frame::ComPtr<CResponse>(new CResponse(std::move(sink)));
}

STDMETHODIMP CResponse::Write(VARIANT varText)
{
    return frame::ComBoundary([&]() -> HRESULT {
        const VARIANT& value = Dereference(varText);
        if (value.vt == VT_NULL || value.vt == VT_EMPTY)
            return S_OK;
        frame::Variant text;
        if (FAILED(::VariantChangeType(text.Get(), const_cast<VARIANT*>(&value), 0, VT_BSTR)))
            return DISP_E_TYPEMISMATCH;
        const BSTR bstr = text.Get()->bstrVal;
        const WideString written(bstr, bstr ? ::SysStringLen(bstr) : 0);
        std::lock_guard<std::mutex> guard(lock_);
        if (sink_)
            sink_(written);
        return S_OK;
    });
}

HRESULT CResponse::InvokeMember(DISPID id, const CDispArgs& args, VARIANT*)
{
    if (id != kWrite)
        return E_NOTIMPL;
    const HRESULT hr = args.Expect(1, 1);
    return FAILED(hr) ? hr : Write(args[0]);
}

STDMETHODIMP CResponse::get_Buffer(VARIANT_BOOL* fIsBuffering) { return NotImplemented(fIsBuffering); }
STDMETHODIMP CResponse::put_Buffer(VARIANT_BOOL) { return E_NOTIMPL; }
STDMETHODIMP CResponse::get_ContentType(BSTR* pbstrContentTypeRet) { return NotImplemented(pbstrContentTypeRet); }
STDMETHODIMP CResponse::put_ContentType(BSTR) { return E_NOTIMPL; }
STDMETHODIMP CResponse::get_Expires(VARIANT* pvarExpiresMinutesRet)
{
    if (pvarExpiresMinutesRet)
        ::VariantInit(pvarExpiresMinutesRet);
    return E_NOTIMPL;
}
STDMETHODIMP CResponse::put_Expires(LONG) { return E_NOTIMPL; }
STDMETHODIMP CResponse::get_ExpiresAbsolute(VARIANT* pvarExpiresRet)
{
    if (pvarExpiresRet)
        ::VariantInit(pvarExpiresRet);
    return E_NOTIMPL;
}
STDMETHODIMP CResponse::put_ExpiresAbsolute(DATE) { return E_NOTIMPL; }
STDMETHODIMP CResponse::get_Cookies(IRequestDictionary** ppCookies) { return NotImplemented(ppCookies); }
STDMETHODIMP CResponse::get_Status(BSTR* pbstrStatusRet) { return NotImplemented(pbstrStatusRet); }
STDMETHODIMP CResponse::put_Status(BSTR) { return E_NOTIMPL; }
STDMETHODIMP CResponse::Add(BSTR, BSTR) { return E_NOTIMPL; }
STDMETHODIMP CResponse::AddHeader(BSTR, BSTR) { return E_NOTIMPL; }
STDMETHODIMP CResponse::AppendToLog(BSTR) { return E_NOTIMPL; }
STDMETHODIMP CResponse::BinaryWrite(VARIANT) { return E_NOTIMPL; }
STDMETHODIMP CResponse::Clear() { return E_NOTIMPL; }
STDMETHODIMP CResponse::End() { return E_NOTIMPL; }
STDMETHODIMP CResponse::Flush() { return E_NOTIMPL; }
STDMETHODIMP CResponse::Redirect(BSTR) { return E_NOTIMPL; }
STDMETHODIMP CResponse::WriteBlock(short) { return E_NOTIMPL; }
STDMETHODIMP CResponse::IsClientConnected(VARIANT_BOOL* pfIsClientConnected) { return NotImplemented(pfIsClientConnected); }
STDMETHODIMP CResponse::get_CharSet(BSTR* pbstrCharSetRet) { return NotImplemented(pbstrCharSetRet); }
STDMETHODIMP CResponse::put_CharSet(BSTR) { return E_NOTIMPL; }
STDMETHODIMP CResponse::Pics(BSTR) { return E_NOTIMPL; }
STDMETHODIMP CResponse::get_CacheControl(BSTR* pbstrCacheControl) { return NotImplemented(pbstrCacheControl); }
STDMETHODIMP CResponse::put_CacheControl(BSTR) { return E_NOTIMPL; }

} // namespace host
