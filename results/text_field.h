#pragma once
// CTextField: one text part of a parsed upload (the TextField coclass). Immutable after Init.

#include "com/bstr.h"
#include "com/com_object.h"
#include "com/dispatch_impl.h"
#include "com/support_error_info_impl.h"
#include "platform/win.h"
#include "kestrune_idl.h"

class CTextField : public com::ComObjectRoot,
                   public com::DispatchImpl<ITextField, &IID_ITextField>,
                   public com::SupportErrorInfoImpl<&IID_ITextField> {
public:
    /// Failures of this object's members name it (Err.Source) and say what happened.
    static constexpr com::ErrorSource kErrorSource{OLESTR("Kestrune.TextField"), &IID_ITextField};

    KESTRUNE_INTERFACE_TABLE(CTextField, KESTRUNE_INTERFACE(CTextField, ITextField),
                             KESTRUNE_INTERFACE_AS(CTextField, IDispatch, ITextField),
                             KESTRUNE_INTERFACE(CTextField, ISupportErrorInfo))

    /// Stores exact copies of the three strings, keeping a string that already is one (a null one
    /// stays null). A failed copy throws com::ComError(E_OUTOFMEMORY); the strings copied before it
    /// keep their new values.
    void Init(com::Bstr value, com::Bstr contentType, com::Bstr fieldName);

    STDMETHODIMP get_Value(BSTR* pVal) override;
    STDMETHODIMP get_Length(LONG* pVal) override;
    STDMETHODIMP get_ContentType(BSTR* pVal) override;
    STDMETHODIMP get_FieldName(BSTR* pVal) override;

private:
    com::Bstr fieldName_;
    com::Bstr value_;
    com::Bstr contentType_;
};
