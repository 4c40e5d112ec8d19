// RunRecipe: one catalogue entry through the page host as a page would run it: Save into a fresh
// folder, count what Form and Files hold (lengths through Length and ContentLength, so reading
// adds no copy of a large value), release everything and count what stayed in the folder.
//
//   hostile::TOutcome got = hostile::RunRecipe(recipe, folder);   // folder: an empty directory
//   EXPECT_EQ(got.ToString(), recipe.expected);
#pragma once

#include "tests/support/hostile_recipe.h"
#include "tests/support/save_run.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace hostile {

inline TOutcome RunRecipe(const THostileRecipe& recipe, const std::filesystem::path& folder)
{
    TOutcome out;
    {
        const auto head = host::MakeRequestHead(
            "POST", {{"Content-Type", recipe.contentType}, {"Content-Length", std::to_string(recipe.ContentLength())}}, 0);
        save_run::SaveRun run(host::CreatePage(head, recipe.OpenBody()));
        const std::u16string dir = folder.u16string();
        out.save = static_cast<long>(run.Save(WideString(dir.begin(), dir.end())));
        out.bytesRead = run.Page().Request().BytesDelivered();

        frame::ComPtr<ITextFieldCollection> form;
        if (SUCCEEDED(run.Upload().get_Form(form.Receive()))) {
            LONG count = 0;
            form->get_Count(&count);
            out.form = count;
            for (LONG i = 1; i <= count; ++i) {
                frame::Variant at;
                at.Get()->vt = VT_I4;
                at.Get()->lVal = i;
                frame::Variant item;
                frame::ComPtr<ITextField> field;
                LONG length = 0;
                if (SUCCEEDED(form->Item(*at.Get(), item.Get())) && item.Get()->vt == VT_DISPATCH &&
                    SUCCEEDED(frame::QueryInterfaceTo(item.Get()->pdispVal, IID_ITextField, field)) &&
                    SUCCEEDED(field->get_Length(&length)))
                    out.textChars += length;
            }
        }
        frame::ComPtr<IUploadedFileCollection> files;
        if (SUCCEEDED(run.Upload().get_Files(files.Receive()))) {
            LONG count = 0;
            files->get_Count(&count);
            out.files = count;
            for (LONG i = 1; i <= count; ++i) {
                frame::Variant at;
                at.Get()->vt = VT_I4;
                at.Get()->lVal = i;
                frame::Variant item;
                frame::ComPtr<IUploadedFile> file;
                LONG length = 0;
                if (SUCCEEDED(files->Item(*at.Get(), item.Get())) && item.Get()->vt == VT_DISPATCH &&
                    SUCCEEDED(frame::QueryInterfaceTo(item.Get()->pdispVal, IID_IUploadedFile, file)) &&
                    SUCCEEDED(file->get_ContentLength(&length)))
                    out.fileBytes += length;
            }
        }
    }
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++out.left;
    return out;
}

/// The recipes of the catalogue folder, sorted by name.
inline std::vector<std::filesystem::path> CatalogueFiles(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".recipe")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace hostile
