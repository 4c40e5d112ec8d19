#include "parser/post_query_parser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "parser/parse_post_query.h"
#include "tests/unit/parser/parse_case.h"
#include "tests/unit/parser/parse_harness.h"
#include "tests/unit/test_temp_dir.h"

namespace {

using namespace parser_test;

// Parses `body` under every split and expects the same fields each time, with nothing left
// behind and the body read to its end.
void ExpectFields(const std::string& body, const std::vector<TField>& expected, TParseSetup setup = {})
{
    for (const auto& plan : EverySplit()) {
        setup.plan = plan;
        const TParseResult result = Parse(body, setup);
        ASSERT_EQ(result.outcome, EOutcome::Ok) << "plan " << testing::PrintToString(plan);
        ASSERT_EQ(result.fields, expected) << "plan " << testing::PrintToString(plan);
        ASSERT_EQ(result.filesLeft, 0u);
        ASSERT_TRUE(result.sourceExhausted);
    }
}

std::string Part(const std::string& name, const std::string& content, const std::string& fileName = "")
{
    std::string part = "--XyZzy42\r\nContent-Disposition: form-data; name=\"" + name + "\"";
    if (!fileName.empty())
        part += "; filename=\"" + fileName + "\"";
    return part + "\r\n\r\n" + content + "\r\n";
}

const std::string kClose = "--XyZzy42--\r\n";

const std::filesystem::path kCases = KESTRUNE_TEST_DATA_DIR "/parser";

// Every case of tests/data/parser, under every split: the fields written beside its body, nothing
// left behind, and the client path of each file part told to the statistics once per parse.
TEST(ParseBodies, EveryCaseDeliversTheFieldsWrittenBesideItsBody)
{
    const auto files = ParseCaseFiles(kCases);
    ASSERT_GE(files.size(), 10u);
    for (const auto& file : files) {
        const TParseCase c = TParseCase::Load(file);
        SCOPED_TRACE(c.name);
        CRecordingUpdater updater;
        TParseSetup setup;
        setup.boundary = c.boundary;
        setup.updater = &updater;
        ExpectFields(c.body, c.fields, setup);
        std::vector<std::string> announced;
        for (std::size_t parse = 0; parse < EverySplit().size(); ++parse) {
            for (const TField& field : c.fields) {
                if (field.isFile)
                    announced.push_back(field.fileName);
            }
        }
        EXPECT_EQ(updater.fileNames, announced);
    }
}

TEST(ParseBodies, BodiesWithoutADelimiterHoldNoField)
{
    ExpectFields("", {});
    ExpectFields("no delimiter anywhere", {});
}

TEST(ParseCase, ReadsFieldsAndBodyAndNamesTheLineOfAMistake)
{
    testing_support::TestTempDir dir;
    const auto path = dir.Path() / "sample.case";
    std::ofstream(path) << "# comment\nboundary: b\ntext: \"n\" \"v\\0\" type \"t/x\"\nfile: \"f\" \"a.txt\" \"\"\n"
                           "body:\n\"--b\\r\\n\"\n# between body lines\n\"\\xFF\"\n";
    const TParseCase c = TParseCase::Load(path);
    EXPECT_EQ(c.boundary, "b");
    EXPECT_EQ(c.fields, (std::vector<TField>{Text("n", std::string("v\0", 2), "t/x"), File("f", "a.txt", "")}));
    EXPECT_EQ(c.body, "--b\r\n\xFF");

    std::ofstream(path) << "boundary: b\ntext: \"n\" \"v\" tipe \"t\"\nbody:\n";
    try {
        TParseCase::Load(path);
        ADD_FAILURE() << "a mistake was read as a case";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("sample.case:2: "), std::string::npos) << e.what();
    }
    std::ofstream(path) << "boundary: b\n";
    EXPECT_THROW(TParseCase::Load(path), std::runtime_error) << "a case without a body";
}

TEST(ParseBodies, NamesAndValuesAreConverted)
{
    const std::string body = Part("caf&#233;", "caf\xC3\xA9") + Part("f", "", "\xC3\xA9t\xC3\xA9.txt") + kClose;
    const TParseResult result = Parse(body);
    ASSERT_EQ(result.fields.size(), 2u);
    const WideString expectedName = {u'c', u'a', u'f', 0xE9};
    CCollectingReceiver receiver;
    TParseSetup setup;
    setup.receiver = &receiver;
    Parse(body, setup);
    EXPECT_EQ(receiver.fields[0].wideValue, expectedName); // the value is UTF-8 "café"
    EXPECT_EQ(result.fields[0].name, "caf?");
    EXPECT_EQ(result.fields[1].fileName, "?t?.txt");

    // With a code page that the platform does not know, the bytes are widened one by one.
    setup.codePage = 12345;
    CCollectingReceiver widened;
    setup.receiver = &widened;
    Parse(Part("a", "caf\xE9") + kClose, setup);
    ASSERT_EQ(widened.fields.size(), 1u);
    EXPECT_EQ(widened.fields[0].wideValue, expectedName);
}

