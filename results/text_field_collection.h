#pragma once
// CTextFieldCollection: the Form collection: one TextField per text part.

#include "com/com_object.h"
#include "com/dispatch_impl.h"
#include "com/support_error_info_impl.h"
#include "platform/win.h"
#include "results/field_collection.h"
#include "kestrune_idl.h"

class CTextFieldCollection : public com::ComObjectRoot,
                             public com::DispatchImpl<ITextFieldCollection, &IID_ITextFieldCollection>,
                             public com::SupportErrorInfoImpl<&IID_ITextFieldCollection>,
                             public CFieldCollection<CTextFieldCollection, ITextField> {
public:
    /// Failures of this object's members name it (Err.Source) and say what happened.
    static constexpr com::ErrorSource kErrorSource{OLESTR("Kestrune.TextFieldCollection"), &IID_ITextFieldCollection};

    KESTRUNE_INTERFACE_TABLE(CTextFieldCollection, KESTRUNE_INTERFACE(CTextFieldCollection, ITextFieldCollection),
                             KESTRUNE_INTERFACE_AS(CTextFieldCollection, IDispatch, ITextFieldCollection),
                             KESTRUNE_INTERFACE(CTextFieldCollection, ISupportErrorInfo))

    STDMETHODIMP get_Count(LONG* pVal) override { return CollectionCount(pVal); }
    STDMETHODIMP Item(VARIANT index, VARIANT* pItem) override { return CollectionItem(index, pItem); }
    STDMETHODIMP get__NewEnum(IUnknown** pVal) override { return CollectionNewEnum(pVal); }
};
