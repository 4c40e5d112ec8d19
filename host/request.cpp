#include "host/request.h"

#include "com/bstr.h"
#include "com/code_page_text.h"
#include "com/safe_array.h"
#include "com/variant.h"
#include "host/url_encoding.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

namespace host {

namespace {

enum : DISPID {
    kItem = DISPID_VALUE,
    kQueryString = 1,
    kForm,
    kBody,
    kServerVariables,
    kClientCertificate,
    kCookies,
    kTotalBytes,
    kBinaryRead,
};

const TDispMember kMembers[] = {
    {OLESTR("Item"), kItem},
    {OLESTR("QueryString"), kQueryString},
    {OLESTR("Form"), kForm},
    {OLESTR("Body"), kBody},
    {OLESTR("ServerVariables"), kServerVariables},
    {OLESTR("ClientCertificate"), kClientCertificate},
    {OLESTR("Cookies"), kCookies},
    {OLESTR("TotalBytes"), kTotalBytes},
    {OLESTR("BinaryRead"), kBinaryRead},
};

// The number of bytes asked for: any integer VARIANT, or a reference to one.
HRESULT CountFrom(const VARIANT& count, ULONGLONG* asked) noexcept
{
    const VARIANT& v = Dereference(count);
    LONGLONG value = 0;
    switch (v.vt) {
    case VT_I1: value = v.cVal; break;
    case VT_UI1: value = v.bVal; break;
    case VT_I2: value = v.iVal; break;
    case VT_UI2: value = v.uiVal; break;
    case VT_I4: value = v.lVal; break;
    case VT_UI4: value = v.ulVal; break;
    case VT_INT: value = v.intVal; break;
    case VT_UINT: value = v.uintVal; break;
    case VT_I8: value = v.llVal; break;
    case VT_UI8: value = static_cast<LONGLONG>(std::min<ULONGLONG>(v.ullVal, 0x7FFFFFFFFFFFFFFFull)); break;
    case VT_BYREF | VT_I1: value = *v.pcVal; break;
    case VT_BYREF | VT_UI1: value = *v.pbVal; break;
    case VT_BYREF | VT_I2: value = *v.piVal; break;
    case VT_BYREF | VT_UI2: value = *v.puiVal; break;
    case VT_BYREF | VT_I4: value = *v.plVal; break;
    case VT_BYREF | VT_UI4: value = *v.pulVal; break;
    case VT_BYREF | VT_INT: value = *v.pintVal; break;
    case VT_BYREF | VT_UINT: value = *v.puintVal; break;
    default: return DISP_E_TYPEMISMATCH;
    }
    if (value < 0)
        return E_INVALIDARG;
    *asked = static_cast<ULONGLONG>(value);
    return S_OK;
}

HRESULT NotImplemented(IRequestDictionary** out) noexcept
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

} // namespace

CRequest::CRequest(com::ComPtr<CServerVariables> variables, LONG totalBytes, std::unique_ptr<CBodySource> body,
                   std::string queryString, bool urlEncodedBody)
    : CHostObject(kMembers), variables_(std::move(variables)), totalBytes_(totalBytes), body_(std::move(body)),
      queryString_(std::move(queryString)), urlEncodedBody_(urlEncodedBody), codePage_([] { return ::GetACP(); })
{}

com::ComPtr<CRequest> CRequest::Create(const THttpRequestHead& head, std::unique_ptr<CBodySource> body,
                                       std::vector<CServerVariables::TVariable> server)
{
    const LONG totalBytes = head.ContentLength();
    com::ComPtr<CServerVariables> variables = CServerVariables::Create(head, std::move(server));
    const std::string type = head.Header("Content-Type").value_or("");
    const std::string_view urlEncoded = "application/x-www-form-urlencoded";
    const bool urlEncodedBody =
        type.size() >= urlEncoded.size() &&
        com::EqualsIgnoringAsciiCase(std::string_view(type).substr(0, urlEncoded.size()), urlEncoded);
    return MakeHostObject<CRequest>(std::move(variables), totalBytes, std::move(body), head.QueryString(),
                                    urlEncodedBody);
}

void CRequest::SetTextCodePage(std::function<UINT()> codePage)
{
    std::lock_guard<std::mutex> guard(lock_);
    codePage_ = std::move(codePage);
}

com::ComPtr<CServerVariables> CRequest::Decoded(const std::string& text) const
{
    const UINT codePage = codePage_();
    auto widen = [codePage](const std::string& bytes) {
        if (std::optional<WideString> text = com::WidenText(bytes, codePage))
            return std::move(*text);
        WideString latin1; // not text of that code page: the bytes as Latin-1
        for (const char c : bytes)
            latin1.push_back(static_cast<unsigned char>(c));
        return latin1;
    };
    std::vector<CServerVariables::TVariable> list;
    for (const auto& [name, value] : ParseUrlEncoded(text))
        list.push_back({widen(name), widen(value)});
    return CServerVariables::FromList(std::move(list));
}

HRESULT CRequest::FormLocked(com::ComPtr<CServerVariables>& form)
{
    if (binaryReadUsed_)
        return E_FAIL;
    if (!formCollection_) {
        std::string body;
        if (urlEncodedBody_ && totalBytes_ > 0) {
            if (totalBytes_ > kMaxFormBytes)
                return E_OUTOFMEMORY;
            body.resize(static_cast<std::size_t>(totalBytes_));
            std::size_t got = 0;
            while (got < body.size() && !ended_) {
                ULONG delivered = 0;
                const HRESULT hr = body_->Read(reinterpret_cast<BYTE*>(body.data() + got),
                                               static_cast<ULONG>(body.size() - got), &delivered);
                if (FAILED(hr))
                    return hr;
                if (delivered == 0)
                    ended_ = true;
                got += delivered;
            }
            body.resize(got);
            delivered_ += static_cast<LONG>(got);
        }
        formCollection_ = Decoded(body);
    }
    form = formCollection_;
    return S_OK;
}

HRESULT CRequest::LookUp(const VARIANT& name, VARIANT* result)
{
    com::Variant key;
    if (FAILED(::VariantChangeType(key.Get(), const_cast<VARIANT*>(&Dereference(name)), 0, VT_BSTR)))
        return DISP_E_TYPEMISMATCH;
    const WideString wanted = com::Bstr::ToWide(key.Get()->bstrVal);
    com::ComPtr<IRequestDictionary> query;
    HRESULT hr = get_QueryString(query.Receive());
    if (FAILED(hr))
        return hr;
    const WideString* found = static_cast<CServerVariables*>(query.Get())->Find(wanted);
    if (!found && urlEncodedBody_) {
        std::lock_guard<std::mutex> guard(lock_);
        com::ComPtr<CServerVariables> form;
        if (SUCCEEDED(FormLocked(form)))
            found = form->Find(wanted);
    }
    if (!found)
        found = variables_->Find(wanted);
    return ReturnString(found ? *found : WideString(), result);
}

void CRequest::SetReadObserver(TReadObserver observer)
{
    std::lock_guard<std::mutex> guard(lock_);
    observer_ = std::move(observer);
}

LONG CRequest::BytesDelivered() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return delivered_;
}

