#pragma once
// utils::CComObjectAutoWrap<T>: creates one automation object of class T (running its own
// initialisation) and holds one reference to it for the wrapper's lifetime.

#include "com/com_object.h"
#include "com/com_ptr.h"
#include "platform/win.h"

namespace utils {

template <class T>
class CComObjectAutoWrap {
public:
    /// Creation or the interface query failed (one type per T).
    class EComObjectAutoWrap {};

    /// Creates the object; throws EComObjectAutoWrap when that fails.
    CComObjectAutoWrap()
    {
        if (FAILED(com::CreateComObject(object_)) || !object_)
            throw EComObjectAutoWrap();
    }

    CComObjectAutoWrap(const CComObjectAutoWrap&) = delete;
    CComObjectAutoWrap& operator=(const CComObjectAutoWrap&) = delete;

    /// A counted pointer to interface Itf of the object; throws EComObjectAutoWrap on failure.
    template <class Itf>
    com::ComPtr<Itf> Query(REFIID iid) const
    {
        com::ComPtr<Itf> result;
        if (FAILED(object_->QueryInterface(iid, result.ReceiveVoid())) || !result)
            throw EComObjectAutoWrap();
        return result;
    }

    /// The object itself, for its internal operations.
    T* operator->() const noexcept { return object_.Get(); }
    T& Object() const noexcept { return *object_.Get(); }

private:
    com::ComPtr<com::ComObject<T>> object_;
};

} // namespace utils
