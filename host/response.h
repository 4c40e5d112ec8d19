// CResponse: the page's Response object. It runs in one of two modes:
// - text: Write hands its text to a sink the host chooses (a page runner prints it); the HTTP
//   members keep their values but send nothing.
// - HTTP: Write and BinaryWrite fill a buffer, sent through a CResponseChannel with the status,
//   content type, charset and added headers on Flush, on Finish, or at once when Buffer is False.
//   Write converts text with CodePage (a member beyond IResponse, reached through IDispatch).
//
//   com::ComPtr<CResponse> response = CResponse::Create([&](const WideString& text) { out += text; });
//   com::ComPtr<CResponse> page = CResponse::CreateHttp(channel, 65001);
//   page->SetBlocks(literalBlocks);  // the page's text, for WriteBlock
//   ... page->Finish();
//
// End and Redirect end the page: they answer kPageEnded, which stops the script, and every later
// Write answers it too. The host then asks Ended() to tell that from a script error.
#pragma once

#include "com/com_ptr.h"
#include "host/host_object.h"
#include "host/response_channel.h"
#include "platform/win.h"

#include <asptlb.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace host {

/// Receives the text of each Response.Write.
using TResponseSink = std::function<void(const WideString& text)>;

class CResponse : public CHostObject<IResponse, &IID_IResponse> {
public:
    /// The error End and Redirect return to stop the page's script.
    static constexpr HRESULT kPageEnded = static_cast<HRESULT>(0x8004C001);

    /// A response whose writes go to sink; an empty sink drops them.
    static com::ComPtr<CResponse> Create(TResponseSink sink);

    /// An HTTP response sent through channel, which must outlive it; text is written in codePage.
    static com::ComPtr<CResponse> CreateHttp(CResponseChannel& channel, UINT codePage);

    /// The page's literal text blocks, written by WriteBlock(i).
    void SetBlocks(std::vector<WideString> blocks);

    /// HTTP: sends the head if not sent yet, then what is buffered, and ends the body. Once.
    void Finish();

    /// True after End or Redirect.
    bool Ended() const;

    /// The code page Write converts text with.
    UINT CodePage() const;

    /// Changes the code page Write converts text with, as Response.CodePage = codePage does;
    /// false (and no change) for a code page the system cannot convert to.
    bool SetCodePage(UINT codePage);

    /// The status as the page set it, e.g. "200 OK".
    std::string Status() const;

    /// Converts varText to a string (an object gives its default value) and writes it; Null and
    /// Empty write nothing. DISP_E_TYPEMISMATCH when it does not convert.
    STDMETHODIMP Write(VARIANT varText) override;

    STDMETHODIMP get_Buffer(VARIANT_BOOL* fIsBuffering) override;
    STDMETHODIMP put_Buffer(VARIANT_BOOL fIsBuffering) override;
    STDMETHODIMP get_ContentType(BSTR* pbstrContentTypeRet) override;
    /// Any text; an empty one is refused with E_INVALIDARG. After the head went out:
    /// E_FAIL, as for every header change.
    STDMETHODIMP put_ContentType(BSTR bstrContentType) override;
    STDMETHODIMP get_Expires(VARIANT* pvarExpiresMinutesRet) override;
    STDMETHODIMP put_Expires(LONG lExpiresMinutes) override;
    STDMETHODIMP get_ExpiresAbsolute(VARIANT* pvarExpiresRet) override;
    STDMETHODIMP put_ExpiresAbsolute(DATE dtExpires) override;
    STDMETHODIMP get_Cookies(IRequestDictionary** ppCookies) override;
    STDMETHODIMP get_Status(BSTR* pbstrStatusRet) override;
    /// "NNN Reason" with a three-digit code from 100 to 999; E_INVALIDARG otherwise.
    STDMETHODIMP put_Status(BSTR bstrStatus) override;
    STDMETHODIMP Add(BSTR bstrHeaderValue, BSTR bstrHeaderName) override;
    /// A name of token characters and a value without line breaks; E_INVALIDARG otherwise.
    STDMETHODIMP AddHeader(BSTR bstrHeaderName, BSTR bstrHeaderValue) override;
    STDMETHODIMP AppendToLog(BSTR bstrLogEntry) override;
    /// varInput: an array of bytes (VT_ARRAY|VT_UI1); DISP_E_TYPEMISMATCH otherwise.
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

protected:
    CResponse(TResponseSink sink, CResponseChannel* channel, UINT codePage);

private:
    HRESULT InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result) override;
    // The parts of InvokeMember: Write, BinaryWrite and WriteBlock; AddHeader and Redirect; the
    // properties read (Buffer, IsClientConnected, ContentType, Status, CharSet, CodePage).
    HRESULT InvokeWrite(DISPID id, const CDispArgs& args);
    HRESULT InvokeHeaderCall(DISPID id, const CDispArgs& args);
    HRESULT InvokeGetter(DISPID id, VARIANT* result);
    HRESULT PutMember(DISPID id, const VARIANT& value) override;
    HRESULT WriteText(const WideString& text);
    HRESULT AppendBytes(std::string_view bytes);
    void SendHeadLocked(std::optional<std::size_t> contentLength);
    void FlushLocked();

    mutable std::mutex lock_; // keeps writes from several threads whole and in order
    const TResponseSink sink_;
    CResponseChannel* const channel_;
    UINT codePage_;
    std::string status_ = "200 OK";
    std::string contentType_ = "text/html";
    std::string charset_;
    THttpHeaderList headers_;
    std::vector<WideString> blocks_;
    std::string buffer_;
    bool buffering_ = true;
    bool headSent_ = false;
    bool ended_ = false;
    bool finished_ = false;
};

} // namespace host
