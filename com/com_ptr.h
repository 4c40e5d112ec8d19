// ComPtr<T>: owner of one COM reference (AddRef on copy, Release on destruction).
//
//   com::ComPtr<IRequest> request;
//   com::ThrowIfFailed(context->get_Request(request.Receive()));
//   com::ComPtr<IScriptingContext> ctx;
//   com::ThrowIfFailed(com::QueryInterfaceTo(piUnk, IID_IScriptingContext, ctx));
//   request.CopyTo(ppOut);                        // AddRef'd copy for an [out] pointer
//
// T may be an interface or a com::ComObject<C> (whose AddRef/Release are unambiguous).
#pragma once

#include "platform/win.h"

#include <utility>

namespace com {

template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    /// Takes a new reference to p.
    explicit ComPtr(T* p) noexcept : p_(p) { AddRefIfAny(); }
    ComPtr(const ComPtr& other) noexcept : p_(other.p_) { AddRefIfAny(); }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other) noexcept
    {
        ComPtr copy(other);
        Swap(copy);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        ComPtr moved(std::move(other));
        Swap(moved);
        return *this;
    }

    /// Takes over a reference the caller already owns (no AddRef).
    static ComPtr Attach(T* owned) noexcept
    {
        ComPtr result;
        result.p_ = owned;
        return result;
    }

    /// Gives up the reference without releasing it.
    T* Detach() noexcept { return std::exchange(p_, nullptr); }

    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    /// Releases the current reference and returns the slot for a callee's [out] pointer.
    T** Receive() noexcept
    {
        Reset();
        return &p_;
    }
    void** ReceiveVoid() noexcept { return reinterpret_cast<void**>(Receive()); }

    void Reset() noexcept
    {
        if (T* p = std::exchange(p_, nullptr))
            p->Release();
    }

    /// AddRef'd copy into *out; E_POINTER when out is null.
    HRESULT CopyTo(T** out) const noexcept
    {
        if (!out)
            return E_POINTER;
        *out = p_;
        if (p_)
            p_->AddRef();
        return S_OK;
    }

    void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

private:
    void AddRefIfAny() noexcept
    {
        if (p_)
            p_->AddRef();
    }

    T* p_ = nullptr;
};

/// QueryInterface of source for iid into target; returns the HRESULT of the call.
template <class S, class T>
HRESULT QueryInterfaceTo(S* source, REFIID iid, ComPtr<T>& target) noexcept
{
    if (!source)
        return E_POINTER;
    return source->QueryInterface(iid, target.ReceiveVoid());
}

} // namespace com
