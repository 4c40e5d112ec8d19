// CResponse: the page's Response object. Write hands its text to a sink the host chooses (a page
// runner prints it); every other member answers E_NOTIMPL. The component itself never calls it.
//
//   frame::ComPtr<CResponse> response = CResponse::Create([&](const WideString& text) { out += text; });
#pragma once

#include "frame/com_ptr.h"
#include "host/host_object.h"
#include "platform/win.h"

#include <asptlb.h>

#include <functional>
#include <mutex>

namespace host {

/// Receives the text of each Response.Write.
using TResponseSink = std::function<void(const WideString& text)>;

class CResponse final : public CHostObject<IResponse> {
public:
    /// A response whose writes go to sink; an empty sink drops them.
    static frame::ComPtr<CResponse> Create(TResponseSink sink);

    /// Converts varText to a string (an object gives its default value) and hands it to the
    /// sink; Null and Empty write nothing. DISP_E_TYPEMISMATCH when it does not convert.
    STDMETHODIMP Write(VARIANT varText) override;

    STDMETHODIMP get_Buffer(VARIANT_BOOL* fIsBuffering) override;
    STDMETHODIMP put_Buffer(VARIANT_BOOL fIsBuffering) override;
    STDMETHODIMP get_ContentType(BSTR* pbstrContentTypeRet) override;
    STDMETHODIMP put_ContentType(BSTR bstrContentType) override;
    STDMETHODIMP get_Expires(VARIANT* pvarExpiresMinutesRet) override;
    STDMETHODIMP put_Expires(LONG lExpiresMinutes) override;
    STDMETHODIMP get_ExpiresAbsolute(VARIANT* pvarExpiresRet) override;
    STDMETHODIMP put_ExpiresAbsolute(DATE dtExpires) override;
    STDMETHODIMP get_Cookies(IRequestDictionary** ppCookies) override;
    STDMETHODIMP get_Status(BSTR* pbstrStatusRet) override;
    STDMETHODIMP put_Status(BSTR bstrStatus) override;
    STDMETHODIMP Add(BSTR bstrHeaderValue, BSTR bstrHeaderName) override;
    STDMETHODIMP AddHeader(BSTR bstrHeaderName, BSTR bstrHeaderValue) override;
    STDMETHODIMP AppendToLog(BSTR bstrLogEntry) override;
    STDMETHODIMP BinaryWrite(VARIANT varInput) override;
    STDMETHODIMP Clear() override;
    STDMETHODIMP End() override;
    STDMETHODIMP Flush() override;
    STDMETHODIMP Redirect(BSTR bstrURL) override;
    STDMETHODIMP WriteBlock(short iBlockNumber) override;
    STDMETHODIMP IsClientConnected(VARIANT_BOOL* pfIsClientConnected) override;
    STDMETHODIMP get_CharSet(BSTR* pbstrCharSetRet) override;
    STDMETHODIMP put_CharSet(BSTR bstrCharSet) override;
    STDMETHODIMP Pics(BSTR bstrHeaderValue) override;
    STDMETHODIMP get_CacheControl(BSTR* pbstrCacheControl) override;
    STDMETHODIMP put_CacheControl(BSTR bstrCacheControl) override;

private:
    explicit CResponse(TResponseSink sink);
    HRESULT InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result) override;

    std::mutex lock_; // keeps writes from several threads whole and in order
    const TResponseSink sink_;
};

} // namespace host
