#pragma once
// CFieldCollection<T, Item>: the shared body of the Files and Form collections. T is the automation
// class that embeds it (its object lock guards the reads); Item is the item interface. Items are
// kept in the name index, one entry per distinct name; an entry holds every item of its name in
// posting order (a checkbox group, a multiple file input). The index's sequence of entries, each
// followed by the later items of its name, gives Item(n) and For Each their order; Item(name)
// gives the first item of a name.

#include "com/bstr.h"
#include "com/com_boundary.h"
#include "com/com_object.h"
#include "com/com_ptr.h"
#include "com/failure_reason.h"
#include "com/variant.h"
#include "platform/win.h"
#include "results/name_hash.h"
#include "results/name_index.h"
#include "com/variant_enumerator.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace utils {

/// Field-name order: VarBstrCmp for the user's default locale, case-sensitive.
struct CFieldNameLess {
    bool operator()(const com::Bstr& a, const com::Bstr& b) const noexcept
    {
        return ::VarBstrCmp(a.Get(), b.Get(), LOCALE_USER_DEFAULT, 0) == static_cast<HRESULT>(VARCMP_LT);
    }
};

/// The scrambled hash of a field name (up to its first NUL).
inline std::int32_t FieldNameBucketHash(const com::Bstr& name) noexcept
{
    return ScrambledFieldNameHash(std::basic_string_view<OLECHAR>(name.Get() ? name.Get() : OLESTR(""), name.Length()));
}

} // namespace utils

template <class T, class Item>
class CFieldCollection {
public:
    /// An unusable item given to Add, or an enumerator that could not be created.
    class EFieldCollection {};
    /// An index out of range, or an enumerator that could not be initialised or queried.
    class EFieldCollectionInt {};

    CFieldCollection() = default;
    CFieldCollection(const CFieldCollection&) = delete;
    CFieldCollection& operator=(const CFieldCollection&) = delete;
    virtual ~CFieldCollection() = default;

    /// Adds an item under its FieldName; the collection takes its own reference. An item whose
    /// name is already present goes after the last item of that name. Takes no lock: it runs only
    /// during Save. Throws EFieldCollection for a null item or an unreadable name; on any failure
    /// the items are as they were.
    void Add(Item* item)
    {
        if (!item)
            throw EFieldCollection();
        com::Bstr fieldName;
        if (FAILED(item->get_FieldName(fieldName.Receive())))
            throw EFieldCollection();
        com::Bstr name(fieldName.ToWide());
        const std::int32_t hash = utils::FieldNameBucketHash(name);
        TItems first;
        first.emplace_back(item);
        const auto [entry, inserted] = index_.Insert(std::move(name), hash, std::move(first));
        if (!inserted)
            entry->item.emplace_back(item);
        ++count_;
        order_.reset();
    }

    /// Releases every item and returns the index to its initial state. Takes no lock.
    void Clear() noexcept
    {
        index_.Clear();
        count_ = 0;
        order_.reset();
    }

    /// Number of items.
    virtual HRESULT CollectionCount(LONG* pVal)
    {
        return com::ComBoundary(T::kErrorSource, [&]() -> HRESULT {
            if (!pVal)
                return E_INVALIDARG;
            com::ObjectLockGuard lock(Owner());
            *pVal = static_cast<LONG>(count_);
            return S_OK;
        });
    }