STDMETHODIMP CRequest::get_Item(BSTR, IDispatch** ppObjReturn)
{
    if (ppObjReturn)
        *ppObjReturn = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CRequest::get_QueryString(IRequestDictionary** ppDictReturn)
{
    return com::ComBoundary([&]() -> HRESULT {
        if (!ppDictReturn)
            return E_POINTER;
        std::lock_guard<std::mutex> guard(lock_);
        if (!queryCollection_)
            queryCollection_ = Decoded(queryString_);
        queryCollection_->AddRef();
        *ppDictReturn = queryCollection_.Get();
        return S_OK;
    });
}

STDMETHODIMP CRequest::get_Form(IRequestDictionary** ppDictReturn)
{
    return com::ComBoundary([&]() -> HRESULT {
        if (!ppDictReturn)
            return E_POINTER;
        *ppDictReturn = nullptr;
        std::lock_guard<std::mutex> guard(lock_);
        com::ComPtr<CServerVariables> form;
        const HRESULT hr = FormLocked(form);
        if (FAILED(hr))
            return hr;
        form->AddRef();
        *ppDictReturn = form.Get();
        return S_OK;
    });
}
STDMETHODIMP CRequest::get_Body(IRequestDictionary** ppDictReturn)
{
    return NotImplemented(ppDictReturn);
}
STDMETHODIMP CRequest::get_ClientCertificate(IRequestDictionary** ppDictReturn)
{
    return NotImplemented(ppDictReturn);
}
STDMETHODIMP CRequest::get_Cookies(IRequestDictionary** ppDictReturn)
{
    return NotImplemented(ppDictReturn);
}

STDMETHODIMP CRequest::get_ServerVariables(IRequestDictionary** ppDictReturn)
{
    if (!ppDictReturn)
        return E_POINTER;
    variables_->AddRef();
    *ppDictReturn = variables_.Get();
    return S_OK;
}

STDMETHODIMP CRequest::get_TotalBytes(LONG* pcbTotal)
{
    if (!pcbTotal)
        return E_POINTER;
    *pcbTotal = totalBytes_;
    return S_OK;
}

HRESULT CRequest::ReadBody(ULONGLONG asked, SAFEARRAY** data, ULONG* delivered)
{
    ULONGLONG wanted = ended_ ? 0 : std::min<ULONGLONG>(asked, static_cast<ULONGLONG>(totalBytes_ - delivered_));
    if (wanted > 0 && body_->Available() == 0)
        ended_ = true;
    wanted = std::min(wanted, body_->Available());

    com::SafeArray array(::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(wanted)));
    if (!array)
        return E_OUTOFMEMORY;
    ULONG got = 0;
    if (wanted > 0) {
        const com::SafeArrayData bytes(array.get());
        if (!bytes)
            return E_FAIL;
        const HRESULT hr = body_->Read(bytes.Bytes(), static_cast<ULONG>(wanted), &got);
        if (FAILED(hr))
            return hr;
        if (got > wanted)
            return E_FAIL; // a source that overruns the buffer it was given cannot be trusted
        if (got == 0)
            ended_ = true;
    }
    if (got < wanted) {
        // A short read: hand out an array of exactly the bytes that came.
        com::SafeArray exact(::SafeArrayCreateVector(VT_UI1, 0, got));
        if (!exact)
            return E_OUTOFMEMORY;
        if (got > 0) {
            const com::SafeArrayData from(array.get());
            const com::SafeArrayData to(exact.get());
            if (!from || !to)
                return E_FAIL;
            std::memcpy(to.Bytes(), from.Bytes(), got);
        }
        array = std::move(exact);
    }
    delivered_ += static_cast<LONG>(got);
    *delivered = got;
    *data = array.release();
    return S_OK;
}