TEST(ParseBodies, InvalidCharacterReferenceModeDropsNamedParts)
{
    TParseSetup setup;
    setup.charRefsMode = 3;
    ExpectFields(Part("a", "1") + kClose, {}, setup);
}

// ---- The delimiter at every position relative to the chunk edges ------------------------------

TEST(ChunkEdges, DelimiterAtEveryPositionAroundTheBufferEdge)
{
    std::mt19937 rng(42);
    std::string noise(30000, ' ');
    const std::string pieces[] = {"\r", "\n", "-", "--XyZzy4", "\r\n--XyZzy4", "X", "\r\n--"};
    for (std::size_t i = 0; i < noise.size();) {
        const std::string& piece = pieces[rng() % std::size(pieces)];
        noise.replace(i, std::min(piece.size(), noise.size() - i), piece.substr(0, noise.size() - i));
        i += piece.size() + rng() % 40;
    }
    const std::string head = "--XyZzy42\r\nContent-Disposition: form-data; name=\"f\"; filename=\"f.bin\"\r\n\r\n";
    const std::string tail = "\r\n--XyZzy42\r\nContent-Disposition: form-data; name=\"t\"\r\n\r\nafter\r\n" + kClose;
    const std::size_t delimiterLength = 11;
    for (const std::size_t edge : {std::size_t{8192}, std::size_t{16384}}) {
        for (std::size_t delimiterAt = edge - delimiterLength - 2; delimiterAt <= edge + 2; ++delimiterAt) {
            const std::string content = noise.substr(0, delimiterAt - head.size());
            for (const auto& plan : std::vector<std::vector<std::uint32_t>>{{}, {8191}, {4096}}) {
                TParseSetup setup;
                setup.plan = plan;
                const TParseResult result = Parse(head + content + tail, setup);
                ASSERT_EQ(result.fields, (std::vector<TField>{File("f", "f.bin", content), Text("t", "after")}))
                    << "delimiter at " << delimiterAt;
                ASSERT_EQ(result.filesLeft, 0u);
            }
        }
    }
}

// ---- Truncation, cancellation and failures -----------------------------------------------------

TEST(Truncation, EveryPrefixDeliversTheCompleteFieldsAndLeavesNoFile)
{
    const std::string parts[] = {Part("a", "one"), Part("f", "file\r\ncontent", "f.txt"), Part("b", "two")};
    const std::vector<TField> all = {Text("a", "one"), File("f", "f.txt", "file\r\ncontent"), Text("b", "two")};
    std::string body;
    std::vector<std::size_t> deliveredFrom; // shortest prefix that delivers field i
    for (const auto& part : parts) {
        body += part;
        // The field is handed over once the byte after its closing delimiter has been read.
        deliveredFrom.push_back(body.size() + 9 + 1);
    }
    body += kClose;
    for (std::size_t cut = 0; cut <= body.size(); ++cut) {
        std::vector<TField> expected;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (cut >= deliveredFrom[i])
                expected.push_back(all[i]);
        }
        for (const auto& plan : std::vector<std::vector<std::uint32_t>>{{}, {1}, {3}}) {
            TParseSetup setup;
            setup.plan = plan;
            const TParseResult result = Parse(body.substr(0, cut), setup);
            ASSERT_EQ(result.outcome, EOutcome::Ok) << "cut " << cut;
            ASSERT_EQ(result.fields, expected) << "cut " << cut;
            ASSERT_EQ(result.filesLeft, 0u) << "cut " << cut;
        }
    }
}

TEST(Cancellation, AtEveryChunkLeavesWithTheCancellationAndNoFile)
{
    const std::string big(30000, 'z');
    const std::string body = Part("a", "one") + Part("f", big, "big.bin") + Part("b", "two") + kClose + "epilogue " +
                             std::string(20000, 'e');
    for (const auto& plan : std::vector<std::vector<std::uint32_t>>{{}, {1000}}) {
        TParseSetup setup;
        setup.plan = plan;
        const TParseResult whole = Parse(body, setup);
        ASSERT_EQ(whole.fields.size(), 3u);
        for (int read = 2;; ++read) {
            setup.cancelAtRead = read;
            const TParseResult result = Parse(body, setup);
            if (result.outcome == EOutcome::Ok)
                break; // past the last read
            ASSERT_EQ(result.outcome, EOutcome::Cancelled) << "read " << read;
            ASSERT_LE(result.fields.size(), 3u);
            ASSERT_TRUE(std::equal(result.fields.begin(), result.fields.end(), whole.fields.begin()));
            ASSERT_EQ(result.filesLeft, 0u) << "read " << read;
        }
    }
}

