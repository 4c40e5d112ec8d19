// The process-wide Global Interface Table. Every apartment shares one address space here, so a
// registration is the interface pointer itself (obtained by QueryInterface, which is the one
// reference the registration owns) and a lookup is a QueryInterface on it.
#include "platform/posix/com.h"

#include <map>
#include <mutex>

namespace {

class GlobalInterfaceTable final : public IGlobalInterfaceTable {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IGlobalInterfaceTable)) {
            *ppv = static_cast<IGlobalInterfaceTable*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // A process-wide singleton that is never destroyed.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE RegisterInterfaceInGlobal(IUnknown* pUnk, REFIID riid, DWORD* pdwCookie) override
    {
        if (!pUnk || !pdwCookie)
            return E_INVALIDARG;
        *pdwCookie = 0;
        void* held = nullptr;
        HRESULT hr = pUnk->QueryInterface(riid, &held);
        if (FAILED(hr))
            return hr;
        std::lock_guard guard(lock_);
        DWORD cookie = nextCookie_;
        nextCookie_ += 0x100;
        if (nextCookie_ == 0)
            nextCookie_ = 0x100;
        entries_[cookie] = Entry{static_cast<IUnknown*>(held), riid};
        *pdwCookie = cookie;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE RevokeInterfaceFromGlobal(DWORD dwCookie) override
    {
        IUnknown* held;
        {
            std::lock_guard guard(lock_);
            auto it = entries_.find(dwCookie);
            if (it == entries_.end())
                return E_INVALIDARG;
            held = it->second.object;
            entries_.erase(it);
        }
        held->Release(); // outside the lock: the object may use the table while it dies
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetInterfaceFromGlobal(DWORD dwCookie, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_INVALIDARG;
        *ppv = nullptr;
        IUnknown* held;
        {
            std::lock_guard guard(lock_);
            auto it = entries_.find(dwCookie);
            if (it == entries_.end())
                return E_INVALIDARG;
            held = it->second.object;
            held->AddRef(); // keeps it alive past a concurrent revoke
        }
        HRESULT hr = held->QueryInterface(riid, ppv);
        held->Release();
        return hr;
    }

private:
    struct Entry {
        IUnknown* object;
        IID iid;
    };
    std::mutex lock_;
    std::map<DWORD, Entry> entries_;
    DWORD nextCookie_ = 0x100;
};

} // namespace

IUnknown* KestruneGlobalInterfaceTable()
{
    static auto* table = new GlobalInterfaceTable;
    return table;
}
