#pragma once
// Runs whole parses for the tests: a private temporary directory, a receiver that records every
// field (reading and then deleting each file it is handed), and a statistics updater that only
// records what it is told.

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <iterator>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "parser/field_impl.h"
#include "parser/parse_post_query.h"
#include "platform/win.h"
#include "tests/unit/parser/chunked_source.h"

namespace parser_test {

inline WideString ToWide(const std::filesystem::path& path)
{
    const std::u16string text = path.u16string();
    return WideString(text.begin(), text.end());
}

inline std::string Narrow(const WideString& text)
{
    std::string out;
    for (const auto ch : text)
        out.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
    return out;
}

/// A fresh, empty directory removed with everything in it at the end of the test.
class CTestDir {
public:
    CTestDir()
    {
        static std::atomic<int> counter{0};
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ =
                base / ("kestrune-parser-" + std::to_string(std::random_device{}()) + "-" + std::to_string(counter++));
            if (std::filesystem::create_directory(path_))
                break;
        }
    }
    ~CTestDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& Path() const { return path_; }
    WideString Wide() const { return ToWide(path_); }
    std::size_t FileCount() const
    {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path_), {}));
    }

private:
    std::filesystem::path path_;
};

/// Reads a whole file through the platform's file API (which accepts backslashes everywhere).
inline std::string ReadWholeFile(const WideString& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + Narrow(path));
    std::string content;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        content.append(chunk, got);
    CloseHandle(file);
    return content;
}

struct TField {
    bool isFile = false;
    std::string name, fileName, contentType, value; // narrow copies of the wide texts (ASCII in tests)
    WideString wideValue;
    std::string data; // raw bytes of a text field, content of a file
    bool operator==(const TField& o) const
    {
        return isFile == o.isFile && name == o.name && fileName == o.fileName && contentType == o.contentType &&
               data == o.data && value == o.value;
    }
};

inline std::ostream& operator<<(std::ostream& os, const TField& f)
{
    return os << (f.isFile ? "file " : "text ") << f.name << " [" << f.fileName << "] (" << f.contentType << ") "
              << f.data.size() << " bytes: " << f.data.substr(0, 40);
}

/// A text field whose value is its ASCII content unless given.
inline TField Text(std::string name, std::string data, std::string contentType = "", const char* value = nullptr)
{
    std::string converted = value ? value : data;
    return {false, std::move(name), "", std::move(contentType), std::move(converted), {}, std::move(data)};
}

inline TField File(std::string name, std::string fileName, std::string data, std::string contentType = "")
{
    return {true, std::move(name), std::move(fileName), std::move(contentType), "", {}, std::move(data)};
}

/// Records every field. A file is read and then deleted at once, so that whatever is left in the
/// directory after a parse was left by the parser.
class CCollectingReceiver : public parser::CFieldReceiver {
public:
    void ReceiveTextField(parser::CTextFieldData& text) override
    {
        TField field;
        field.name = Narrow(text.GetName());
        field.contentType = Narrow(text.GetContentType());
        const com::Bstr value = text.TakeValue();
        field.wideValue = WideString(value.Get(), value.Length());
        field.value = Narrow(field.wideValue);
        field.data.assign(text.GetData().begin(), text.GetData().end());
        Deliver(std::move(field));
    }
    void ReceiveFileField(parser::CFileFieldData& file) override
    {
        TField field;
        field.isFile = true;
        field.name = Narrow(file.GetName());
        field.fileName = Narrow(file.GetFileName());
        field.contentType = Narrow(file.GetContentType());
        utils::CDetachedTempFile owner = file.DetachTempFile();
        tempNames.push_back(owner.GetName());
        field.data = ReadWholeFile(owner.GetName());
        Deliver(std::move(field));
    }

    /// A field of this name makes the receiver raise `failure` instead of taking it.
    std::string failOn;
    std::function<void()> failure;
    std::vector<TField> fields;
    std::vector<WideString> tempNames;

private:
    void Deliver(TField field)
    {
        if (!failOn.empty() && field.name == failOn)
            failure();
        fields.push_back(std::move(field));
    }
};

class CRecordingUpdater : public IUploadStatisticsUpdater {
public:
    void AddUploadedBytes(std::int32_t n) override { bytes += n; }
    void IncNumberOfUploadedFiles() override { ++files; }
    void SetCurrentFileName(const WideString& name) override { fileNames.push_back(Narrow(name)); }
    bool IsUploadCancelled() override { return false; }
    std::int64_t bytes = 0;
    int files = 0;
    std::vector<std::string> fileNames;
};

enum class EOutcome { Ok, Failed, Cancelled };

inline std::ostream& operator<<(std::ostream& os, EOutcome o)
{
    return os << (o == EOutcome::Ok ? "ok" : o == EOutcome::Failed ? "failed" : "cancelled");
}

struct TParseResult {
    EOutcome outcome = EOutcome::Ok;
    std::vector<TField> fields;
    std::size_t filesLeft = 0;
    bool sourceExhausted = false;
};

struct TParseSetup {
    std::string boundary = "XyZzy42";
    std::vector<std::uint32_t> plan;
    int cancelAtRead = 0;
    int failAtRead = 0;
    std::int32_t codePage = 0;
    std::int32_t charRefsMode = 2;
    IUploadStatisticsUpdater* updater = nullptr;
    CCollectingReceiver* receiver = nullptr; // a prepared receiver, or null for a fresh one
    const WideString* tempDir = nullptr;     // overrides the test directory
};

/// Parses `body` from a chunked source into a fresh directory and reports what came out.
inline TParseResult Parse(const std::string& body, const TParseSetup& setup = {})
{
    CTestDir dir;
    TParserOptions options;
    options.boundary = setup.boundary;
    options.tempDir = setup.tempDir ? *setup.tempDir : dir.Wide();
    options.codePage = setup.codePage;
    options.charRefsMode = setup.charRefsMode;
    CCollectingReceiver ownReceiver;
    CCollectingReceiver& receiver = setup.receiver ? *setup.receiver : ownReceiver;
    TParseResult result;
    CChunkedSource source(body, setup.plan, setup.cancelAtRead, setup.failAtRead);
    try {
        parser::ParsePostQuery(options, source, receiver, setup.updater);
    } catch (const parser::CDataSourceBase::EUserCancelledUpload&) {
        result.outcome = EOutcome::Cancelled;
    } catch (const parser::EParser&) {
        result.outcome = EOutcome::Failed;
    }
    result.fields = receiver.fields;
    result.filesLeft = dir.FileCount();
    result.sourceExhausted = source.end == 0;
    return result;
}

/// Chunk plans that split a body everywhere: whole buffers, single bytes, small primes, mixed.
inline std::vector<std::vector<std::uint32_t>> EverySplit()
{
    return {{}, {1}, {2}, {3}, {5}, {7}, {11}, {64}, {1, 8191}, {4093, 3, 1}, {8190}, {8191}};
}

/// Reads a body from tests/data/parser.
inline std::string DataFile(const std::string& name)
{
    std::ifstream in(std::filesystem::path(KESTRUNE_TEST_DATA_DIR) / "parser" / name, std::ios::binary);
    if (!in)
        throw std::runtime_error("missing test data " + name);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace parser_test
