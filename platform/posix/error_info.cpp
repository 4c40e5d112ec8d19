// CreateErrorInfo: an error object as the platform makes one, answering ICreateErrorInfo (to fill
// it) and IErrorInfo (to read it). Strings are copied in and handed out as new BSTRs.
#include "platform/posix/automation.h"
#include "platform/posix/com.h"

#include <atomic>
#include <new>
#include <string>

namespace {

class CErrorInfo final : public IErrorInfo, public ICreateErrorInfo {
public:
    // IUnknown, answered by the IErrorInfo side for both.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IErrorInfo))
            *ppv = static_cast<IErrorInfo*>(this);
        else if (IsEqualGUID(riid, IID_ICreateErrorInfo))
            *ppv = static_cast<ICreateErrorInfo*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    // IErrorInfo
    HRESULT STDMETHODCALLTYPE GetGUID(GUID* pGUID) override
    {
        if (!pGUID)
            return E_INVALIDARG;
        *pGUID = guid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* out) override { return CopyOut(source_, out); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* out) override { return CopyOut(description_, out); }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* out) override { return CopyOut(helpFile_, out); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* out) override
    {
        if (!out)
            return E_INVALIDARG;
        *out = helpContext_;
        return S_OK;
    }

    // ICreateErrorInfo
    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) override
    {
        guid_ = rguid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR text) override { return Store(source_, text); }
    HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR text) override { return Store(description_, text); }
    HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR text) override { return Store(helpFile_, text); }
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD context) override
    {
        helpContext_ = context;
        return S_OK;
    }

private:
    static HRESULT CopyOut(const std::u16string& text, BSTR* out)
    {
        if (!out)
            return E_INVALIDARG;
        *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    static HRESULT Store(std::u16string& field, LPOLESTR text) noexcept
    {
        try {
            field = text ? std::u16string(text) : std::u16string();
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

    std::atomic<ULONG> references_{1};
    GUID guid_{};
    std::u16string source_, description_, helpFile_;
    DWORD helpContext_ = 0;
};

} // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo)
{
    if (!pperrinfo)
        return E_INVALIDARG;
    auto* info = new (std::nothrow) CErrorInfo;
    *pperrinfo = info ? static_cast<ICreateErrorInfo*>(info) : nullptr;
    return info ? S_OK : E_OUTOFMEMORY;
}
