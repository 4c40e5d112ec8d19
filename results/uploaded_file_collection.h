#pragma once
// CUploadedFileCollection: the Files collection: one UploadedFile per file part.

#include "com/com_object.h"
#include "com/dispatch_impl.h"
#include "com/support_error_info_impl.h"
#include "platform/win.h"
#include "results/field_collection.h"
#include "kestrune_idl.h"

class CUploadedFileCollection : public com::ComObjectRoot,
                                public com::DispatchImpl<IUploadedFileCollection, &IID_IUploadedFileCollection>,
                                public com::SupportErrorInfoImpl<&IID_IUploadedFileCollection>,
                                public CFieldCollection<CUploadedFileCollection, IUploadedFile> {
public:
    /// Failures of this object's members name it (Err.Source) and say what happened.
    static constexpr com::ErrorSource kErrorSource{OLESTR("Kestrune.UploadedFileCollection"),
                                                   &IID_IUploadedFileCollection};

    KESTRUNE_INTERFACE_TABLE(CUploadedFileCollection,
                             KESTRUNE_INTERFACE(CUploadedFileCollection, IUploadedFileCollection),
                             KESTRUNE_INTERFACE_AS(CUploadedFileCollection, IDispatch, IUploadedFileCollection),
                             KESTRUNE_INTERFACE(CUploadedFileCollection, ISupportErrorInfo))

    STDMETHODIMP get_Count(LONG* pVal) override { return CollectionCount(pVal); }
    STDMETHODIMP Item(VARIANT index, VARIANT* pItem) override { return CollectionItem(index, pItem); }
    STDMETHODIMP get__NewEnum(IUnknown** pVal) override { return CollectionNewEnum(pVal); }
};