void CRequest::InjectReadFault(TReadFault fault)
{
    std::lock_guard<std::mutex> guard(lock_);
    fault_ = fault;
    calls_ = 0;
}

STDMETHODIMP CRequest::BinaryRead(VARIANT* pvarCountToRead, VARIANT* pvarReturn)
{
    return com::ComBoundary([&]() -> HRESULT {
        if (!pvarCountToRead || !pvarReturn)
            return E_POINTER;
        ULONGLONG asked = 0;
        HRESULT hr = CountFrom(*pvarCountToRead, &asked);
        if (FAILED(hr))
            return hr;
        SAFEARRAY* array = nullptr;
        ULONG delivered = 0;
        TReadFault::Kind misbehave = TReadFault::Kind::None;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (formCollection_)
                return E_FAIL; // the body went to Form
            binaryReadUsed_ = true;
            if (++calls_ == fault_.call)
                misbehave = fault_.kind;
            if (misbehave == TReadFault::Kind::Fail)
                return fault_.failure;
            hr = ReadBody(asked, &array, &delivered);
            if (FAILED(hr))
                return hr;
            com::SafeArray owner(array);
            if (observer_)
                observer_(static_cast<LONGLONG>(asked), static_cast<LONG>(delivered));
            owner.release();
        }
        VARIANT& count = (pvarCountToRead->vt == (VT_BYREF | VT_VARIANT) && pvarCountToRead->pvarVal)
                             ? *pvarCountToRead->pvarVal
                             : *pvarCountToRead;
        ::VariantClear(&count);
        count.vt = VT_I4;
        count.lVal = static_cast<LONG>(delivered);
        if (misbehave == TReadFault::Kind::CountType) {
            count.vt = VT_I2;
            count.iVal = static_cast<SHORT>(delivered);
        }
        pvarReturn->vt = misbehave == TReadFault::Kind::DataType ? VT_ARRAY | VT_I1 : VT_ARRAY | VT_UI1;
        pvarReturn->parray = array;
        return S_OK;
    });
}

HRESULT CRequest::InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result)
{
    switch (id) {
    case kItem: {
        const HRESULT hr = args.Expect(1, 1);
        return FAILED(hr) ? hr : LookUp(args[0], result);
    }
    case kQueryString:
    case kForm: {
        com::ComPtr<IRequestDictionary> collection;
        const HRESULT hr = id == kForm ? get_Form(collection.Receive()) : get_QueryString(collection.Receive());
        return FAILED(hr) ? hr : ReturnObject(collection.Get(), args, result);
    }
    case kServerVariables: {
        // No arguments: the collection; with arguments: its Item, as Request.ServerVariables("X").
        return ReturnObject(variables_.Get(), args, result);
    }
    case kTotalBytes: {
        const HRESULT hr = args.Expect(0, 0);
        if (FAILED(hr))
            return hr;
        result->vt = VT_I4;
        result->lVal = totalBytes_;
        return S_OK;
    }
    case kBinaryRead: {
        const HRESULT hr = args.Expect(1, 1);
        if (FAILED(hr))
            return hr;
        VARIANT& count = args.Raw(0);
        if (count.vt == (VT_BYREF | VT_VARIANT))
            return BinaryRead(&count, result); // the script's variable receives the count read
        com::Variant copy;
        copy.CopyIndirectFrom(count);
        return BinaryRead(copy.Get(), result);
    }
    default: return E_NOTIMPL;
    }
}

} // namespace host
