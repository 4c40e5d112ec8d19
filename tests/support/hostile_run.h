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

/// Counts a collection's items into count and adds up measure(item) over them into total.
template <class Item, class Collection, class Measurer>
void Measure(Collection* collection, REFIID iid, long& count, long long& total, Measurer measure)
{
    LONG n = 0;
    collection->get_Count(&n);
    count = n;
    for (LONG i = 1; i <= n; ++i) {
        com::ComPtr<Item> item;
        LONG size = 0;
        if (SUCCEEDED(save_run::SaveRun::ItemAt(collection, i, iid, item)) && SUCCEEDED(measure(item.Get(), &size)))
            total += size;
    }
}

/// Sets a recipe's limits on the Upload object as a page would before Save.
inline void ApplyLimits(IUpload2& upload, const std::vector<std::pair<std::string, long>>& limits)
{
    using Setter = HRESULT (STDMETHODCALLTYPE IUpload2::*)(LONG);
    const std::pair<const char*, Setter> setters[] = {
        {"MaxTotalBytes", &IUpload2::put_MaxTotalBytes}, {"MaxFileBytes", &IUpload2::put_MaxFileBytes},
        {"MaxFiles", &IUpload2::put_MaxFiles},           {"MaxFields", &IUpload2::put_MaxFields},
        {"MaxFieldBytes", &IUpload2::put_MaxFieldBytes}, {"MaxParts", &IUpload2::put_MaxParts}};
    for (const auto& [name, value] : limits)
        for (const auto& [known, set] : setters)
            if (name == known)
                (upload.*set)(static_cast<LONG>(value));
}

inline TOutcome RunRecipe(const THostileRecipe& recipe, const std::filesystem::path& folder)
{
    TOutcome out;
    {
        const auto head = host::MakeRequestHead(
            "POST", {{"Content-Type", recipe.contentType}, {"Content-Length", std::to_string(recipe.ContentLength())}},
            0);
        save_run::SaveRun run(host::CreatePage(head, recipe.OpenBody()));
        ApplyLimits(run.Upload(), recipe.limits);
        const std::u16string dir = folder.u16string();
        out.save = static_cast<long>(run.Save(WideString(dir.begin(), dir.end())));
        out.bytesRead = run.Page().Request().BytesDelivered();

        com::ComPtr<ITextFieldCollection> form;
        if (SUCCEEDED(run.Upload().get_Form(form.Receive())))
            Measure<ITextField>(form.Get(), IID_ITextField, out.form, out.textChars,
                                [](ITextField* f, LONG* n) { return f->get_Length(n); });
        com::ComPtr<IUploadedFileCollection> files;
        if (SUCCEEDED(run.Upload().get_Files(files.Receive())))
            Measure<IUploadedFile>(files.Get(), IID_IUploadedFile, out.files, out.fileBytes,
                                   [](IUploadedFile* f, LONG* n) { return f->get_ContentLength(n); });
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
