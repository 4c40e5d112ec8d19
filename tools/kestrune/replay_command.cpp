#include "tools/kestrune/replay_command.h"

#include "com/bstr.h"
#include "com/com_ptr.h"
#include "com/failure_reason.h"
#include "com/guid.h"
#include "com/variant.h"
#include "host/com_apartment.h"
#include "host/page_host.h"
#include "platform/win.h"
#include "tools/kestrune/json_writer.h"
#include "tools/kestrune/progress_bar.h"
#include "tools/kestrune/sha256.h"

#include "kestrune_idl.h"

#include <boost/program_options.hpp>

#include <cstdio>
#include <memory>
#include <unistd.h>
#include <random>
#include <sstream>
#include <system_error>

namespace po = boost::program_options;

namespace kestrune {

namespace {

// The limits of IUpload2: option name, property name, and the property's setter.
struct TLimitOption {
    const char* option;
    const char* property;
    HRESULT (STDMETHODCALLTYPE IUpload2::*set)(LONG);
};
constexpr TLimitOption kLimitOptions[] = {
    {"max-total-bytes", "MaxTotalBytes", &IUpload2::put_MaxTotalBytes},
    {"max-file-bytes", "MaxFileBytes", &IUpload2::put_MaxFileBytes},
    {"max-files", "MaxFiles", &IUpload2::put_MaxFiles},
    {"max-fields", "MaxFields", &IUpload2::put_MaxFields},
    {"max-field-bytes", "MaxFieldBytes", &IUpload2::put_MaxFieldBytes},
    {"max-parts", "MaxParts", &IUpload2::put_MaxParts},
};

po::options_description VisibleOptions()
{
    po::options_description options("Options");
    for (const TLimitOption& limit : kLimitOptions)
        options.add_options()(limit.option, po::value<long>(),
                              (std::string("the Upload's ") + limit.property + " (0: none)").c_str());
    options.add_options()("require-complete-body", "set RequireCompleteBody: a body cut short fails Save");
    options.add_options()("temp-dir", po::value<std::string>(),
                          "directory for the temporary files (default: a fresh one, removed afterwards)")(
        "save-dir", po::value<std::string>(),
        "keep every file there under its SafeFileName (SaveAs)")("overwrite", "let --save-dir replace existing files")(
        "code-page", po::value<long>(), "CodePage for posted text (0 = none)")("char-refs", po::value<std::string>(),
                                                                               "DetectCharRefs: yes, no or auto")(
        "id", po::value<std::string>(),
        "upload ID")("progress", "draw a progress bar on standard error even when it is not a terminal")(
        "no-progress", "no progress bar (the default when standard error is not a terminal)")(
        "compact", "print the JSON on one line")("help,h", "show this help");
    return options;
}

WideString WideFromUtf8(const std::string& text)
{
    const std::u16string u16 = std::filesystem::path(std::u8string(text.begin(), text.end())).u16string();
    return WideString(u16.begin(), u16.end());
}

WideString WideFromPath(const std::filesystem::path& path)
{
    const std::u16string u16 = path.u16string();
    return WideString(u16.begin(), u16.end());
}

std::u16string Utf16(const WideString& text)
{
    return std::u16string(text.begin(), text.end());
}

std::u16string Utf16(const com::Bstr& text)
{
    return text.Get() ? std::u16string(text.Get(), text.Get() + text.Length()) : std::u16string();
}

// SHA-256 of a file named as the component names it, read through the platform's file calls.
std::optional<std::string> FileDigest(const WideString& path)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    Sha256 hash;
    unsigned char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ::ReadFile(file, buffer, sizeof buffer, &got, nullptr) != FALSE) && got > 0)
        hash.Update(buffer, got);
    ::CloseHandle(file);
    if (!ok)
        return std::nullopt;
    return hash.HexDigest();
}

