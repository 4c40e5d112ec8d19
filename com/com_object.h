// The COM object base: reference counting, QueryInterface from an interface table, the object
// lock, the module lock, and creation (plain or aggregated) with a FinalConstruct hook.
//
// An implementation class derives from ComObjectRoot and from its interfaces (usually through
// com::DispatchImpl and com::SupportErrorInfoImpl), lists its interfaces in a table, and
// leaves IUnknown to ComObject<T> (plain) or AggregatedComObject<T> (aggregated):
//
//   class CTextField : public com::ComObjectRoot,
//                      public com::DispatchImpl<ITextField, &IID_ITextField>,
//                      public com::SupportErrorInfoImpl<&IID_ITextField> {
//   public:
//       KESTRUNE_INTERFACE_TABLE(CTextField,
//           KESTRUNE_INTERFACE(CTextField, ITextField),          // the first entry is the identity
//           KESTRUNE_INTERFACE_AS(CTextField, IDispatch, ITextField),
//           KESTRUNE_INTERFACE(CTextField, ISupportErrorInfo))
//       HRESULT FinalConstruct();          // optional: runs after construction, in both forms
//       void FinalRelease() noexcept;      // optional: runs before destruction (also when
//                                          // FinalConstruct failed)
//       STDMETHODIMP get_Value(BSTR* pVal) override;   // members end in com::ComBoundary
//       ...
//   };
//
//   com::ComPtr<com::ComObject<CTextField>> field;
//   HRESULT hr = com::CreateComObject(field);     // internal creation: one reference held,
//   field->Init(...);                                // C++ members reachable
//   com::CreateInstance<CUpload>(outer, iid, ppv); // a class factory's CreateInstance
//
// Inside members, com::ObjectLockGuard lock(*this) holds the object's recursive lock, and
// ControllingUnknown() is the object's identity (the outer object when aggregated).
//
// Every object of the component holds one count of the module lock while it lives, so that
// DllCanUnloadNow waits for it. An object that stands for another program's (a page host's
// Request or Response, built on the same base) holds none: com::ComObject<T, com::NoModuleLock>.
#pragma once

#include "com/com_boundary.h"
#include "com/com_ptr.h"
#include "com/critical_section.h"
#include "com/guid.h"
#include "com/module_lock.h"
#include "platform/win.h"

#include <span>
#include <utility>

namespace com {

/// One row of an interface table: the IID and how to reach that interface from the object.
template <class T>
struct InterfaceEntry {
    const IID* iid;
    IUnknown* (*cast)(T* self);
    /// True when cast yields an aggregated inner object's own IUnknown, whose QueryInterface
    /// hands out (and counts on this object) the interface.
    bool delegated = false;
};

#define KESTRUNE_INTERFACE(Class, Itf)                                               \
    ::com::InterfaceEntry<Class>                                                     \
    {                                                                                \
        &IID_##Itf, [](Class* self) -> IUnknown* { return static_cast<Itf*>(self); } \
    }

#define KESTRUNE_INTERFACE_AS(Class, Itf, Via)                                                          \
    ::com::InterfaceEntry<Class>                                                                        \
    {                                                                                                   \
        &IID_##Itf, [](Class* self) -> IUnknown* { return static_cast<Itf*>(static_cast<Via*>(self)); } \
    }

// An interface answered by an aggregated inner object held in `member` (a ComPtr<IUnknown>); while
// the member is empty the interface is not offered. Never the first entry.
#define KESTRUNE_INTERFACE_AGGREGATE(Class, Itf, member)                              \
    ::com::InterfaceEntry<Class>                                                      \
    {                                                                                 \
        &IID_##Itf, [](Class* self) -> IUnknown* { return self->member.Get(); }, true \
    }

#define KESTRUNE_INTERFACE_TABLE(Class, ...)                                       \
    static std::span<const ::com::InterfaceEntry<Class>> InterfaceTable() noexcept \
    {                                                                              \
        static const ::com::InterfaceEntry<Class> entries[] = {__VA_ARGS__};       \
        return entries;                                                            \
    }

/// Module-lock policies of ComObject: the component's objects count in the module lock while they
/// live (HoldsModuleLock, the default); NoModuleLock objects do not.
using HoldsModuleLock = ModuleLockHolder;
struct NoModuleLock {};

/// State shared by every object: the object lock and the controlling unknown.
class ComObjectRoot {
public:
    ComObjectRoot(const ComObjectRoot&) = delete;
    ComObjectRoot& operator=(const ComObjectRoot&) = delete;

    /// The object's recursive lock.
    CriticalSection& ObjectLock() noexcept { return objectLock_; }

    /// The object's identity: its own IUnknown, or the outer object's when aggregated. Not counted.
    IUnknown* ControllingUnknown() const noexcept { return controllingUnknown_; }

