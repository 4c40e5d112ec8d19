#pragma once
// CUploadedFile: one file part of a parsed upload (the UploadedFile coclass). Owns the temporary
// file that holds the part's bytes until the script moves it away with SaveAs; a file still owned
// when the object goes is deleted. The image facts are read once, when the part arrives, and do
// not follow later changes of the file.

#include "com/bstr.h"
#include "com/com_object.h"
#include "com/dispatch_impl.h"
#include "com/support_error_info_impl.h"
#include "platform/win.h"
#include "kestrune_idl.h"

class CUploadedFile : public com::ComObjectRoot,
                      public com::DispatchImpl<IUploadedFile, &IID_IUploadedFile>,
                      public com::SupportErrorInfoImpl<&IID_IUploadedFile> {
public:
    /// Failures of this object's members name it (Err.Source) and say what happened.
    static constexpr com::ErrorSource kErrorSource{OLESTR("Kestrune.UploadedFile"), &IID_IUploadedFile};

    KESTRUNE_INTERFACE_TABLE(CUploadedFile, KESTRUNE_INTERFACE(CUploadedFile, IUploadedFile),
                             KESTRUNE_INTERFACE_AS(CUploadedFile, IDispatch, IUploadedFile),
                             KESTRUNE_INTERFACE(CUploadedFile, ISupportErrorInfo))

    /// Stores exact copies of the strings (keeping a string that already is one), takes ownership
    /// of the file at `tempFileName`, measures it and reads its image facts (IsImage, ImageWidth,
    /// ImageHeight) from its headers: a file that is no image, or whose bytes cannot be read, reads
    /// False / 0, and Init goes on. On failure the object lets go of the file again (the caller
    /// still owns it) and the error propagates.
    void Init(com::Bstr clientFilePath, com::Bstr contentType, com::Bstr fieldName, com::Bstr tempFileName);

    /// Deletes the file if the object still owns it; a failed deletion is ignored.
    void FinalRelease() noexcept;

    STDMETHODIMP get_ClientFilePath(BSTR* pVal) override;
    STDMETHODIMP get_ContentLength(LONG* pVal) override;
    STDMETHODIMP get_ContentType(BSTR* pVal) override;
    STDMETHODIMP get_Extension(BSTR* pVal) override;
    STDMETHODIMP get_FieldName(BSTR* pVal) override;
    STDMETHODIMP get_ImageHeight(LONG* pVal) override;
    STDMETHODIMP get_ImageWidth(LONG* pVal) override;
    STDMETHODIMP get_IsImage(VARIANT_BOOL* pVal) override;
    STDMETHODIMP get_SafeFileName(BSTR* pVal) override;
    STDMETHODIMP get_TempFileName(BSTR* pVal) override;
    STDMETHODIMP CopyTo(BSTR file_name, VARIANT_BOOL overwrite) override;
    STDMETHODIMP SaveAs(BSTR file_name, VARIANT_BOOL overwrite) override;
    STDMETHODIMP GetSafeName(BSTR file_name, BSTR* pSafe_file_name) override;

private:
    com::Bstr clientFilePath_;
    com::Bstr contentType_;
    com::Bstr fieldName_;
    com::Bstr tempFileName_;
    LONG contentLength_ = 0;
    LONG imageHeight_ = 0;
    LONG imageWidth_ = 0;
    VARIANT_BOOL isImage_ = VARIANT_FALSE;
    bool ownsFile_ = false;
};
