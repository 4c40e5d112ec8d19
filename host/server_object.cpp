#include "host/server_object.h"

#include "com/bstr.h"
#include "com/code_page_text.h"
#include "com/variant.h"
#include "host/html_text.h"
#include "host/site_path.h"
#include "host/url_encoding.h"

namespace host {

namespace {

enum : DISPID {
    kScriptTimeout = 1,
    kCreateObject,
    kHTMLEncode,
    kMapPath,
    kURLEncode,
    kURLPathEncode,
    kExecute,
    kTransfer,
    kGetLastError,
};

const TDispMember kMembers[] = {
    {OLESTR("ScriptTimeout"), kScriptTimeout},
    {OLESTR("CreateObject"), kCreateObject},
    {OLESTR("HTMLEncode"), kHTMLEncode},
    {OLESTR("MapPath"), kMapPath},
    {OLESTR("URLEncode"), kURLEncode},
    {OLESTR("URLPathEncode"), kURLPathEncode},
    {OLESTR("Execute"), kExecute},
    {OLESTR("Transfer"), kTransfer},
    {OLESTR("GetLastError"), kGetLastError},
};

// Calls the method called name without arguments or with one IUnknown; S_FALSE when the object
// has no such method.
HRESULT CallIfPresent(IDispatch* object, const wchar_t* name, IUnknown* argument)
{
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        return S_FALSE;
    VARIANT arg;
    ::VariantInit(&arg);
    arg.vt = VT_UNKNOWN;
    arg.punkVal = argument;
    DISPPARAMS params = {argument ? &arg : nullptr, nullptr, argument ? 1u : 0u, 0};
    com::Variant result;
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Get(), nullptr, nullptr);
}

HRESULT StringArgument(const CDispArgs& args, com::Bstr& out)
{
    HRESULT hr = args.Expect(1, 1);
    if (FAILED(hr))
        return hr;
    com::Variant text;
    if (FAILED(::VariantChangeType(text.Get(), const_cast<VARIANT*>(&args[0]), 0, VT_BSTR)))
        return DISP_E_TYPEMISMATCH;
    out = com::Bstr::Attach(text.Get()->bstrVal);
    text.Get()->vt = VT_EMPTY;
    return S_OK;
}

} // namespace

CServer::CServer(std::wstring root, std::string page, IUnknown* context, std::function<UINT()> codePage,
                 std::shared_ptr<CScriptDeadline> deadline)
    : CHostObject(kMembers), root_(std::move(root)), page_(std::move(page)), context_(context),
      codePage_(std::move(codePage)), deadline_(std::move(deadline))
{}

com::ComPtr<CServer> CServer::Create(std::wstring root, std::string page, IUnknown* context,
                                     std::function<UINT()> codePage, std::shared_ptr<CScriptDeadline> deadline)
{
    return MakeHostObject<CServer>(std::move(root), std::move(page), context, std::move(codePage), std::move(deadline));
}

void CServer::EndPage() noexcept
{
    while (!started_.empty()) {
        CallIfPresent(started_.back().Get(), L"OnEndPage", nullptr);
        started_.pop_back();
    }
    context_ = nullptr;
}

STDMETHODIMP CServer::get_ScriptTimeout(LONG* plTimeoutSeconds)
{
    if (!plTimeoutSeconds)
        return E_POINTER;
    *plTimeoutSeconds = static_cast<LONG>(deadline_->Seconds());
    return S_OK;
}

STDMETHODIMP CServer::put_ScriptTimeout(LONG lTimeoutSeconds)
{
    if (lTimeoutSeconds < 0)
        return E_INVALIDARG;
    deadline_->SetSeconds(static_cast<std::uint32_t>(lTimeoutSeconds));
    return S_OK;
}

STDMETHODIMP CServer::CreateObject(BSTR bstrProgID, IDispatch** ppDispObject)
{
    return com::ComBoundary([&]() -> HRESULT {
        if (!ppDispObject)
            return E_POINTER;
        *ppDispObject = nullptr;
        CLSID clsid;
        HRESULT hr = ::CLSIDFromProgID(bstrProgID, &clsid);
        if (FAILED(hr))
            return hr;
        com::ComPtr<IDispatch> object;
        hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                object.ReceiveVoid());
        if (FAILED(hr))
            return hr;
        if (context_) {
            hr = CallIfPresent(object.Get(), L"OnStartPage", context_);
            if (FAILED(hr))
                return hr;
            if (hr == S_OK)
                started_.push_back(object);
        }
        return object.CopyTo(ppDispObject);
    });
}