    /// Set once by the creators below.
    void InitControllingUnknown(IUnknown* unknown) noexcept { controllingUnknown_ = unknown; }

protected:
    ComObjectRoot() noexcept = default;
    ~ComObjectRoot() = default;

    HRESULT FinalConstruct() { return S_OK; }
    void FinalRelease() noexcept {}

private:
    CriticalSection objectLock_;
    IUnknown* controllingUnknown_ = nullptr;
};

/// Holds an object's lock for a scope.
class ObjectLockGuard {
public:
    explicit ObjectLockGuard(ComObjectRoot& object) noexcept : lock_(object.ObjectLock()) {}

private:
    CriticalSectionLock lock_;
};

namespace detail {

template <class T>
HRESULT QueryTable(T* self, REFIID iid, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    const auto table = T::InterfaceTable();
    for (const auto& entry : table) {
        if (SameGuid(iid, *entry.iid) || (SameGuid(iid, IID_IUnknown) && &entry == &table.front())) {
            IUnknown* itf = entry.cast(self);
            if (entry.delegated)
                return itf ? itf->QueryInterface(iid, ppv) : E_NOINTERFACE;
            itf->AddRef();
            *ppv = itf;
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

} // namespace detail

/// A standalone object: owns its reference count. Its module-lock policy is a base built before T
/// and gone after it: the count covers the whole life of the object.
template <class T, class ModuleLockPolicy = HoldsModuleLock>
class ComObject final : private ModuleLockPolicy, public T {
public:
    /// Builds T from args (none for the component's objects, which get their state in Init).
    template <class... Args>
    explicit ComObject(Args&&... args) : T(std::forward<Args>(args)...)
    {}
    ~ComObject() { this->FinalRelease(); }

    /// Runs T's FinalConstruct (which may be protected).
    HRESULT RunFinalConstruct() { return this->FinalConstruct(); }

    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override { return detail::QueryTable<T>(this, iid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

private:
    volatile LONG refs_ = 0;
};

/// The aggregated part of an object: its IUnknown forwards to the outer object. It holds the module
/// lock as a standalone object does.
template <class T>
class ContainedObject final : private HoldsModuleLock, public T {
public:
    explicit ContainedObject(IUnknown* outer) noexcept : outer_(outer) {}
    ~ContainedObject() { this->FinalRelease(); }

    /// Runs T's FinalConstruct (which may be protected).
    HRESULT RunFinalConstruct() { return this->FinalConstruct(); }

    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override { return outer_->QueryInterface(iid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }

private:
    IUnknown* outer_;
};

/// An aggregated object: this is the inner, non-delegating IUnknown that the outer object holds.
template <class T>
class AggregatedComObject final : public IUnknown {
public:
    explicit AggregatedComObject(IUnknown* outer) : contained_(outer) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (SameGuid(iid, IID_IUnknown)) {
            AddRef();
            *ppv = static_cast<IUnknown*>(this);
            return S_OK;
        }
        return detail::QueryTable<T>(&contained_, iid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    ContainedObject<T>& Object() noexcept { return contained_; }

private:
    volatile LONG refs_ = 0;
    ContainedObject<T> contained_;
};

/// Creates a standalone T and runs its FinalConstruct; on success out holds the one reference.
template <class T, class ModuleLockPolicy>
HRESULT CreateComObject(ComPtr<ComObject<T, ModuleLockPolicy>>& out) noexcept
{
    out.Reset();
    return ComBoundary([&]() -> HRESULT {
        auto object = ComPtr<ComObject<T, ModuleLockPolicy>>(new ComObject<T, ModuleLockPolicy>());
        object->InitControllingUnknown(T::InterfaceTable().front().cast(object.Get()));
        const HRESULT hr = ComBoundary([&] { return object->RunFinalConstruct(); });
        if (FAILED(hr))
            return hr;
        out = std::move(object);
        return S_OK;
    });
}

/// What a class factory's CreateInstance does for T: with an outer object T is aggregated (the
/// outer object must ask for IID_IUnknown, else CLASS_E_NOAGGREGATION), without one it stands
/// alone. FinalConstruct runs in both forms; *ppv gets the interface iid.
template <class T>
HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!outer) {
        ComPtr<ComObject<T>> object;
        const HRESULT hr = CreateComObject(object);
        if (FAILED(hr))
            return hr;
        return object->QueryInterface(iid, ppv);
    }
    if (!SameGuid(iid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    return ComBoundary([&]() -> HRESULT {
        auto* raw = new AggregatedComObject<T>(outer);
        raw->AddRef();
        auto inner = ComPtr<IUnknown>::Attach(raw);
        raw->Object().InitControllingUnknown(outer);
        const HRESULT hr = ComBoundary([&] { return raw->Object().RunFinalConstruct(); });
        if (FAILED(hr))
            return hr;
        *ppv = inner.Detach();
        return S_OK;
    });
}

} // namespace com
