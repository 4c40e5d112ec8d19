#include "results/text_field.h"

#include "com/com_boundary.h"
#include "results/exact_bstr.h"

void CTextField::Init(com::Bstr value, com::Bstr contentType, com::Bstr fieldName)
{
    com::ObjectLockGuard lock(*this);
    // Keeping a string that is already exact saves a second copy of a value of many megabytes.
    value_ = utils::ExactBstrAdopt(std::move(value));
    contentType_ = utils::ExactBstrAdopt(std::move(contentType));
    fieldName_ = utils::ExactBstrAdopt(std::move(fieldName));
}

STDMETHODIMP CTextField::get_Value(BSTR* pVal)
{
    return com::ComBoundary(kErrorSource, [&] {
        com::ObjectLockGuard lock(*this);
        return utils::ExactBstrCopyOut(value_.Get(), pVal);
    });
}

STDMETHODIMP CTextField::get_Length(LONG* pVal)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        com::ObjectLockGuard lock(*this);
        *pVal = static_cast<LONG>(value_.Length());
        return S_OK;
    });
}

STDMETHODIMP CTextField::get_ContentType(BSTR* pVal)
{
    return com::ComBoundary(kErrorSource, [&] {
        com::ObjectLockGuard lock(*this);
        return utils::ExactBstrCopyOut(contentType_.Get(), pVal);
    });
}

STDMETHODIMP CTextField::get_FieldName(BSTR* pVal)
{
    return com::ComBoundary(kErrorSource, [&] {
        com::ObjectLockGuard lock(*this);
        return utils::ExactBstrCopyOut(fieldName_.Get(), pVal);
    });
}
