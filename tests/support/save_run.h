// SaveRun: one upload as a page runs it, for tests, fuzz targets and benchmarks: a page over a body
// source, an Upload bound to it, Save into a directory, then what a script reads (every text field
// and every file) and the file operations it may try. Nothing here depends on a test framework.
//
//   save_run::SaveRun run(save_run::MultipartPage("AaB03x", std::make_unique<host::CMemoryBodySource>(body)));
//   run.Configure({.codePage = 65001});
//   HRESULT hr = run.Save(dir);                      // dir: a WideString
//   save_run::TReadBack got = run.ReadBack();        // fields, files and any getter that failed
//   run.Files()[0]->SaveAs(...);
//   run.Release();                                   // drops every reference the run took
//
// Contract: every string a call needs is allocated before the call, so a test that makes the
// platform's allocations fail hits the component, not this harness. Release() leaves the run
// holding nothing; the destructor calls it.
#pragma once

#include "com/bstr.h"
#include "com/com_object.h"
#include "com/com_ptr.h"
#include "com/variant.h"
#include "host/body_source.h"
#include "host/page_host.h"
#include "upload/upload.h"

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace save_run {

/// The settings a script may give the Upload before Save.
struct TSettings {
    LONG codePage = 0;
    LONG detectCharRefs = ynaAuto; // any 32-bit value, as a script may store
    WideString id;                 // empty: Save generates one
};

/// One text field or one file as the script reads it.
struct TTextField {
    WideString name;
    WideString value;
    bool operator==(const TTextField&) const = default;
};
struct TFileField {
    WideString name;
    WideString clientPath;
    WideString tempName;
    LONG length = -1;
    VARIANT_BOOL isImage = VARIANT_FALSE;
    LONG imageWidth = -1;
    LONG imageHeight = -1;
    bool operator==(const TFileField&) const = default;
};

/// Everything read back after Save; failedReads counts getters that did not answer S_OK.
struct TReadBack {
    HRESULT formHr = E_FAIL;
    HRESULT filesHr = E_FAIL;
    std::vector<TTextField> form;
    std::vector<TFileField> files;
    int failedReads = 0;
};

/// A POST page with Content-Type multipart/form-data and the given boundary over body.
inline com::ComPtr<host::CScriptingContext>
MultipartPage(const std::string& boundary, std::unique_ptr<host::CBodySource> body, ULONGLONG contentLength)
{
    const auto head = host::MakeRequestHead("POST",
                                            {{"Content-Type", "multipart/form-data; boundary=" + boundary},
                                             {"Content-Length", std::to_string(contentLength)}},
                                            0);
    return host::CreatePage(head, std::move(body));
}

class SaveRun {
public:
    explicit SaveRun(com::ComPtr<host::CScriptingContext> page) : page_(std::move(page))
    {
        HRESULT hr = com::CreateComObject(upload_);
        if (SUCCEEDED(hr))
            hr = upload_->OnStartPage(page_.Get());
        bound_ = hr;
    }
    ~SaveRun() { Release(); }
    SaveRun(const SaveRun&) = delete;
    SaveRun& operator=(const SaveRun&) = delete;

    /// S_OK when the Upload exists and OnStartPage took the page.
    HRESULT Bound() const noexcept { return bound_; }
    host::CScriptingContext& Page() const noexcept { return *page_.Get(); }
    CUpload& Upload() const noexcept { return *upload_.Get(); }

    /// Stores the settings as a script would; returns the first failing put, or S_OK.
    HRESULT Configure(const TSettings& settings)
    {
        com::Bstr id(settings.id);
        HRESULT hr = upload_->put_CodePage(settings.codePage);
        if (SUCCEEDED(hr))
            hr = PutDetectCharRefs(settings.detectCharRefs);
        if (SUCCEEDED(hr))
            hr = upload_->put_ID(id.Get());
        return hr;
    }

    /// Upload.Save(dir).
    HRESULT Save(const WideString& dir)
    {
        com::Bstr argument(dir);
        return upload_->Save(argument.Get());
    }

    /// Reads Form and Files item by item, and keeps the file objects for Files().
    TReadBack ReadBack()
    {
        TReadBack out;
        files_.clear();
        com::ComPtr<ITextFieldCollection> form;
        out.formHr = upload_->get_Form(form.Receive());
        if (form) {
            LONG count = 0;
            Check(form->get_Count(&count), out);
            for (LONG i = 1; i <= count; ++i) {
                com::ComPtr<ITextField> field;
                if (!Check(ItemAt(form.Get(), i, IID_ITextField, field), out))
                    continue;
                TTextField f;
                Check(ReadString([&](BSTR* p) { return field->get_FieldName(p); }, f.name), out);
                Check(ReadString([&](BSTR* p) { return field->get_Value(p); }, f.value), out);
                out.form.push_back(std::move(f));
            }
        }
        com::ComPtr<IUploadedFileCollection> files;
        out.filesHr = upload_->get_Files(files.Receive());
        if (files) {
            LONG count = 0;
            Check(files->get_Count(&count), out);
            for (LONG i = 1; i <= count; ++i) {
                com::ComPtr<IUploadedFile> file;
                if (!Check(ItemAt(files.Get(), i, IID_IUploadedFile, file), out))
                    continue;
                TFileField f;
                Check(ReadString([&](BSTR* p) { return file->get_FieldName(p); }, f.name), out);
                Check(ReadString([&](BSTR* p) { return file->get_ClientFilePath(p); }, f.clientPath), out);
                Check(ReadString([&](BSTR* p) { return file->get_TempFileName(p); }, f.tempName), out);
                Check(file->get_ContentLength(&f.length), out);
                Check(file->get_IsImage(&f.isImage), out);
                Check(file->get_ImageWidth(&f.imageWidth), out);
                Check(file->get_ImageHeight(&f.imageHeight), out);
                out.files.push_back(std::move(f));
                files_.push_back(std::move(file));
            }
        }
        return out;
    }

    /// The file objects found by the last ReadBack, in Item order.
    const std::vector<com::ComPtr<IUploadedFile>>& Files() const noexcept { return files_; }

    /// Drops the file objects, the Upload (after OnEndPage) and the page.
    void Release() noexcept
    {
        files_.clear();
        if (upload_) {
            upload_->OnEndPage();
            upload_.Reset();
        }
        page_.Reset();
    }

    /// Item(index) of a collection as interface T; E_UNEXPECTED when it is not an object.
    template <class Collection, class T>
    static HRESULT ItemAt(Collection* collection, LONG index, REFIID iid, com::ComPtr<T>& item)
    {
        com::Variant at;
        at.Get()->vt = VT_I4;
        at.Get()->lVal = index;
        com::Variant got;
        HRESULT hr = collection->Item(*at.Get(), got.Get());
        if (FAILED(hr))
            return hr;
        if (got.Get()->vt != VT_DISPATCH || !got.Get()->pdispVal)
            return E_UNEXPECTED;
        return com::QueryInterfaceTo(got.Get()->pdispVal, iid, item);
    }

private:
    // A script may store any 32-bit value; C++ cannot pass one outside the enumeration without
    // the undefined-behaviour check noticing, so this call is exempt from it.
    __attribute__((no_sanitize("undefined"))) HRESULT PutDetectCharRefs(LONG raw)
    {
        TYesNoAuto value;
        static_assert(sizeof value == sizeof raw);
        std::memcpy(&value, &raw, sizeof raw);
        return upload_->put_DetectCharRefs(value);
    }

    template <class Getter>
    static HRESULT ReadString(Getter get, WideString& into)
    {
        com::Bstr value;
        HRESULT hr = get(value.Receive());
        if (SUCCEEDED(hr))
            into = value.ToWide();
        return hr;
    }

    static bool Check(HRESULT hr, TReadBack& out) noexcept
    {
        if (FAILED(hr))
            ++out.failedReads;
        return SUCCEEDED(hr);
    }

    com::ComPtr<host::CScriptingContext> page_;
    com::ComPtr<com::ComObject<CUpload>> upload_;
    std::vector<com::ComPtr<IUploadedFile>> files_;
    HRESULT bound_ = E_FAIL;
};

} // namespace save_run