// A fresh directory under the system's temporary directory, removed with its content at the end.
class FreshTempDir {
public:
    FreshTempDir()
    {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::ostringstream name;
            name << "kestrune-replay-" << std::hex << random() << random();
            path_ = std::filesystem::temp_directory_path() / name.str();
            if (std::filesystem::create_directory(path_))
                return;
        }
        throw std::runtime_error("cannot create a temporary directory under " +
                                 std::filesystem::temp_directory_path().string());
    }
    ~FreshTempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    FreshTempDir(const FreshTempDir&) = delete;
    FreshTempDir& operator=(const FreshTempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The failure reasons the component names on this thread (see com/failure_reason.h): Take gives
// the last one sent since the previous Take, the text after "Kestrune: ".
class LastFailureReason {
public:
    LastFailureReason() noexcept : seen_(com::FailureReasonsOnThisThread()) {}

    /// The reason sent since the last call, if any.
    std::optional<std::u16string> Take()
    {
        const std::uint32_t sent = com::FailureReasonsOnThisThread();
        if (sent == std::exchange(seen_, sent))
            return std::nullopt;
        const WideString reason = com::LastFailureReasonOnThisThread();
        return std::u16string(reason.begin(), reason.end());
    }

private:
    std::uint32_t seen_;
};

// Item(index) of either collection, as a script's Files(i) or Form(i).
template <class Collection>
com::ComPtr<IDispatch> ItemAt(Collection* collection, LONG index)
{
    com::Variant key;
    key.Get()->vt = VT_I4;
    key.Get()->lVal = index;
    com::Variant item;
    if (FAILED(collection->Item(*key.Get(), item.Get())) || item.Type() != VT_DISPATCH)
        return {};
    return com::ComPtr<IDispatch>(item.Get()->pdispVal);
}

// The upload's status as a progress page reads it under its ID: code, text and reason.
void WriteStatus(JsonWriter& json, const com::Bstr& id)
{
    com::ComPtr<IProgress2> progress;
    UploadState code = Waiting;
    com::Bstr text, reason;
    if (SUCCEEDED(::CoCreateInstance(CLSID_Progress, nullptr, CLSCTX_INPROC_SERVER, IID_IProgress2,
                                     progress.ReceiveVoid())) &&
        progress && SUCCEEDED(progress->put_ID(id.Get()))) {
        progress->get_UploadStatus(&code);
        progress->get_UploadStatusString(text.Receive());
        progress->get_StatusReason(reason.Receive());
    }
    json.Key("status");
    json.BeginObject();
    json.Key("code");
    json.Number(static_cast<long>(code));
    json.Key("text");
    json.String(Utf16(text));
    json.Key("reason");
    json.String(Utf16(reason));
    json.EndObject();
}

// "key": the text of a property a page reads.
void WriteMember(JsonWriter& json, const char* key, const com::Bstr& text)
{
    json.Key(key);
    json.String(Utf16(text));
}

// Calls visit with each item of collection (Files or Form) that answers iid, in numbering order.
template <class Item, class Collection, class Visit>
void ForEachItem(Collection* collection, REFIID iid, Visit visit)
{
    LONG count = 0;
    if (!collection || FAILED(collection->get_Count(&count)))
        return;
    for (LONG i = 1; i <= count; ++i) {
        com::ComPtr<Item> item;
        com::QueryInterfaceTo(ItemAt(collection, i).Get(), iid, item);
        if (item)
            visit(item.Get());
    }
}

void WriteForm(JsonWriter& json, IUpload* upload)
{
    json.Key("form");
    json.BeginArray();
    com::ComPtr<ITextFieldCollection> form;
    if (SUCCEEDED(upload->get_Form(form.Receive())))
        ForEachItem<ITextField>(form.Get(), IID_ITextField, [&](ITextField* field) {
            com::Bstr name, value, contentType;
            LONG length = 0;
            field->get_FieldName(name.Receive());
            field->get_Value(value.Receive());
            field->get_ContentType(contentType.Receive());
            field->get_Length(&length);
            json.BeginObject();
            WriteMember(json, "name", name);
            WriteMember(json, "value", value);
            WriteMember(json, "contentType", contentType);
            json.Key("length");
            json.Number(length);
            json.EndObject();
        });
    json.EndArray();
}

// What a page reads of an uploaded file, up to the SHA-256 of its content (read from the temporary
// file, before a SaveAs moves it).
void WriteFileFacts(JsonWriter& json, IUploadedFile* file)
{
    com::Bstr field, clientPath, contentType, extension, safeName, tempName;
    LONG size = 0, imageWidth = 0, imageHeight = 0;
    VARIANT_BOOL isImage = VARIANT_FALSE;
    file->get_FieldName(field.Receive());
    file->get_ClientFilePath(clientPath.Receive());
    file->get_ContentType(contentType.Receive());
    file->get_ContentLength(&size);
    file->get_Extension(extension.Receive());
    file->get_SafeFileName(safeName.Receive());
    file->get_TempFileName(tempName.Receive());
    file->get_IsImage(&isImage);
    file->get_ImageWidth(&imageWidth);
    file->get_ImageHeight(&imageHeight);
    const std::optional<std::string> digest = FileDigest(tempName.ToWide());

    WriteMember(json, "field", field);
    WriteMember(json, "clientPath", clientPath);
    WriteMember(json, "contentType", contentType);
    json.Key("size");
    json.Number(size);
    WriteMember(json, "extension", extension);
    WriteMember(json, "safeName", safeName);
    json.Key("isImage");
    json.Bool(isImage != VARIANT_FALSE);
    json.Key("imageWidth");
    json.Number(imageWidth);
    json.Key("imageHeight");
    json.Number(imageHeight);
    json.Key("sha256");
    if (digest)
        json.Utf8String(*digest);
    else
        json.Null();
}

// What became of a file under --save-dir.
struct TSaveOutcome {
    std::optional<WideString> savedAs;    // where SaveAs put it
    std::optional<std::string> error;     // why it is not there
    std::optional<std::u16string> reason; // the component's reason for a failed SaveAs
};

// SaveAs into the --save-dir folder under the file's SafeFileName.
TSaveOutcome SaveIntoFolder(IUploadedFile* file, const TReplayOptions& options, LastFailureReason& reasons)
{
    TSaveOutcome outcome;
    com::Bstr safeName;
    file->get_SafeFileName(safeName.Receive());
    const WideString safe = safeName.ToWide();
    if (safe.empty()) {
        outcome.error = "the client file name leaves no safe name";
        return outcome;
    }
    const std::filesystem::path target = *options.saveDir / std::filesystem::path(Utf16(safe));
    const WideString wideTarget = WideFromPath(target);
    const bool existed = std::filesystem::exists(target);
    reasons.Take();
    const HRESULT hr = file->SaveAs(com::Bstr(wideTarget).Get(), options.overwrite ? VARIANT_TRUE : VARIANT_FALSE);
    outcome.reason = reasons.Take();
    if (SUCCEEDED(hr))
        outcome.savedAs = wideTarget;
    else if (existed && !options.overwrite)
        outcome.error = "a file of that name exists (--overwrite replaces it)";
    else
        outcome.error = "SaveAs failed with " + com::HResult{hr}.Text();
    return outcome;
}

void WriteSaveOutcome(JsonWriter& json, const TSaveOutcome& outcome)
{
    json.Key("savedAs");
    if (outcome.savedAs)
        json.String(Utf16(*outcome.savedAs));
    else
        json.Null();
    if (outcome.error) {
        json.Key("saveError");
        json.Utf8String(*outcome.error);
        if (outcome.reason) {
            json.Key("reason");
            json.String(*outcome.reason);
        }
    }
}

void WriteFiles(JsonWriter& json, IUpload* upload, const TReplayOptions& options, LastFailureReason& reasons)
{
    json.Key("files");
    json.BeginArray();
    com::ComPtr<IUploadedFileCollection> files;
    if (SUCCEEDED(upload->get_Files(files.Receive())))
        ForEachItem<IUploadedFile>(files.Get(), IID_IUploadedFile, [&](IUploadedFile* file) {
            json.BeginObject();
            WriteFileFacts(json, file);
            WriteSaveOutcome(json, options.saveDir ? SaveIntoFolder(file, options, reasons) : TSaveOutcome());
            json.EndObject();
        });
    json.EndArray();
}

// The page over a captured request. Throws std::runtime_error ("cannot read ...").
com::ComPtr<host::CScriptingContext> OpenRequest(const std::filesystem::path& request)
{
    if (!std::filesystem::is_regular_file(request))
        throw std::runtime_error("cannot read " + request.string() + ": not a readable file");
    return host::OpenCapturedPage(request);
}

// The folder for the temporary files: --temp-dir, or a fresh one that freshDir removes at the end.
WideString TempDirectory(const TReplayOptions& options, std::unique_ptr<FreshTempDir>& freshDir)
{
    if (options.tempDir)
        return WideFromPath(*options.tempDir);
    freshDir = std::make_unique<FreshTempDir>();
    return WideFromPath(freshDir->Path());
}

// A new Upload object (by CLSID, as a page creates it) bound to page and given the settings of
// options. Throws std::runtime_error with the step that failed.
com::ComPtr<IUpload2> CreateUpload(IScriptingContext* page, const TReplayOptions& options)
{
    com::ComPtr<IUpload2> upload;
    const HRESULT created =
        ::CoCreateInstance(CLSID_Upload, nullptr, CLSCTX_INPROC_SERVER, IID_IUpload2, upload.ReceiveVoid());
    if (FAILED(created) || !upload)
        throw std::runtime_error("the Upload object could not be created (" + com::HResult{created}.Text() + ")");
    const HRESULT bound = upload->OnStartPage(page);
    if (FAILED(bound))
        throw std::runtime_error("OnStartPage failed (" + com::HResult{bound}.Text() + ")");
    if (options.codePage)
        upload->put_CodePage(static_cast<LONG>(*options.codePage));
    if (options.charRefs)
        upload->put_DetectCharRefs(static_cast<TYesNoAuto>(*options.charRefs));
    for (const auto& [property, value] : options.limits)
        for (const TLimitOption& limit : kLimitOptions)
            if (property == limit.property)
                (upload.Get()->*limit.set)(static_cast<LONG>(value));
    if (options.requireCompleteBody)
        upload->put_RequireCompleteBody(VARIANT_TRUE);
    return upload;
}

// The upload's ID: --id, or a new one when a progress bar follows the upload (the bar follows it by
// its ID, so it needs the ID before Save would make one); empty for none.
WideString UploadId(const TReplayOptions& options, bool showBar)
{
    if (options.id)
        return WideFromUtf8(*options.id);
    if (!showBar)
        return {};
    GUID guid{};
    ::CoCreateGuid(&guid);
    return com::GuidToString(guid);
}

// Save into tempDir, with a progress bar on standard error that follows the upload *barId
// meanwhile (none for null); reason receives the component's reason for a failure.
HRESULT SaveShowingProgress(IUpload2* upload, const WideString& tempDir, const WideString* barId,
                            LastFailureReason& reasons, std::optional<std::u16string>& reason)
{
    std::unique_ptr<CProgressBar> bar;
    if (barId)
        bar = std::make_unique<CProgressBar>(*barId, stderr);
    const HRESULT saved = upload->Save(com::Bstr(tempDir).Get());
    reason = reasons.Take();
    if (bar)
        bar->Finish();
    return saved;
}

// The outcome as JSON: Save's answer, the ID and its status, the form fields and the files.
void WriteReport(std::ostream& out, IUpload2* upload, HRESULT saved, const std::optional<std::u16string>& saveReason,
                 const TReplayOptions& options, LastFailureReason& reasons)
{
    JsonWriter json(out, !options.compact);
    json.BeginObject();
    json.Key("save");
    json.BeginObject();
    json.Key("hresult");
    json.Utf8String(com::HResult{saved}.Text());
    json.Key("ok");
    json.Bool(saved == S_OK);
    if (saveReason) {
        json.Key("reason");
        json.String(*saveReason);
    }
    json.EndObject();
    com::Bstr finalId;
    upload->get_ID(finalId.Receive());
    json.Key("id");
    json.String(Utf16(finalId));
    WriteStatus(json, finalId);
    WriteForm(json, upload);
    WriteFiles(json, upload, options, reasons);
    json.EndObject();
    out << "\n";
}

} // namespace