    /// The item at a 1-based number (VT_I2, VT_I4) or under a name (VT_BSTR), looking through one
    /// VT_BYREF level. An unknown name gives VT_NULL; a number out of range or another type
    /// E_INVALIDARG. *pItem is written without being cleared first.
    virtual HRESULT CollectionItem(VARIANT index, VARIANT* pItem)
    {
        const HRESULT hr = com::ComBoundary(T::kErrorSource, [&]() -> HRESULT {
            if (!pItem)
                return E_INVALIDARG;
            com::ObjectLockGuard lock(Owner());
            const VARIANT* key = &index;
            if (key->vt == (VT_BYREF | VT_VARIANT)) {
                if (!key->pvarVal)
                    return E_INVALIDARG;
                key = key->pvarVal;
            }
            long number = 0;
            switch (key->vt) {
            case VT_I2: number = key->iVal; break;
            case VT_I4: number = key->lVal; break;
            case VT_BYREF | VT_I2:
                if (!key->piVal)
                    return E_INVALIDARG;
                number = *key->piVal;
                break;
            case VT_BYREF | VT_I4:
                if (!key->plVal)
                    return E_INVALIDARG;
                number = *key->plVal;
                break;
            case VT_BSTR: return ItemByName(key->bstrVal, pItem);
            case VT_BYREF | VT_BSTR: return ItemByName(key->pbstrVal ? *key->pbstrVal : nullptr, pItem);
            default:
                com::ReportFailure("Item: the index must be a whole number from 1 or a field name");
                return E_INVALIDARG;
            }
            if (number < 1 || static_cast<unsigned long>(number) > count_) {
                com::ReportFailure("Item: there is no item ", number, " in a collection of ", count_, " items");
                return E_INVALIDARG;
            }
            Item* item = Order()[static_cast<std::size_t>(number - 1)];
            item->AddRef();
            pItem->vt = VT_DISPATCH;
            pItem->pdispVal = item;
            return S_OK;
        });
        // Only the documented answers leave; any other failure is E_FAIL.
        return (hr == S_OK || hr == E_INVALIDARG) ? hr : E_FAIL;
    }

    /// A snapshot enumerator over the items, in numbering order.
    virtual HRESULT CollectionNewEnum(IUnknown** pVal)
    {
        return com::ComBoundary(T::kErrorSource, [&]() -> HRESULT {
            if (!pVal)
                return E_INVALIDARG;
            *pVal = nullptr;
            com::ObjectLockGuard lock(Owner());
            com::ComPtr<com::ComObject<CVariantEnumerator>> enumerator;
            HRESULT hr = com::CreateComObject(enumerator);
            if (FAILED(hr))
                return hr;
            auto snapshot = std::make_shared<CVariantEnumerator::Snapshot>();
            snapshot->reserve(count_);
            for (Item* item : Order()) {
                com::Variant v;
                item->AddRef();
                v.Get()->vt = VT_DISPATCH;
                v.Get()->pdispVal = item;
                snapshot->push_back(std::move(v));
            }
            enumerator->Init(std::move(snapshot));
            hr = enumerator->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(pVal));
            return FAILED(hr) ? hr : S_OK;
        });
    }

private:
    // Every item of one name, the first posted first.
    using TItems = std::vector<com::ComPtr<Item>>;

    com::ComObjectRoot& Owner() noexcept { return static_cast<T&>(*this); }

    // The items in numbering order: the index's entries in sequence, each with every item of its
    // name. Made once after a change and then reused, so numbering every item costs O(n) in all.
    const std::vector<Item*>& Order() const
    {
        if (!order_) {
            std::vector<Item*> order;
            order.reserve(count_);
            index_.ForEach([&order](const auto& entry) {
                for (const auto& item : entry.item)
                    order.push_back(item.Get());
            });
            order_ = std::move(order);
        }
        return *order_;
    }

    HRESULT ItemByName(BSTR name, VARIANT* pItem)
    {
        com::Bstr key(com::Bstr::ToWide(name));
        const auto* entry = index_.Find(key, utils::FieldNameBucketHash(key));
        if (!entry) {
            pItem->vt = VT_NULL;
            return S_OK;
        }
        Item* item = entry->item.front().Get();
        item->AddRef();
        pItem->vt = VT_DISPATCH;
        pItem->pdispVal = item;
        return S_OK;
    }

    utils::CNameIndex<com::Bstr, TItems, utils::CFieldNameLess> index_;
    std::size_t count_ = 0; // items, every item of a repeated name counted
    mutable std::optional<std::vector<Item*>> order_;
};
