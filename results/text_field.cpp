#include "results/text_field.h"

#include "frame/com_boundary.h"
#include "results/exact_bstr.h"

void CTextField::Init(BSTR value, BSTR contentType, BSTR fieldName)
{
    frame::Bstr ownedValue = frame::Bstr::Attach(value);
    frame::Bstr ownedType = frame::Bstr::Attach(contentType);
    frame::Bstr ownedName = frame::Bstr::Attach(fieldName);
    frame::ObjectLockGuard lock(*this);
    // Keeping a string that is already exact saves a second copy of a value of many megabytes.
    value_ = utils::ExactBstrAdopt(std::move(ownedValue));
    contentType_ = utils::ExactBstrAdopt(std::move(ownedType));
    fieldName_ = utils::ExactBstrAdopt(std::move(ownedName));
}

STDMETHODIMP CTextField::get_Value(BSTR* pVal)
{
    return frame::ComBoundary(kErrorSource, [&] {
        frame::ObjectLockGuard lock(*this);
        return utils::ExactBstrCopyOut(value_.Get(), pVal);
    });
}

STDMETHODIMP CTextField::get_Length(LONG* pVal)
{
    return frame::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        frame::ObjectLockGuard lock(*this);
        *pVal = static_cast<LONG>(value_.Length());
        return S_OK;
    });
}

STDMETHODIMP CTextField::get_ContentType(BSTR* pVal)
{
    return frame::ComBoundary(kErrorSource, [&] {
        frame::ObjectLockGuard lock(*this);
        return utils::ExactBstrCopyOut(contentType_.Get(), pVal);
    });
}

STDMETHODIMP CTextField::get_FieldName(BSTR* pVal)
{
    return frame::ComBoundary(kErrorSource, [&] {
        frame::ObjectLockGuard lock(*this);
        return utils::ExactBstrCopyOut(fieldName_.Get(), pVal);
    });
}