std::string ReplayUsage()
{
    std::ostringstream text;
    text << "Usage: kestrune replay REQUEST.http [options]\n"
            "Runs a captured HTTP request through an Upload object as an ASP page would and prints the\n"
            "outcome as JSON. Exit status: 0 Save succeeded, 1 Save failed, 2 usage or unreadable request.\n\n"
         << VisibleOptions();
    return text.str();
}

TReplayOptions ParseReplayOptions(const std::vector<std::string>& args)
{
    po::options_description all = VisibleOptions();
    all.add_options()("request", po::value<std::vector<std::string>>(), "request file");
    po::positional_options_description positional;
    positional.add("request", -1);
    po::variables_map values;
    try {
        po::store(po::command_line_parser(args).options(all).positional(positional).run(), values);
        po::notify(values);
    } catch (const po::error& e) {
        throw EUsage(e.what());
    }

    TReplayOptions options;
    if (values.count("help")) {
        options.help = true;
        return options;
    }
    if (!values.count("request"))
        throw EUsage("no request file given (kestrune replay REQUEST.http)");
    const auto& requests = values["request"].as<std::vector<std::string>>();
    if (requests.size() != 1)
        throw EUsage("exactly one request file expected, got " + std::to_string(requests.size()));
    options.request = requests.front();
    if (values.count("temp-dir"))
        options.tempDir = values["temp-dir"].as<std::string>();
    if (values.count("save-dir"))
        options.saveDir = values["save-dir"].as<std::string>();
    options.overwrite = values.count("overwrite") > 0;
    if (values.count("code-page"))
        options.codePage = values["code-page"].as<long>();
    if (values.count("char-refs")) {
        const std::string mode = values["char-refs"].as<std::string>();
        if (mode == "no")
            options.charRefs = ynaNo;
        else if (mode == "yes")
            options.charRefs = ynaYes;
        else if (mode == "auto")
            options.charRefs = ynaAuto;
        else
            throw EUsage("--char-refs takes yes, no or auto, not '" + mode + "'");
    }
    if (values.count("id"))
        options.id = values["id"].as<std::string>();
    for (const TLimitOption& limit : kLimitOptions) {
        if (!values.count(limit.option))
            continue;
        const long value = values[limit.option].as<long>();
        if (value < 0 || value > 0x7FFFFFFF)
            throw EUsage(std::string("--") + limit.option + " takes a number from 0 (no limit) to 2147483647");
        options.limits.emplace_back(limit.property, value);
    }
    options.requireCompleteBody = values.count("require-complete-body") > 0;
    if (values.count("progress") && values.count("no-progress"))
        throw EUsage("--progress and --no-progress exclude each other");
    if (values.count("progress"))
        options.progress = true;
    else if (values.count("no-progress"))
        options.progress = false;
    options.compact = values.count("compact") > 0;
    return options;
}

