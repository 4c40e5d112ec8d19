#include "upload/com_field_receiver.h"

#include <algorithm>
#include <utility>

#include "com/bstr.h"
#include "files/detached_temp_file.h"
#include "results/text_field.h"
#include "results/text_field_collection.h"
#include "results/uploaded_file.h"
#include "results/uploaded_file_collection.h"
#include "upload/com_object_auto_wrap.h"

namespace {

// A new BSTR holding `text` up to its first NUL.
com::Bstr UpToFirstNul(const WideString& text)
{
    return com::Bstr(text.c_str());
}

// `text` itself cut at its first NUL, so a large value is not copied; null becomes empty.
com::Bstr UpToFirstNul(com::Bstr text)
{
    if (!text.Get())
        return com::Bstr(OLESTR(""));
    const OLECHAR* chars = text.Get();
    const OLECHAR* end = chars + text.Length();
    text.Truncate(static_cast<UINT>(std::find(chars, end, OLECHAR(0)) - chars));
    return text;
}

} // namespace

void CComFieldReceiver::ReceiveTextField(parser::CTextFieldData& text)
{
    utils::CComObjectAutoWrap<CTextField> field;
    com::Bstr value = UpToFirstNul(text.TakeValue());
    com::Bstr contentType = UpToFirstNul(text.GetContentType());
    com::Bstr name = UpToFirstNul(text.GetName());
    field->Init(std::move(value), std::move(contentType), std::move(name));
    com::ComPtr<ITextField> item = field.Query<ITextField>(IID_ITextField);
    texts_->Add(item.Get());
}

void CComFieldReceiver::ReceiveFileField(parser::CFileFieldData& file)
{
    utils::CComObjectAutoWrap<CUploadedFile> uploaded;
    utils::CDetachedTempFile tempFile = file.DetachTempFile();
    com::Bstr clientPath = UpToFirstNul(file.GetFileName());
    com::Bstr contentType = UpToFirstNul(file.GetContentType());
    com::Bstr name = UpToFirstNul(file.GetName());
    com::Bstr tempName = UpToFirstNul(tempFile.GetName());
    uploaded->Init(std::move(clientPath), std::move(contentType), std::move(name), std::move(tempName));
    // From here the UploadedFile object alone deletes the file.
    tempFile.Release();
    com::ComPtr<IUploadedFile> item = uploaded.Query<IUploadedFile>(IID_IUploadedFile);
    files_->Add(item.Get());
    if (updater_)
        updater_->IncNumberOfUploadedFiles();
}
