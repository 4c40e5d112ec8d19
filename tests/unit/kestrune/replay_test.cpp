#include "tools/kestrune/replay_command.h"
#include "tools/kestrune/sha256.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kExamples = KESTRUNE_EXAMPLES_DIR;
const std::string kRequests = KESTRUNE_TEST_DATA_DIR "/requests/upload/";

struct TRun {
    int code;
    std::string out;
    std::string err;
};

TRun Replay(std::vector<std::string> args)
{
    std::ostringstream out, err;
    const int code = kestrune::ReplayMain(args, out, err);
    return {code, out.str(), err.str()};
}

class ScratchDir {
public:
    explicit ScratchDir(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                ("kestrune-replay-test-" + name + "-" + std::to_string(::getpid())))
    {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& Path() const { return path_; }
    std::size_t Count() const
    {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(path_), std::filesystem::directory_iterator()));
    }

private:
    std::filesystem::path path_;
};

const std::string
    kPng("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x06\0\0\0\x1f\x15\xc4\x89\0\0\0\nIDATx\x9c"
         "c\0\x01\0\0\x05\0\x01\r\n-\xb4\0\0\0\0IEND\xae\x42`\x82",
         67);

TEST(Replay, PrintsTheSampleUploadAsJsonAndLeavesNoTemporaryFile)
{
    ScratchDir temp("temp");
    const TRun run =
        Replay({kExamples + "/sample-upload.http", "--temp-dir", temp.Path().string(), "--compact", "--id", "sample"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string expected =
        "{\"save\":{\"hresult\":\"0x00000000\",\"ok\":true},\"id\":\"sample\","
        "\"status\":{\"code\":2,\"text\":\"Upload successfully completed\",\"reason\":\"\"},"
        "\"form\":[{\"name\":\"comment\",\"value\":\"Two lines,\\r\\nsent from a "
        "form.\",\"contentType\":\"\",\"length\":29},"
        "{\"name\":\"title\",\"value\":\"Caf\xC3\xA9 \xE2\x80\x93 "
        "\xE5\xB1\xA5\xE6\xAD\xB4\xE6\x9B\xB8\",\"contentType\":\"\",\"length\":10}],"
        "\"files\":[{\"field\":\"notes\",\"clientPath\":\"notes.txt\",\"contentType\":\"text/plain\",\"size\":17,"
        "\"extension\":\"txt\",\"safeName\":\"notes.txt\",\"isImage\":false,\"imageWidth\":0,\"imageHeight\":0,"
        "\"sha256\":\"" +
        kestrune::Sha256::Of("Plain text file.\n") +
        "\",\"savedAs\":null},"
        "{\"field\":\"photo\",\"clientPath\":\"C:\\\\Users\\\\guest\\\\Pictures\\\\pixel.png\",\"contentType\":\"image/"
        "png\","
        "\"size\":67,\"extension\":\"png\",\"safeName\":\"pixel.png\",\"isImage\":true,\"imageWidth\":1,"
        "\"imageHeight\":1,\"sha256\":\"" +
        kestrune::Sha256::Of(kPng) + "\",\"savedAs\":null}]}\n";
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(temp.Count(), 0u);
}

// Each file's image facts come from its bytes: a script named holiday.jpg is none, a JPEG named
// notes.txt is one.
TEST(Replay, PrintsTheImageFactsOfEachFile)
{
    ScratchDir temp("images");
    const TRun run = Replay({KESTRUNE_TEST_DATA_DIR "/../wine/pages/upload/image_facts.http", "--temp-dir",
                             temp.Path().string(), "--compact", "--no-progress"});
    ASSERT_EQ(run.code, 0) << run.err;
    const std::pair<const char*, const char*> expected[] = {
        {"png", "\"isImage\":true,\"imageWidth\":3,\"imageHeight\":2"},
        {"gif", "\"isImage\":true,\"imageWidth\":257,\"imageHeight\":2"},
        {"jpeg", "\"isImage\":true,\"imageWidth\":320,\"imageHeight\":240"},
        {"bmp", "\"isImage\":true,\"imageWidth\":4,\"imageHeight\":3"},
        {"webp", "\"isImage\":true,\"imageWidth\":9,\"imageHeight\":7"},
        {"webpx", "\"isImage\":true,\"imageWidth\":400,\"imageHeight\":300"},
        {"script", "\"isImage\":false,\"imageWidth\":0,\"imageHeight\":0"},
        {"cut", "\"isImage\":false,\"imageWidth\":0,\"imageHeight\":0"},
        {"named", "\"isImage\":true,\"imageWidth\":7,\"imageHeight\":5"},
    };
    for (const auto& [field, facts] : expected) {
        const std::size_t at = run.out.find(std::string("{\"field\":\"") + field + "\"");
        ASSERT_NE(at, std::string::npos) << field;
        const std::size_t end = run.out.find('}', at);
        EXPECT_NE(run.out.substr(at, end - at).find(facts), std::string::npos) << run.out.substr(at, end - at);
    }
    EXPECT_EQ(temp.Count(), 0u);
}

TEST(Replay, SaveDirKeepsFilesAndReportsNameClashesPerFile)
{
    ScratchDir temp("temp2");
    ScratchDir keep("keep");
    const std::vector<std::string> args = {kExamples + "/sample-upload.http",
                                           "--temp-dir",
                                           temp.Path().string(),
                                           "--save-dir",
                                           keep.Path().string(),
                                           "--compact"};
    const TRun first = Replay(args);
    ASSERT_EQ(first.code, 0) << first.err;
    EXPECT_NE(first.out.find("\"savedAs\":\"" + (keep.Path() / "pixel.png").string() + "\""), std::string::npos)
        << first.out;
    std::ifstream png(keep.Path() / "pixel.png", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(png), {}), kPng);

    const TRun clash = Replay(args);
    EXPECT_EQ(clash.code, 0);
    EXPECT_NE(clash.out.find("\"savedAs\":null,\"saveError\":\"a file of that name exists"), std::string::npos)
        << clash.out;
    EXPECT_NE(clash.out.find("(--overwrite replaces it)\",\"reason\":\"MoveFileExW from "), std::string::npos)
        << clash.out;
    EXPECT_NE(clash.out.find("pixel.png\\\" failed with Win32 error 183\"}"), std::string::npos) << clash.out;
    EXPECT_EQ(temp.Count(), 0u);

    std::vector<std::string> overwrite = args;
    overwrite.push_back("--overwrite");
    const TRun replaced = Replay(overwrite);
    EXPECT_EQ(replaced.code, 0);
    EXPECT_EQ(replaced.out.find("saveError"), std::string::npos) << replaced.out;
    EXPECT_EQ(keep.Count(), 2u);
}

TEST(Replay, ListsEveryFieldOfARepeatedName)
{
    ScratchDir temp("temp-repeated");
    const TRun run =
        Replay({kRequests + "duplicate_field_names.http", "--temp-dir", temp.Path().string(), "--compact"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("\"form\":[{\"name\":\"pick\",\"value\":\"first\",\"contentType\":\"\",\"length\":5},"
                           "{\"name\":\"pick\",\"value\":\"second\",\"contentType\":\"\",\"length\":6}],"),
              std::string::npos)
        << run.out;
    std::vector<std::string> fields;
    for (std::size_t at = run.out.find("\"field\":\""); at != std::string::npos;
         at = run.out.find("\"field\":\"", at + 1))
        fields.push_back(run.out.substr(at + 9, run.out.find('"', at + 9) - at - 9));
    EXPECT_EQ(fields, (std::vector<std::string>{"pick", "up", "up"}));
    for (const char* body : {"as a file", "one", "two"})
        EXPECT_NE(run.out.find(kestrune::Sha256::Of(body)), std::string::npos) << body;
    EXPECT_EQ(temp.Count(), 0u);
}

TEST(Replay, LimitsRejectTheRequestAndTheStatusSaysWhy)
{
    ScratchDir temp("temp-limits");
    const TRun run = Replay({kExamples + "/sample-upload.http", "--temp-dir", temp.Path().string(), "--compact",
                             "--max-files", "1", "--max-parts", "100"});
    EXPECT_EQ(run.code, 1);
    const std::string reason = "Save: the request is rejected: it holds more than MaxFiles (1) files; the next is "
                               "\\\"notes.txt\\\" of the field \\\"notes\\\"";
    EXPECT_EQ(run.out.rfind("{\"save\":{\"hresult\":\"0x80040203\",\"ok\":false,\"reason\":\"" + reason + "\"},", 0),
              0u)
        << run.out;
    EXPECT_NE(run.out.find("\"status\":{\"code\":5,\"text\":\"Upload rejected\",\"reason\":\"" + reason + "\"},"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"form\":[],\"files\":[]"), std::string::npos);
    EXPECT_EQ(temp.Count(), 0u);

    const TRun under = Replay({kExamples + "/sample-upload.http", "--temp-dir", temp.Path().string(), "--compact",
                               "--max-files", "2", "--require-complete-body"});
    EXPECT_EQ(under.code, 0) << under.out;
    EXPECT_EQ(Replay({kExamples + "/sample-upload.http", "--max-files", "-1"}).code, 2);
}

TEST(Replay, AFailedSaveExitsWithOneAndReportsTheResult)
{
    ScratchDir temp("temp3");
    const TRun run = Replay({kRequests + "urlencoded_form.http", "--temp-dir", temp.Path().string(), "--compact"});
    EXPECT_EQ(run.code, 1);
    // The reason is what the component told the debugger's output.
    EXPECT_EQ(run.out.rfind("{\"save\":{\"hresult\":\"0x80004005\",\"ok\":false,\"reason\":\"Save: the request is not "
                            "multipart/form-data (Content-Type \\\"application/x-www-form-urlencoded\\\")\"},",
                            0),
              0u)
        << run.out;
    EXPECT_NE(run.out.find("\"form\":[],\"files\":[]"), std::string::npos);

    const TRun missing =
        Replay({kExamples + "/sample-upload.http", "--temp-dir", (temp.Path() / "missing").string(), "--compact"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.out.find("\"reason\":\"temporary file: CreateFileW of "), std::string::npos) << missing.out;
    EXPECT_NE(missing.out.find(" failed with Win32 error 3\"}"), std::string::npos) << missing.out;
    EXPECT_EQ(temp.Count(), 0u);
}

TEST(Replay, SettingsReachTheUploadObject)
{
    ScratchDir temp("temp4");
    const TRun bad = Replay({kExamples + "/sample-upload.http", "--char-refs", "maybe"});
    EXPECT_EQ(bad.code, 2);
    const TRun generated = Replay({kExamples + "/sample-upload.http", "--temp-dir", temp.Path().string(), "--compact",
                                   "--char-refs", "no", "--code-page", "65001"});
    EXPECT_EQ(generated.code, 0) << generated.err;
    // Without --id, Save generates one: a braced GUID of 38 characters.
    const std::size_t at = generated.out.find("\"id\":\"{");
    ASSERT_NE(at, std::string::npos) << generated.out;
    EXPECT_EQ(generated.out.substr(at + 6 + 37, 2), "}\"") << generated.out;
}

// Points standard error (the file descriptor) at a file for the life of the scope.
class StderrToFile {
public:
    explicit StderrToFile(const std::filesystem::path& file) : path_(file)
    {
        std::fflush(stderr);
        saved_ = ::dup(2);
        std::FILE* f = std::fopen(file.c_str(), "w");
        ::dup2(::fileno(f), 2);
        std::fclose(f);
    }
    ~StderrToFile() { Restore(); }
    std::string Text()
    {
        Restore();
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    void Restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
    }
    std::filesystem::path path_;
    int saved_ = -1;
};

TEST(Replay, TheProgressBarFollowsTheUploadByItsIdToTheEnd)
{
    ScratchDir temp("temp5");
    std::filesystem::create_directories(temp.Path() / "files");
    TRun run;
    std::string bar;
    {
        StderrToFile capture(temp.Path() / "stderr.txt");
        run = Replay({kExamples + "/sample-upload.http", "--temp-dir", (temp.Path() / "files").string(), "--compact",
                      "--progress", "--id", "bar-test"});
        bar = capture.Text();
    }
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("\"id\":\"bar-test\""), std::string::npos);
    ASSERT_FALSE(bar.empty());
    EXPECT_EQ(bar.back(), '\n');
    const std::string last = bar.substr(bar.rfind('\r') + 1);
    EXPECT_NE(last.find("100.0%"), std::string::npos) << last;
    EXPECT_NE(last.find("2 files - Upload successfully completed"), std::string::npos) << last;

    // Not a terminal and not asked for: no bar.
    StderrToFile quiet(temp.Path() / "quiet.txt");
    run = Replay({kExamples + "/sample-upload.http", "--temp-dir", (temp.Path() / "files").string(), "--compact"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(quiet.Text(), "");
}

TEST(Replay, UsageErrorsAndUnreadableFilesExitWithTwoAndOneLine)
{
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"--no-such-option", "x.http"},
                                               {"a.http", "b.http"},
                                               {"/no/such/request.http"},
                                               {KESTRUNE_TEST_DATA_DIR "/requests/chunked_transfer_encoding.http"},
                                               {"--code-page", "many", "a.http"},
                                               {"--progress", "--no-progress", "a.http"}}) {
        const TRun run = Replay(args);
        EXPECT_EQ(run.code, 2) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(run.out, "");
        ASSERT_FALSE(run.err.empty());
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    }
    const TRun help = Replay({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--save-dir"), std::string::npos);
}

} // namespace
