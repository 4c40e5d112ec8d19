// Drives Upload.Save through the page host with random settings (code page, character-reference
// mode, content type, declared length, ID), a random read pattern (piece sizes, a misbehaving
// BinaryRead) and an arbitrary body, then reads everything back and saves a file as a script
// would. Checks: Save answers S_OK or E_FAIL only; a failed Save leaves both collections empty;
// every getter answers; each file's ContentLength is its size on disk; after release no
// temporary file stays and every object is gone (module lock count back where it was).
//
// Input: settings first (FuzzedDataProvider, from the end of the data), the body is the rest.

#include "com/module_lock.h"
#include "host/memory_body_source.h"
#include "platform/win.h"
#include "progress/upload_manager.h"
#include "server/module.h"
#include "tests/support/save_run.h"

#ifndef _WIN32
#include "platform/posix/virtual_clock.h"
#endif

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

WideString Wide(const std::filesystem::path& path)
{
    const std::u16string text = path.u16string();
    return WideString(text.begin(), text.end());
}

std::filesystem::path PathOf(const WideString& text)
{
    std::u16string units(text.begin(), text.end());
    for (auto& c : units)
        if (c == u'\\')
            c = u'/';
    return std::filesystem::path(units);
}

// One process-wide setup: an apartment, the virtual clock (the progress timer never samples, so
// nothing else holds a reference while a run ends) and two scratch folders.
struct TProcess {
    std::filesystem::path temp;
    std::filesystem::path saved;
    TProcess()
    {
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
#ifndef _WIN32
        platform::UseVirtualClock(true);
#endif
        const auto base = std::filesystem::temp_directory_path() / ("kestrune-fuzz-save-" + std::to_string(getpid()));
        temp = base / "temp";
        saved = base / "saved";
        std::filesystem::create_directories(temp);
        std::filesystem::create_directories(saved);
    }
};

bool IsEmpty(const std::filesystem::path& folder)
{
    return std::filesystem::directory_iterator(folder) == std::filesystem::directory_iterator();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TProcess process;
    static unsigned serial = 0;
    FuzzedDataProvider in(data, size);

    save_run::TSettings settings;
    settings.codePage = in.PickValueInArray<LONG>({0, 0, 65001, 1252, 1251, 1250, 20127, 28591, 437});
    settings.detectCharRefs = in.PickValueInArray<LONG>({ynaNo, ynaYes, ynaAuto, ynaAuto, 7});
    const std::string id = "fuzz-" + std::to_string(++serial);
    settings.id = WideString(id.begin(), id.end());
    std::string boundary = in.ConsumeRandomLengthString(72);
    if (boundary.empty())
        boundary = "b";
    const int typeChoice = in.ConsumeIntegralInRange(0, 5);
    const char* const kTypes[] = {
        "multipart/form-data; boundary=", "Multipart/Form-Data; boundary=", "multipart/form-data; Boundary=",
        "multipart/form-data;boundary=",  "text/plain; boundary=",          "multipart/form-data; boundary=\""};
    const std::string contentType = kTypes[typeChoice] + boundary;
    std::vector<ULONG> pieces;
    for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n)
        pieces.push_back(in.ConsumeIntegralInRange<ULONG>(1, in.ConsumeBool() ? 16 : 9000));
    host::CRequest::TReadFault fault;
    if (in.ConsumeIntegralInRange(0, 7) == 0) {
        fault.kind =
            in.PickValueInArray({host::CRequest::TReadFault::Kind::Fail, host::CRequest::TReadFault::Kind::CountType,
                                 host::CRequest::TReadFault::Kind::DataType});
        fault.call = in.ConsumeIntegralInRange(1u, 12u);
    }
    const int lengthChoice = in.ConsumeIntegralInRange(0, 3); // exact, more, fewer, none
    const bool saveFirstFile = in.ConsumeBool();
    const std::string body = in.ConsumeRemainingBytesAsString();

    ULONGLONG declared = body.size();
    if (lengthChoice == 1)
        declared += 1000;
    else if (lengthChoice == 2)
        declared /= 2;
    else if (lengthChoice == 3)
        declared = 0;

    const LONG locksBefore = com::ModuleLockCount();
    {
        auto source = std::make_unique<host::CMemoryBodySource>(body);
        if (!pieces.empty())
            source->SetPieceSizes(pieces);
        const auto head = host::MakeRequestHead(
            "POST", {{"Content-Type", contentType}, {"Content-Length", std::to_string(declared)}}, 0);
        save_run::SaveRun run(host::CreatePage(head, std::move(source)));
        if (run.Bound() != S_OK || run.Configure(settings) != S_OK)
            Fail("binding or settings refused");
        run.Page().Request().InjectReadFault(fault);
        const HRESULT saved = run.Save(Wide(process.temp));
        if (saved != S_OK && saved != E_FAIL)
            Fail("Save answered something other than S_OK or E_FAIL");
        const save_run::TReadBack got = run.ReadBack();
        if (got.formHr != S_OK || got.filesHr != S_OK || got.failedReads != 0)
            Fail("a getter failed after Save");
        if (saved == E_FAIL && (!got.form.empty() || !got.files.empty()))
            Fail("a failed Save left fields behind");
        for (const auto& file : got.files) {
            std::error_code error;
            const auto bytes = std::filesystem::file_size(PathOf(file.tempName), error);
            if (error || bytes != static_cast<std::uintmax_t>(file.length))
                Fail("ContentLength differs from the temporary file");
        }
        if (saveFirstFile && !run.Files().empty()) {
            const com::Bstr target(Wide(process.saved / "kept.bin"));
            if (run.Files()[0]->SaveAs(target.Get(), VARIANT_TRUE) != S_OK)
                Fail("SaveAs into an empty folder failed");
        }
        run.Release();
    }
    CKestruneModule::Instance().UploadManager().Remove(settings.id); // kept for minutes by design
    if (!IsEmpty(process.temp))
        Fail("a temporary file outlived its objects");
    if (com::ModuleLockCount() != locksBefore)
        Fail("an object outlived the run");
    std::error_code ignored;
    std::filesystem::remove(process.saved / "kept.bin", ignored);
    return 0;
}