TEST(Cancellation, WhileTheEpilogueIsDrained)
{
    const std::string body = Part("a", "one") + kClose + std::string(3 * 8192, 'e');
    TParseSetup setup;
    setup.cancelAtRead = 3;
    const TParseResult result = Parse(body, setup);
    EXPECT_EQ(result.outcome, EOutcome::Cancelled);
    EXPECT_EQ(result.fields, std::vector<TField>{Text("a", "one")});
}

TEST(Failures, BoundaryMustBeUsable)
{
    const std::string body = Part("a", "1") + kClose;
    for (const std::string& boundary :
         {std::string(), std::string("b\xE9"), std::string("a\0b", 3), std::string(8188, 'b')}) {
        TParseSetup setup;
        setup.boundary = boundary;
        EXPECT_EQ(Parse(body, setup).outcome, EOutcome::Failed) << boundary.size();
    }
    // The longest boundary whose delimiter still fits the buffer with room to read more.
    const std::string longest(8187, 'b');
    TParseSetup setup;
    setup.boundary = longest;
    const std::string longBody = "--" + longest + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n" +
                                 std::string(5000, 'v') + "\r\n--" + longest + "--";
    for (const auto& plan : std::vector<std::vector<std::uint32_t>>{{}, {1}, {8191}}) {
        setup.plan = plan;
        EXPECT_EQ(Parse(longBody, setup).fields, std::vector<TField>{Text("a", std::string(5000, 'v'))});
    }
}

TEST(Failures, FatalTroubleFailsTheParseAndLeavesNoFile)
{
    const std::string body = Part("a", "1") + Part("f", std::string(20000, 'x'), "f.txt") + Part("b", "2") + kClose;
    // Temporary directory missing.
    const WideString missing = ToWide(std::filesystem::temp_directory_path() / "kestrune-no-such-dir" / "sub");
    TParseSetup setup;
    setup.tempDir = &missing;
    TParseResult result = Parse(body, setup);
    EXPECT_EQ(result.outcome, EOutcome::Failed);
    EXPECT_EQ(result.fields, std::vector<TField>{Text("a", "1")});

    // The underlying read breaks in the middle of the file.
    setup = {};
    setup.failAtRead = 2;
    result = Parse(body, setup);
    EXPECT_EQ(result.outcome, EOutcome::Failed);
    EXPECT_EQ(result.filesLeft, 0u);

    // A receiver failure of a foreign type.
    CCollectingReceiver receiver;
    receiver.failOn = "f";
    receiver.failure = [] { throw std::runtime_error("collection full"); };
    setup = {};
    setup.receiver = &receiver;
    result = Parse(body, setup);
    EXPECT_EQ(result.outcome, EOutcome::Failed);
    EXPECT_EQ(result.filesLeft, 0u);
}

TEST(Failures, AFieldThatFailsWhileBeingHandedOverIsDropped)
{
    const std::string body = Part("a", "1") + Part("f", "data", "f.txt") + Part("b", "2") + kClose;
    for (const auto& failure :
         std::vector<std::function<void()>>{[] { throw parser::CFieldImpl::EFieldBaseErrorRecoverable(); },
                                            [] { throw parser::CFieldImpl::EFieldBaseError(); }}) {
        CCollectingReceiver receiver;
        receiver.failOn = "f";
        receiver.failure = failure;
        TParseSetup setup;
        setup.receiver = &receiver;
        const TParseResult result = Parse(body, setup);
        EXPECT_EQ(result.outcome, EOutcome::Ok);
        EXPECT_EQ(result.fields, (std::vector<TField>{Text("a", "1"), Text("b", "2")}));
        EXPECT_EQ(result.filesLeft, 0u);
    }
}

TEST(Failures, ParseRunsOnce)
{
    CChunkedSource source(Part("a", "1") + kClose);
    parser::CSearchEngine engine(source);
    CCollectingReceiver receiver;
    TParserOptions options;
    options.boundary = "XyZzy42";
    parser::CPostQueryParser parser(options, engine, receiver, nullptr);
    parser.Parse();
    EXPECT_EQ(receiver.fields.size(), 1u);
    EXPECT_THROW(parser.Parse(), parser::CPostQueryParser::EPostQueryParserErrorRecoverable);
}

} // namespace
