#include "host/response.h"

#include "com/bstr.h"
#include "com/code_page_text.h"
#include "com/variant.h"
#include "host/http_token.h"

#include <climits>
#include <new>
#include <optional>

namespace host {

namespace {

enum : DISPID {
    kWrite = 1,
    kBuffer,
    kContentType,
    kExpires,
    kExpiresAbsolute,
    kCookies,
    kStatus,
    kAdd,
    kAddHeader,
    kAppendToLog,
    kBinaryWrite,
    kClear,
    kEnd,
    kFlush,
    kRedirect,
    kWriteBlock,
    kIsClientConnected,
    kCharSet,
    kPics,
    kCacheControl,
    kCodePage,
};

const TDispMember kMembers[] = {
    {OLESTR("Write"), kWrite},
    {OLESTR("Buffer"), kBuffer},
    {OLESTR("ContentType"), kContentType},
    {OLESTR("Expires"), kExpires},
    {OLESTR("ExpiresAbsolute"), kExpiresAbsolute},
    {OLESTR("Cookies"), kCookies},
    {OLESTR("Status"), kStatus},
    {OLESTR("Add"), kAdd},
    {OLESTR("AddHeader"), kAddHeader},
    {OLESTR("AppendToLog"), kAppendToLog},
    {OLESTR("BinaryWrite"), kBinaryWrite},
    {OLESTR("Clear"), kClear},
    {OLESTR("End"), kEnd},
    {OLESTR("Flush"), kFlush},
    {OLESTR("Redirect"), kRedirect},
    {OLESTR("WriteBlock"), kWriteBlock},
    {OLESTR("IsClientConnected"), kIsClientConnected},
    {OLESTR("CharSet"), kCharSet},
    {OLESTR("Pics"), kPics},
    {OLESTR("CacheControl"), kCacheControl},
    {OLESTR("CodePage"), kCodePage},
};

template <class T>
HRESULT NotImplemented(T* out) noexcept
{
    if (out)
        *out = T();
    return E_NOTIMPL;
}

// text in code page codePage; throws std::runtime_error when it cannot be converted.
std::string Narrow(std::basic_string_view<OLECHAR> text, UINT codePage)
{
    std::optional<std::string> bytes = com::NarrowText(text, codePage);
    if (!bytes)
        throw std::runtime_error("text cannot be converted to the response's code page");
    return std::move(*bytes);
}

std::string Narrow(BSTR text, UINT codePage)
{
    return Narrow(std::basic_string_view<OLECHAR>(text, text ? ::SysStringLen(text) : 0), codePage);
}

// A BSTR copy of text in codePage, for the property getters: empty when it does not convert.
HRESULT CopyOut(const std::string& text, UINT codePage, BSTR* out) noexcept
{
    try {
        const WideString wide = com::WidenText(text, codePage).value_or(WideString());
        *out = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    } catch (const std::bad_alloc&) {
        *out = nullptr;
    }
    return *out ? S_OK : E_OUTOFMEMORY;
}

bool HasLineBreak(const std::string& value) noexcept
{
    return value.find_first_of("\r\n") != std::string::npos;
}

HRESULT StringFrom(const VARIANT& value, BSTR* text) noexcept
{
    com::Variant converted;
    if (FAILED(::VariantChangeType(converted.Get(), const_cast<VARIANT*>(&value), 0, VT_BSTR)))
        return DISP_E_TYPEMISMATCH;
    *text = converted.Get()->bstrVal;
    converted.Get()->vt = VT_EMPTY; // ownership moves to the caller
    return S_OK;
}

} // namespace

CResponse::CResponse(TResponseSink sink, CResponseChannel* channel, UINT codePage)
    : CHostObject(kMembers), sink_(std::move(sink)), channel_(channel), codePage_(codePage)
{}

com::ComPtr<CResponse> CResponse::Create(TResponseSink sink)
{
    return MakeHostObject<CResponse>(std::move(sink), nullptr, ::GetACP());
}

com::ComPtr<CResponse> CResponse::CreateHttp(CResponseChannel& channel, UINT codePage)
{
    return MakeHostObject<CResponse>(TResponseSink(), &channel, codePage);
}

void CResponse::SetBlocks(std::vector<WideString> blocks)
{
    std::lock_guard<std::mutex> guard(lock_);
    blocks_ = std::move(blocks);
}

bool CResponse::Ended() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return ended_;
}

UINT CResponse::CodePage() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return codePage_;
}

bool CResponse::SetCodePage(UINT codePage)
{
    const std::optional<std::string> letter = com::NarrowText(OLESTR("a"), codePage);
    if (!letter || letter->size() != 1)
        return false; // a code page the system cannot convert to
    std::lock_guard<std::mutex> guard(lock_);
    codePage_ = codePage;
    return true;
}

