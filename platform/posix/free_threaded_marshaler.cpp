// CoCreateFreeThreadedMarshaler: an aggregatable inner object with its own reference count. The
// stand-in has one apartment model and no marshalling, so the object is an identity only: its
// non-delegating IUnknown answers IUnknown and nothing else.
#include "platform/posix/com.h"

#include <atomic>
#include <new>

namespace {

class CFreeThreadedMarshaler final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown)) {
            AddRef();
            *ppv = static_cast<IUnknown*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

private:
    std::atomic<ULONG> refs_{1};
};

} // namespace

HRESULT CoCreateFreeThreadedMarshaler(LPUNKNOWN punkOuter, LPUNKNOWN* ppunkMarshal)
{
    if (!ppunkMarshal)
        return E_INVALIDARG;
    *ppunkMarshal = nullptr;
    (void)punkOuter; // the inner object never delegates
    IUnknown* inner = new (std::nothrow) CFreeThreadedMarshaler();
    if (!inner)
        return E_OUTOFMEMORY;
    *ppunkMarshal = inner;
    return S_OK;
}
