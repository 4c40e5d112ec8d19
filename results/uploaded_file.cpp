#include "results/uploaded_file.h"

#include "com/com_boundary.h"
#include "results/exact_bstr.h"
#include "files/file_name_rules.h"
#include "files/file_operations.h"
#include "results/image_file_facts.h"

#include <string_view>

namespace {

std::basic_string_view<OLECHAR> View(BSTR text) noexcept
{
    return text ? std::basic_string_view<OLECHAR>(text, ::SysStringLen(text)) : std::basic_string_view<OLECHAR>();
}

// Extension, SafeFileName and GetSafeName answer E_FAIL, not E_OUTOFMEMORY, when their result
// cannot be allocated.
HRESULT AllocateResult(const WideString& text, BSTR* out) noexcept
{
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_FAIL;
}

} // namespace

void CUploadedFile::Init(com::Bstr clientFilePath, com::Bstr contentType, com::Bstr fieldName, com::Bstr tempFileName)
{
    com::ObjectLockGuard lock(*this);
    try {
        clientFilePath_ = utils::ExactBstrAdopt(std::move(clientFilePath));
        contentType_ = utils::ExactBstrAdopt(std::move(contentType));
        fieldName_ = utils::ExactBstrAdopt(std::move(fieldName));
        tempFileName_ = utils::ExactBstrAdopt(std::move(tempFileName));
        ownsFile_ = true;
        const WideString path = com::Bstr::ToWide(tempFileName_.Get());
        contentLength_ = utils::GetFileLength(path);
        // Read once, from the file's own bytes; a file that is no image, or cannot be read, is none.
        if (contentLength_ > 0) {
            const utils::TImageFacts facts = utils::ReadImageFactsOfFile(path);
            isImage_ = facts.isImage ? VARIANT_TRUE : VARIANT_FALSE;
            imageWidth_ = facts.width;
            imageHeight_ = facts.height;
        }
    } catch (...) {
        // The caller still owns the file and deletes it: this object must not touch it.
        tempFileName_.Reset();
        ownsFile_ = false;
        throw;
    }
}

void CUploadedFile::FinalRelease() noexcept
{
    if (ownsFile_ && tempFileName_.Length() > 0)
        ::DeleteFileW(tempFileName_.Get());
    ownsFile_ = false;
}

STDMETHODIMP CUploadedFile::get_ClientFilePath(BSTR* pVal)
{
    return com::ComBoundary(kErrorSource, [&] {
        com::ObjectLockGuard lock(*this);
        return utils::ExactBstrCopyOut(clientFilePath_.Get(), pVal);
    });
}

STDMETHODIMP CUploadedFile::get_ContentLength(LONG* pVal)
{
    if (!pVal)
        return E_INVALIDARG;
    *pVal = contentLength_;
    return S_OK;
}

STDMETHODIMP CUploadedFile::get_ContentType(BSTR* pVal)
{
    return com::ComBoundary(kErrorSource, [&] {
        com::ObjectLockGuard lock(*this);
        return utils::ExactBstrCopyOut(contentType_.Get(), pVal);
    });
}

STDMETHODIMP CUploadedFile::get_Extension(BSTR* pVal)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        *pVal = nullptr;
        com::ObjectLockGuard lock(*this);
        return AllocateResult(utils::StoredFileExtension(View(clientFilePath_.Get())), pVal);
    });
}

STDMETHODIMP CUploadedFile::get_FieldName(BSTR* pVal)
{
    return com::ComBoundary(kErrorSource, [&] {
        com::ObjectLockGuard lock(*this);
        return utils::ExactBstrCopyOut(fieldName_.Get(), pVal);
    });
}

STDMETHODIMP CUploadedFile::get_ImageHeight(LONG* pVal)
{
    if (!pVal)
        return E_INVALIDARG;
    *pVal = imageHeight_;
    return S_OK;
}

STDMETHODIMP CUploadedFile::get_ImageWidth(LONG* pVal)
{
    if (!pVal)
        return E_INVALIDARG;
    *pVal = imageWidth_;
    return S_OK;
}

STDMETHODIMP CUploadedFile::get_IsImage(VARIANT_BOOL* pVal)
{
    if (!pVal)
        return E_INVALIDARG;
    *pVal = isImage_;
    return S_OK;
}

STDMETHODIMP CUploadedFile::get_SafeFileName(BSTR* pVal)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pVal)
            return E_INVALIDARG;
        *pVal = nullptr;
        com::ObjectLockGuard lock(*this);
        return AllocateResult(utils::SafeFileName(View(clientFilePath_.Get())), pVal);
    });
}

STDMETHODIMP CUploadedFile::get_TempFileName(BSTR* pVal)
{
    return com::ComBoundary(kErrorSource, [&] {
        com::ObjectLockGuard lock(*this);
        return utils::ExactBstrCopyOut(tempFileName_.Get(), pVal);
    });
}

STDMETHODIMP CUploadedFile::CopyTo(BSTR file_name, VARIANT_BOOL overwrite)
{
    return com::ComBoundary(kErrorSource,
                            [&]() -> HRESULT {
                                com::ObjectLockGuard lock(*this);
                                utils::CopyFileTo(com::Bstr::ToWide(tempFileName_.Get()), com::Bstr::ToWide(file_name),
                                                  overwrite != 0);
                                return S_OK;
                            }) == S_OK
               ? S_OK
               : E_FAIL;
}

STDMETHODIMP CUploadedFile::SaveAs(BSTR file_name, VARIANT_BOOL overwrite)
{
    return com::ComBoundary(kErrorSource,
                            [&]() -> HRESULT {
                                com::ObjectLockGuard lock(*this);
                                // The new name is copied before the move, so that a moved file is never left behind
                                // under a name the object does not know.
                                com::Bstr destination = utils::ExactBstrCopy(file_name);
                                utils::MoveFileTo(com::Bstr::ToWide(tempFileName_.Get()), com::Bstr::ToWide(file_name),
                                                  overwrite != 0);
                                tempFileName_ = std::move(destination);
                                ownsFile_ = false;
                                return S_OK;
                            }) == S_OK
               ? S_OK
               : E_FAIL;
}

STDMETHODIMP CUploadedFile::GetSafeName(BSTR file_name, BSTR* pSafe_file_name)
{
    return com::ComBoundary(kErrorSource, [&]() -> HRESULT {
        if (!pSafe_file_name)
            return E_INVALIDARG;
        *pSafe_file_name = nullptr;
        return AllocateResult(utils::SafeFileName(View(file_name)), pSafe_file_name);
    });
}