std::string CResponse::Status() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return status_;
}

void CResponse::SendHeadLocked(std::optional<std::size_t> contentLength)
{
    if (headSent_ || !channel_)
        return;
    THttpHeaderList headers;
    std::string type = contentType_;
    if (!charset_.empty())
        type += "; charset=" + charset_;
    headers.emplace_back("Content-Type", type);
    headers.insert(headers.end(), headers_.begin(), headers_.end());
    channel_->SendHead(status_, headers, contentLength);
    headSent_ = true;
}

void CResponse::FlushLocked()
{
    SendHeadLocked(std::nullopt);
    if (channel_ && !buffer_.empty())
        channel_->SendBody(buffer_);
    buffer_.clear();
}

void CResponse::Finish()
{
    std::lock_guard<std::mutex> guard(lock_);
    if (finished_ || !channel_)
        return;
    finished_ = true;
    if (!headSent_)
        SendHeadLocked(buffer_.size());
    if (!buffer_.empty())
        channel_->SendBody(buffer_);
    buffer_.clear();
    channel_->EndBody();
}

HRESULT CResponse::AppendBytes(std::string_view bytes)
{
    if (ended_)
        return kPageEnded;
    buffer_.append(bytes);
    if (!buffering_)
        FlushLocked();
    return S_OK;
}

HRESULT CResponse::WriteText(const WideString& text)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (!channel_) {
        if (sink_)
            sink_(text);
        return S_OK;
    }
    return AppendBytes(Narrow(text, codePage_));
}

STDMETHODIMP CResponse::Write(VARIANT varText)
{
    return com::ComBoundary([&]() -> HRESULT {
        const VARIANT& value = Dereference(varText);
        if (value.vt == VT_NULL || value.vt == VT_EMPTY)
            return Ended() ? kPageEnded : S_OK;
        com::Variant text;
        if (FAILED(::VariantChangeType(text.Get(), const_cast<VARIANT*>(&value), 0, VT_BSTR)))
            return DISP_E_TYPEMISMATCH;
        const BSTR bstr = text.Get()->bstrVal;
        return WriteText(WideString(bstr, bstr ? ::SysStringLen(bstr) : 0));
    });
}

STDMETHODIMP CResponse::WriteBlock(short iBlockNumber)
{
    return com::ComBoundary([&]() -> HRESULT {
        WideString block;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (iBlockNumber < 0 || static_cast<std::size_t>(iBlockNumber) >= blocks_.size())
                return E_INVALIDARG;
            block = blocks_[static_cast<std::size_t>(iBlockNumber)];
        }
        return WriteText(block);
    });
}

STDMETHODIMP CResponse::BinaryWrite(VARIANT varInput)
{
    return com::ComBoundary([&]() -> HRESULT {
        const VARIANT& value = Dereference(varInput);
        SAFEARRAY* array = nullptr;
        if (value.vt == (VT_ARRAY | VT_UI1))
            array = value.parray;
        else if (value.vt == (VT_BYREF | VT_ARRAY | VT_UI1) && value.pparray)
            array = *value.pparray;
        if (!array || ::SafeArrayGetDim(array) != 1)
            return DISP_E_TYPEMISMATCH;
        LONG lower = 0, upper = -1;
        ::SafeArrayGetLBound(array, 1, &lower);
        ::SafeArrayGetUBound(array, 1, &upper);
        void* data = nullptr;
        if (FAILED(::SafeArrayAccessData(array, &data)))
            return E_FAIL;
        std::string bytes(static_cast<const char*>(data), static_cast<std::size_t>(upper - lower + 1));
        ::SafeArrayUnaccessData(array);
        std::lock_guard<std::mutex> guard(lock_);
        if (!channel_)
            return S_OK;
        return AppendBytes(bytes);
    });
}

