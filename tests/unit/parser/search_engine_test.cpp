#include "parser/search_engine.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "parser/receivers.h"
#include "tests/unit/parser/chunked_source.h"
#include "tests/unit/parser/reference_search.h"

namespace {

using parser::CDataSourceBase;
using parser::CSearchEngine;
using parser_test::CChunkedSource;
using parser_test::CReferenceSearch;

// Collects bytes and remembers how many Receive calls it got.
class CRecorder : public CSearchEngine::CReceiver {
public:
    void Receive(const char* data, std::int32_t count) override
    {
        ++calls;
        text.append(data, static_cast<std::size_t>(count));
    }
    std::string text;
    int calls = 0;
};

// Appends to a string owned by the caller, so that bytes handed over before an exception count.
class CAppender : public CSearchEngine::CReceiver {
public:
    explicit CAppender(std::string& out) : out_(out) {}
    void Receive(const char* data, std::int32_t count) override { out_.append(data, static_cast<std::size_t>(count)); }

private:
    std::string& out_;
};

class CThrowingReceiver : public CSearchEngine::CReceiver {
public:
    void Receive(const char*, std::int32_t) override { throw std::runtime_error("disk full"); }
};

std::size_t Absolute(const CChunkedSource& s)
{
    return s.BufferOffset() + s.position;
}

TEST(SearchEngine, MatchKeepsAPartialMatchAcrossTheChunkEdge)
{
    CChunkedSource source("ab-"
                          "-cd",
                          {3});
    CSearchEngine engine(source);
    source.position = 2;
    EXPECT_TRUE(engine.Match("--", 2));
    EXPECT_EQ(source.position, 1u);
    EXPECT_EQ(source.buffer[0], '-');
    ASSERT_EQ(source.reads.size(), 2u);
    EXPECT_EQ(source.reads[1], (CChunkedSource::TRead{1, true, 3}));
}

TEST(SearchEngine, FailedMatchReturnsToTheStartingByte)
{
    CChunkedSource source("\rX");
    CSearchEngine engine(source);
    EXPECT_FALSE(engine.Match("\r\n", 2));
    EXPECT_EQ(source.position, 0u);

    // The body ends inside the literal: the kept bytes stay readable.
    CChunkedSource cut("xx\r", {2});
    CSearchEngine cutEngine(cut);
    cutEngine.ReadByte();
    cutEngine.ReadByte();
    EXPECT_FALSE(cutEngine.Match("\r\n", 2));
    EXPECT_EQ(cut.position, 0u);
    EXPECT_TRUE(cutEngine.Peek('\r'));
    EXPECT_THROW(cutEngine.ReadByte(), CDataSourceBase::ENoMoreData);
}

TEST(SearchEngine, SkipPastFindsTheFirstOccurrenceAfterFalseStarts)
{
    for (const std::string body : {"aaab", "abaab"}) {
        CChunkedSource source(body + "zz");
        CSearchEngine engine(source);
        engine.SkipPast("aab", 3);
        EXPECT_EQ(source.position, body.size() - 1) << body;
    }
}

TEST(SearchEngine, ReadUntilAtTheLiteralHandsOverNothing)
{
    CChunkedSource source("--Bx");
    CSearchEngine engine(source);
    CRecorder recorder;
    engine.ReadUntil(recorder, "--B", 3);
    EXPECT_EQ(recorder.calls, 1);
    EXPECT_EQ(recorder.text, "");
    EXPECT_EQ(source.position, 2u);
}

TEST(SearchEngine, ReadUntilRestartsAfterAFalseStartThatCrossedAChunk)
{
    // The first chunk ends right after the first A.
    CChunkedSource source("x\r\n--Ay\r\n--ABtail", {6});
    CSearchEngine engine(source);
    CRecorder recorder;
    engine.ReadUntil(recorder, "\r\n--AB", 6);
    EXPECT_EQ(recorder.text, "x\r\n--Ay");
    EXPECT_EQ(engine.ReadByte(), 'B');
    EXPECT_EQ(engine.ReadByte(), 't');
}

TEST(SearchEngine, ReadUntilHandsOverEverythingBeforeTheEndOfInput)
{
    CChunkedSource source("data\r\n--A", {3});
    CSearchEngine engine(source);
    CRecorder recorder;
    EXPECT_THROW(engine.ReadUntil(recorder, "\r\n--AB", 6), CDataSourceBase::ENoMoreData);
    EXPECT_EQ(recorder.text, "data\r\n--A");
}

TEST(SearchEngine, ReadWhileAndReadUntilByteStopOnTheirByte)
{
    CChunkedSource source("abc:def", {2});
    CSearchEngine engine(source);
    CSearchEngine::TCharTable letters{};
    for (char c = 'a'; c <= 'z'; ++c)
        letters[static_cast<unsigned char>(c)] = true;
    CRecorder first;
    engine.ReadWhile(first, letters);
    EXPECT_EQ(first.text, "abc");
    EXPECT_TRUE(engine.Peek(':'));
    CRecorder empty;
    engine.ReadWhile(empty, letters);
    EXPECT_EQ(empty.calls, 1);
    EXPECT_EQ(empty.text, "");
    engine.ReadByte();
    CRecorder rest;
    engine.ReadUntilByte(rest, 'f');
    EXPECT_EQ(rest.text, "de");
    EXPECT_THROW(engine.ReadByte(), CDataSourceBase::ENoMoreData); // 'f' was the last byte
}

TEST(SearchEngine, EveryOperationOnAnExhaustedSourceReportsTheEnd)
{
    CChunkedSource source("");
    CSearchEngine engine(source);
    parser::CFictReceiver drop;
    EXPECT_THROW(engine.Peek('a'), CDataSourceBase::ENoMoreData);
    EXPECT_THROW(engine.ReadByte(), CDataSourceBase::ENoMoreData);
    EXPECT_THROW(engine.Match("ab", 2), CDataSourceBase::ENoMoreData);
    EXPECT_THROW(engine.SkipPast("ab", 2), CDataSourceBase::ENoMoreData);
    EXPECT_THROW(engine.ReadUntil(drop, "ab", 2), CDataSourceBase::ENoMoreData);
    EXPECT_THROW(engine.ReadWhile(drop, CSearchEngine::TCharTable{}), CDataSourceBase::ENoMoreData);
    EXPECT_THROW(engine.ReadUntilByte(drop, 'a'), CDataSourceBase::ENoMoreData);
    EXPECT_NO_THROW(engine.Drain());
}

TEST(SearchEngine, BadArgumentsAndFailuresAreTranslated)
{
    CChunkedSource source("abc");
    CSearchEngine engine(source);
    parser::CFictReceiver drop;
    using Bad = CDataSourceBase::EInternalErrorRecoverable;
    EXPECT_THROW(engine.Match(nullptr, 2), Bad);
    EXPECT_THROW(engine.Match("a", 0), Bad);
    EXPECT_THROW(engine.SkipPast("a", 1), Bad);
    EXPECT_THROW(engine.ReadUntil(drop, "a", 1), Bad);
    // A literal that could not be kept whole while the next bytes are read.
    const std::string huge(CDataSourceBase::kBufferSize, 'x');
    EXPECT_THROW(engine.ReadUntil(drop, huge.data(), static_cast<std::int32_t>(huge.size())), Bad);

    CThrowingReceiver failing;
    EXPECT_THROW(engine.ReadUntil(failing, "zz", 2), CDataSourceBase::EInternalError);
    parser::CStrReceiver str;
    EXPECT_THROW(str.Receive(nullptr, 1), parser::CStrReceiver::EReceiverErrorRecoverable);
}

TEST(SearchEngine, CancellationPassesThroughUnchanged)
{
    const std::string body(20000, 'q');
    {
        CChunkedSource source(body, {}, 2);
        CSearchEngine engine(source);
        parser::CFictReceiver drop;
        EXPECT_THROW(engine.ReadUntil(drop, "\r\n", 2), CDataSourceBase::EUserCancelledUpload);
        EXPECT_EQ(source.reported, 16384);
    }
    {
        CChunkedSource source(body, {}, 2);
        CSearchEngine engine(source);
        EXPECT_THROW(engine.Drain(), CDataSourceBase::EUserCancelledUpload);
    }
}

// ---- Equality with the plain algorithms ------------------------------------------------------

struct TStep {
    std::string op;
    std::string out;
    std::size_t at = 0;
    std::uint32_t position = 0, end = 0;
    bool operator==(const TStep&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TStep& s)
{
    return os << s.op << " out=" << s.out.size() << " at=" << s.at << " pos=" << s.position << " end=" << s.end;
}

// Runs the same random sequence of operations through the engine or the reference. The choice
// of each operation depends only on the random stream, so both runs make the same calls as long
// as their results agree.
template <typename Searcher, typename Run>
std::vector<TStep> RunScript(CChunkedSource& source, std::uint32_t seed, const std::string& literal, Run run)
{
    Searcher searcher(source);
    std::mt19937 pick(seed);
    std::vector<TStep> steps;
    for (int k = 0; k < 200; ++k) {
        TStep step;
        const int choice = static_cast<int>(pick() % 4);
        try {
            step.op = run(searcher, choice, literal, step.out);
        } catch (const CDataSourceBase::ENoMoreData&) {
            step.op = "end";
        } catch (const CDataSourceBase::EUserCancelledUpload&) {
            step.op = "cancel";
        }
        step.at = Absolute(source);
        step.position = source.position;
        step.end = source.end;
        steps.push_back(step);
        if (step.op == "end" || step.op == "cancel")
            break;
    }
    return steps;
}

struct TEngineOps {
    std::string operator()(CSearchEngine& e, int choice, const std::string& lit, std::string& out) const
    {
        const auto n = static_cast<std::int32_t>(lit.size());
        switch (choice) {
        case 0: {
            CAppender appender(out);
            e.ReadUntil(appender, lit.data(), n);
            return "until";
        }
        case 1: e.SkipPast(lit.data(), n); return "skip";
        case 2: return e.Match(lit.data(), n) ? "match+" : "match-";
        default: out = std::string(1, e.ReadByte()); return "byte";
        }
    }
};

struct TReferenceOps {
    std::string operator()(CReferenceSearch& e, int choice, const std::string& lit, std::string& out) const
    {
        switch (choice) {
        case 0: e.ReadUntil(out, lit); return "until";
        case 1: e.SkipPast(lit); return "skip";
        case 2: return e.Match(lit) ? "match+" : "match-";
        default: out = std::string(1, e.ReadByte()); return "byte";
        }
    }
};

// Compares both runs over one body, literal and delivery plan, including every source read.
void ExpectSameAsReference(const std::string& body, const std::string& literal, const std::vector<std::uint32_t>& plan,
                           std::uint32_t seed, int cancelAt = 0)
{
    CChunkedSource fast(body, plan, cancelAt);
    CChunkedSource plain(body, plan, cancelAt);
    const auto got = RunScript<CSearchEngine>(fast, seed, literal, TEngineOps{});
    const auto want = RunScript<CReferenceSearch>(plain, seed, literal, TReferenceOps{});
    ASSERT_EQ(got, want) << "seed " << seed << " literal size " << literal.size();
    ASSERT_EQ(fast.reads, plain.reads) << "seed " << seed;
    ASSERT_EQ(fast.reported, plain.reported);
}

std::string RandomText(std::mt19937& rng, std::size_t length, const std::string& alphabet)
{
    std::string text(length, ' ');
    for (char& c : text)
        c = alphabet[rng() % alphabet.size()];
    return text;
}

std::vector<std::uint32_t> RandomPlan(std::mt19937& rng)
{
    switch (rng() % 4) {
    case 0: return {};  // whole buffers
    case 1: return {1}; // one byte at a time
    default: {
        std::vector<std::uint32_t> plan(1 + rng() % 7);
        for (auto& p : plan)
            p = 1 + rng() % (rng() % 2 ? 9 : 3000);
        return plan;
    }
    }
}

TEST(SearchEngineEquality, RandomBodiesLiteralsAndSplits)
{
    std::mt19937 rng(20261208);
    for (int iteration = 0; iteration < 1500; ++iteration) {
        const std::string alphabet = iteration % 2 ? "ab" : "ab\r\n-";
        const std::size_t literalLength = 2 + rng() % 6;
        const std::string literal = RandomText(rng, literalLength, alphabet);
        const std::size_t bodyLength = rng() % (iteration % 10 == 0 ? 30000 : 400);
        const std::string body = RandomText(rng, bodyLength, alphabet);
        ExpectSameAsReference(body, literal, RandomPlan(rng), static_cast<std::uint32_t>(iteration));
        if (HasFatalFailure())
            return;
    }
}

TEST(SearchEngineEquality, AdversarialBodies)
{
    const std::string delimiter = "\r\n--" + std::string(70, 'b');
    const std::string nearMiss = delimiter.substr(0, delimiter.size() - 1);
    std::string nearMisses;
    while (nearMisses.size() < 40000)
        nearMisses += nearMiss;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {std::string(20000, 'a') + "b", "aaaaaaab"}, {std::string(20000, 'a'), "aaaab"},
        {nearMisses + delimiter + "x", delimiter},   {nearMisses, delimiter},
        {std::string(16383, 'a') + "ab", "ab"},      {"abababababababac" + std::string(9000, 'b') + "ababac", "ababac"},
    };
    std::uint32_t seed = 0;
    for (const auto& [body, literal] : cases) {
        for (const auto& plan : std::vector<std::vector<std::uint32_t>>{{}, {1}, {7, 8191}, {8190}, {73, 2}}) {
            ExpectSameAsReference(body, literal, plan, ++seed);
            if (HasFatalFailure())
                return;
        }
    }
}

TEST(SearchEngineEquality, CancellationAtEveryRead)
{
    std::mt19937 rng(7);
    const std::string body = RandomText(rng, 5000, "ab\r\n-");
    for (int cancelAt = 2; cancelAt < 40; ++cancelAt) {
        ExpectSameAsReference(body, "\r\n-a", {97, 300}, static_cast<std::uint32_t>(cancelAt), cancelAt);
        if (HasFatalFailure())
            return;
    }
}

} // namespace
