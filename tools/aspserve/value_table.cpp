#include "tools/aspserve/value_table.h"

#include "com/ascii_case.h"

namespace aspserve {

namespace {

HRESULT CopyOut(const com::Variant& stored, VARIANT* value) noexcept
{
    ::VariantInit(value);
    return ::VariantCopy(value, const_cast<VARIANT*>(stored.Get()));
}

} // namespace

bool HoldsObject(const VARIANT& value) noexcept
{
    const VARIANT* v = &value;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal)
        v = v->pvarVal;
    const VARTYPE base = static_cast<VARTYPE>(v->vt & VT_TYPEMASK);
    if (base == VT_DISPATCH || base == VT_UNKNOWN)
        return true;
    if (!(v->vt & VT_ARRAY) || base != VT_VARIANT)
        return false;
    SAFEARRAY* array = (v->vt & VT_BYREF) ? (v->pparray ? *v->pparray : nullptr) : v->parray;
    if (!array)
        return false;
    std::size_t count = 1;
    for (USHORT d = 0; d < array->cDims; ++d)
        count *= array->rgsabound[d].cElements;
    void* data = nullptr;
    if (FAILED(::SafeArrayAccessData(array, &data)))
        return true; // cannot look inside: refuse rather than guess
    bool found = false;
    for (std::size_t i = 0; i < count && !found; ++i)
        found = HoldsObject(static_cast<const VARIANT*>(data)[i]);
    ::SafeArrayUnaccessData(array);
    return found;
}

std::size_t CValueTable::FindLocked(const WideString& name) const noexcept
{
    for (std::size_t i = 0; i < values_.size(); ++i)
        if (com::EqualsIgnoringAsciiCase(values_[i].first, name))
            return i;
    return values_.size();
}

HRESULT CValueTable::Get(const WideString& name, VARIANT* value) const noexcept
{
    std::lock_guard<std::mutex> guard(lock_);
    const std::size_t i = FindLocked(name);
    if (i == values_.size()) {
        ::VariantInit(value);
        return S_OK;
    }
    return CopyOut(values_[i].second, value);
}

HRESULT CValueTable::GetAt(std::size_t index, VARIANT* value) const noexcept
{
    std::lock_guard<std::mutex> guard(lock_);
    ::VariantInit(value);
    if (index >= values_.size())
        return DISP_E_BADINDEX;
    return CopyOut(values_[index].second, value);
}

HRESULT CValueTable::Put(const WideString& name, const VARIANT& value) noexcept
{
    if (HoldsObject(value))
        return E_INVALIDARG;
    com::Variant copy;
    const HRESULT hr = ::VariantCopyInd(copy.Get(), const_cast<VARIANT*>(&value));
    if (FAILED(hr))
        return hr;
    try {
        std::lock_guard<std::mutex> guard(lock_);
        const std::size_t i = FindLocked(name);
        if (i < values_.size())
            values_[i].second = std::move(copy);
        else
            values_.emplace_back(name, std::move(copy));
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

bool CValueTable::Remove(const WideString& name) noexcept
{
    std::lock_guard<std::mutex> guard(lock_);
    const std::size_t i = FindLocked(name);
    if (i == values_.size())
        return false;
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
}

bool CValueTable::RemoveAt(std::size_t index) noexcept
{
    std::lock_guard<std::mutex> guard(lock_);
    if (index >= values_.size())
        return false;
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

void CValueTable::RemoveAll() noexcept
{
    std::lock_guard<std::mutex> guard(lock_);
    values_.clear();
}

std::size_t CValueTable::Count() const noexcept
{
    std::lock_guard<std::mutex> guard(lock_);
    return values_.size();
}

std::optional<WideString> CValueTable::NameAt(std::size_t index) const
{
    std::lock_guard<std::mutex> guard(lock_);
    if (index >= values_.size())
        return std::nullopt;
    return values_[index].first;
}

std::vector<WideString> CValueTable::Names() const
{
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<WideString> names;
    names.reserve(values_.size());
    for (const auto& [name, value] : values_)
        names.push_back(name);
    return names;
}

} // namespace aspserve