int RunReplay(const TReplayOptions& options, std::ostream& out, std::ostream& err)
{
    const host::CComApartment apartment(COINIT_MULTITHREADED);
    if (FAILED(apartment.Result())) {
        err << "kestrune replay: COM could not be initialised (" << com::HResult{apartment.Result()}.Text() << ")\n";
        return 2;
    }
    com::ComPtr<host::CScriptingContext> page;
    std::unique_ptr<FreshTempDir> freshDir;
    WideString tempDir;
    try {
        page = OpenRequest(options.request);
        tempDir = TempDirectory(options, freshDir);
    } catch (const std::exception& e) {
        err << "kestrune replay: " << e.what() << "\n";
        return 2;
    }

    // Scoped so that the Upload object and its files are gone before the directory is removed.
    HRESULT saved = E_FAIL;
    {
        com::ComPtr<IUpload2> upload;
        try {
            upload = CreateUpload(page.Get(), options);
        } catch (const std::exception& e) {
            err << "kestrune replay: " << e.what() << "\n";
            return 2;
        }
        const bool showBar = options.progress.value_or(::isatty(::fileno(stderr)) == 1);
        const WideString id = UploadId(options, showBar);
        if (!id.empty())
            upload->put_ID(com::Bstr(id).Get());
        LastFailureReason reasons;
        std::optional<std::u16string> saveReason;
        saved = SaveShowingProgress(upload.Get(), tempDir, showBar ? &id : nullptr, reasons, saveReason);
        WriteReport(out, upload.Get(), saved, saveReason, options, reasons);
        upload->OnEndPage();
    }
    return saved == S_OK ? 0 : 1;
}

int ReplayMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    TReplayOptions options;
    try {
        options = ParseReplayOptions(args);
    } catch (const EUsage& e) {
        err << "kestrune replay: " << e.what() << " (see kestrune replay --help)\n";
        return 2;
    }
    if (options.help) {
        out << ReplayUsage();
        return 0;
    }
    return RunReplay(options, out, err);
}

} // namespace kestrune