STDMETHODIMP CServer::HTMLEncode(BSTR bstrIn, BSTR* pbstrEncoded)
{
    return com::ComBoundary([&]() -> HRESULT {
        if (!pbstrEncoded)
            return E_POINTER;
        com::Bstr::CopyOut(HtmlEncode(com::Bstr::ToWide(bstrIn)), pbstrEncoded);
        return S_OK;
    });
}

STDMETHODIMP CServer::URLEncode(BSTR bstrIn, BSTR* pbstrEncoded)
{
    return com::ComBoundary([&]() -> HRESULT {
        if (!pbstrEncoded)
            return E_POINTER;
        const std::string bytes = com::NarrowText(com::Bstr::ToWide(bstrIn), codePage_()).value_or(std::string());
        com::Bstr::CopyOut(com::WidenText(UrlEncode(bytes), CP_UTF8).value_or(WideString()), pbstrEncoded);
        return S_OK;
    });
}

STDMETHODIMP CServer::MapPath(BSTR bstrLogicalPath, BSTR* pbstrPhysicalPath)
{
    return com::ComBoundary([&]() -> HRESULT {
        if (!pbstrPhysicalPath)
            return E_POINTER;
        *pbstrPhysicalPath = nullptr;
        const std::string logical =
            com::NarrowText(com::Bstr::ToWide(bstrLogicalPath), CP_UTF8).value_or(std::string());
        const std::optional<std::string> sitePath =
            logical.empty() ? std::optional<std::string>(page_.substr(0, page_.rfind('/') + 1))
                            : SitePathOfInclude(page_, logical, false);
        if (!sitePath)
            return E_INVALIDARG;
        std::wstring path = root_ + com::WidenText(*sitePath, CP_UTF8).value_or(WideString());
        for (wchar_t& c : path)
            if (c == L'/')
                c = L'\\';
        while (path.size() > root_.size() && path.back() == L'\\')
            path.pop_back();
        com::Bstr::CopyOut(path, pbstrPhysicalPath);
        return S_OK;
    });
}

STDMETHODIMP CServer::URLPathEncode(BSTR, BSTR* pbstrEncoded)
{
    if (pbstrEncoded)
        *pbstrEncoded = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP CServer::Execute(BSTR)
{
    return E_NOTIMPL;
}
STDMETHODIMP CServer::Transfer(BSTR)
{
    return E_NOTIMPL;
}
STDMETHODIMP CServer::GetLastError(IASPError** ppASPErrorObject)
{
    if (ppASPErrorObject)
        *ppASPErrorObject = nullptr;
    return E_NOTIMPL;
}

HRESULT CServer::InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result)
{
    if (id == kScriptTimeout) {
        result->vt = VT_I4;
        return get_ScriptTimeout(&result->lVal);
    }
    if (id == kCreateObject || id == kHTMLEncode || id == kMapPath || id == kURLEncode) {
        com::Bstr text;
        HRESULT hr = StringArgument(args, text);
        if (FAILED(hr))
            return hr;
        if (id == kCreateObject) {
            IDispatch* object = nullptr;
            if (SUCCEEDED(hr = CreateObject(text.Get(), &object))) {
                result->vt = VT_DISPATCH;
                result->pdispVal = object;
            }
            return hr;
        }
        BSTR out = nullptr;
        hr = id == kHTMLEncode ? HTMLEncode(text.Get(), &out)
             : id == kMapPath  ? MapPath(text.Get(), &out)
                               : URLEncode(text.Get(), &out);
        if (SUCCEEDED(hr)) {
            result->vt = VT_BSTR;
            result->bstrVal = out;
        }
        return hr;
    }
    return E_NOTIMPL;
}

HRESULT CServer::PutMember(DISPID id, const VARIANT& value)
{
    if (id != kScriptTimeout)
        return DISP_E_MEMBERNOTFOUND;
    com::Variant number;
    if (FAILED(::VariantChangeType(number.Get(), const_cast<VARIANT*>(&value), 0, VT_I4)))
        return DISP_E_TYPEMISMATCH;
    return put_ScriptTimeout(number.Get()->lVal);
}

} // namespace host