STDMETHODIMP CResponse::get_Buffer(VARIANT_BOOL* fIsBuffering)
{
    if (!fIsBuffering)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    *fIsBuffering = buffering_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CResponse::put_Buffer(VARIANT_BOOL fIsBuffering)
{
    return com::ComBoundary([&]() -> HRESULT {
        std::lock_guard<std::mutex> guard(lock_);
        buffering_ = fIsBuffering != VARIANT_FALSE;
        if (!buffering_ && !buffer_.empty())
            FlushLocked();
        return S_OK;
    });
}

STDMETHODIMP CResponse::get_ContentType(BSTR* pbstrContentTypeRet)
{
    if (!pbstrContentTypeRet)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    return CopyOut(contentType_, codePage_, pbstrContentTypeRet);
}

STDMETHODIMP CResponse::put_ContentType(BSTR bstrContentType)
{
    return com::ComBoundary([&]() -> HRESULT {
        std::lock_guard<std::mutex> guard(lock_);
        std::string type = Narrow(bstrContentType, codePage_);
        if (type.empty() || HasLineBreak(type))
            return E_INVALIDARG;
        if (headSent_)
            return E_FAIL;
        contentType_ = std::move(type);
        return S_OK;
    });
}

STDMETHODIMP CResponse::get_Status(BSTR* pbstrStatusRet)
{
    if (!pbstrStatusRet)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    return CopyOut(status_, codePage_, pbstrStatusRet);
}

STDMETHODIMP CResponse::put_Status(BSTR bstrStatus)
{
    return com::ComBoundary([&]() -> HRESULT {
        std::lock_guard<std::mutex> guard(lock_);
        std::string status = Narrow(bstrStatus, codePage_);
        const bool valid = status.size() >= 3 && status[0] >= '1' && status[0] <= '9' && status[1] >= '0' &&
                           status[1] <= '9' && status[2] >= '0' && status[2] <= '9' &&
                           (status.size() == 3 || status[3] == ' ') && !HasLineBreak(status);
        if (!valid)
            return E_INVALIDARG;
        if (headSent_)
            return E_FAIL;
        status_ = std::move(status);
        return S_OK;
    });
}

STDMETHODIMP CResponse::AddHeader(BSTR bstrHeaderName, BSTR bstrHeaderValue)
{
    return com::ComBoundary([&]() -> HRESULT {
        std::lock_guard<std::mutex> guard(lock_);
        std::string name = Narrow(bstrHeaderName, codePage_);
        std::string value = Narrow(bstrHeaderValue, codePage_);
        if (!IsHttpToken(name) || HasLineBreak(value))
            return E_INVALIDARG;
        if (headSent_)
            return E_FAIL;
        headers_.emplace_back(std::move(name), std::move(value));
        return S_OK;
    });
}

STDMETHODIMP CResponse::Add(BSTR bstrHeaderValue, BSTR bstrHeaderName)
{
    return AddHeader(bstrHeaderName, bstrHeaderValue);
}

STDMETHODIMP CResponse::Clear()
{
    std::lock_guard<std::mutex> guard(lock_);
    buffer_.clear();
    return S_OK;
}

STDMETHODIMP CResponse::End()
{
    std::lock_guard<std::mutex> guard(lock_);
    ended_ = true;
    return kPageEnded;
}

STDMETHODIMP CResponse::Flush()
{
    return com::ComBoundary([&]() -> HRESULT {
        std::lock_guard<std::mutex> guard(lock_);
        FlushLocked();
        return S_OK;
    });
}

STDMETHODIMP CResponse::Redirect(BSTR bstrURL)
{
    return com::ComBoundary([&]() -> HRESULT {
        std::lock_guard<std::mutex> guard(lock_);
        std::string url = Narrow(bstrURL, codePage_);
        if (HasLineBreak(url))
            return E_INVALIDARG;
        if (headSent_)
            return E_FAIL;
        status_ = "302 Object moved";
        headers_.emplace_back("Location", url);
        buffer_ = "<head><title>Object moved</title></head><body><h1>Object Moved</h1>This object may be found "
                  "<a href=\"" +
                  url + "\">here</a>.</body>";
        ended_ = true;
        return kPageEnded;
    });
}

STDMETHODIMP CResponse::IsClientConnected(VARIANT_BOOL* pfIsClientConnected)
{
    if (!pfIsClientConnected)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    *pfIsClientConnected = (!channel_ || channel_->Connected()) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CResponse::get_CharSet(BSTR* pbstrCharSetRet)
{
    if (!pbstrCharSetRet)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    return CopyOut(charset_, codePage_, pbstrCharSetRet);
}

STDMETHODIMP CResponse::put_CharSet(BSTR bstrCharSet)
{
    return com::ComBoundary([&]() -> HRESULT {
        std::lock_guard<std::mutex> guard(lock_);
        std::string charset = Narrow(bstrCharSet, codePage_);
        if (HasLineBreak(charset))
            return E_INVALIDARG;
        if (headSent_)
            return E_FAIL;
        charset_ = std::move(charset);
        return S_OK;
    });
}

HRESULT CResponse::InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result)
{
    switch (id) {
    case kWrite:
    case kBinaryWrite:
    case kWriteBlock: return InvokeWrite(id, args);
    case kAddHeader:
    case kRedirect: return InvokeHeaderCall(id, args);
    case kEnd: return End();
    case kFlush: return Flush();
    case kClear: return Clear();
    default: return InvokeGetter(id, result);
    }
}

HRESULT CResponse::InvokeWrite(DISPID id, const CDispArgs& args)
{
    HRESULT hr = args.Expect(1, 1);
    if (FAILED(hr))
        return hr;
    if (id == kWrite)
        return Write(args[0]);
    if (id == kBinaryWrite)
        return BinaryWrite(args[0]);
    LONG index = 0;
    if (FAILED(hr = IndexFrom(args[0], &index)))
        return hr;
    return (index < 0 || index > SHRT_MAX) ? E_INVALIDARG : WriteBlock(static_cast<short>(index));
}

HRESULT CResponse::InvokeHeaderCall(DISPID id, const CDispArgs& args)
{
    auto stringArgument = [&](UINT i, com::Bstr& out) -> HRESULT {
        BSTR text = nullptr;
        const HRESULT hr = StringFrom(args[i], &text);
        out = com::Bstr::Attach(text);
        return hr;
    };
    HRESULT hr = S_OK;
    if (FAILED(hr = args.Expect(id == kAddHeader ? 2 : 1, id == kAddHeader ? 2 : 1)))
        return hr;
    com::Bstr first, second;
    if (FAILED(hr = stringArgument(0, first)))
        return hr;
    if (id == kRedirect)
        return Redirect(first.Get());
    if (FAILED(hr = stringArgument(1, second)))
        return hr;
    return AddHeader(first.Get(), second.Get());
}

HRESULT CResponse::InvokeGetter(DISPID id, VARIANT* result)
{
    HRESULT hr = S_OK;
    switch (id) {
    case kBuffer:
    case kIsClientConnected: {
        VARIANT_BOOL value = VARIANT_FALSE;
        if (SUCCEEDED(hr = id == kBuffer ? get_Buffer(&value) : IsClientConnected(&value))) {
            result->vt = VT_BOOL;
            result->boolVal = value;
        }
        return hr;
    }
    case kContentType:
    case kStatus:
    case kCharSet: {
        BSTR text = nullptr;
        if (SUCCEEDED(hr = id == kContentType ? get_ContentType(&text)
                           : id == kStatus    ? get_Status(&text)
                                              : get_CharSet(&text))) {
            result->vt = VT_BSTR;
            result->bstrVal = text;
        }
        return hr;
    }
    case kCodePage:
        result->vt = VT_I4;
        result->lVal = static_cast<LONG>(CodePage());
        return S_OK;
    default: return E_NOTIMPL;
    }
}

HRESULT CResponse::PutMember(DISPID id, const VARIANT& value)
{
    if (id == kBuffer) {
        com::Variant flag;
        if (FAILED(::VariantChangeType(flag.Get(), const_cast<VARIANT*>(&value), 0, VT_BOOL)))
            return DISP_E_TYPEMISMATCH;
        return put_Buffer(flag.Get()->boolVal);
    }
    if (id == kCodePage) {
        com::Variant number;
        if (FAILED(::VariantChangeType(number.Get(), const_cast<VARIANT*>(&value), 0, VT_I4)))
            return DISP_E_TYPEMISMATCH;
        return SetCodePage(static_cast<UINT>(number.Get()->lVal)) ? S_OK : E_INVALIDARG;
    }
    BSTR text = nullptr;
    HRESULT hr = StringFrom(value, &text);
    if (FAILED(hr))
        return hr;
    com::Bstr owner = com::Bstr::Attach(text);
    switch (id) {
    case kContentType: return put_ContentType(owner.Get());
    case kStatus: return put_Status(owner.Get());
    case kCharSet: return put_CharSet(owner.Get());
    default: return DISP_E_MEMBERNOTFOUND;
    }
}

STDMETHODIMP CResponse::get_Expires(VARIANT* pvarExpiresMinutesRet)
{
    if (pvarExpiresMinutesRet)
        ::VariantInit(pvarExpiresMinutesRet);
    return E_NOTIMPL;
}
STDMETHODIMP CResponse::put_Expires(LONG)
{
    return E_NOTIMPL;
}
STDMETHODIMP CResponse::get_ExpiresAbsolute(VARIANT* pvarExpiresRet)
{
    if (pvarExpiresRet)
        ::VariantInit(pvarExpiresRet);
    return E_NOTIMPL;
}
STDMETHODIMP CResponse::put_ExpiresAbsolute(DATE)
{
    return E_NOTIMPL;
}
STDMETHODIMP CResponse::get_Cookies(IRequestDictionary** ppCookies)
{
    return NotImplemented(ppCookies);
}
STDMETHODIMP CResponse::AppendToLog(BSTR)
{
    return E_NOTIMPL;
}
STDMETHODIMP CResponse::Pics(BSTR)
{
    return E_NOTIMPL;
}
STDMETHODIMP CResponse::get_CacheControl(BSTR* pbstrCacheControl)
{
    return NotImplemented(pbstrCacheControl);
}
STDMETHODIMP CResponse::put_CacheControl(BSTR)
{
    return E_NOTIMPL;
}

} // namespace host
