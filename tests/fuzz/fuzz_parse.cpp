// Feeds arbitrary bodies and boundaries through the parser in random chunk sizes and checks what
// comes out: nothing crashes, fields arrive in body order with the content a plain split of a
// well-formed body gives, and no temporary file outlives the parse.
//
// Input: byte 0 chooses the chunk plan's seed, byte 1 a read to cancel at (0 = none, only when
// its top bit is set), byte 2 the boundary length; then the boundary, then the body.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/unit/parser/parse_harness.h"

namespace {

using namespace parser_test;

// Contents of the parts of a well-formed body, in order, or false when the plain split cannot
// predict the parser (quotes, which may run over line ends, or a delimiter inside a header block).
bool ReferenceContents(const std::string& body, const std::string& boundary, std::vector<std::string>& contents)
{
    if (body.find('"') != std::string::npos)
        return false;
    if (boundary.find_first_of("\r\n\"") != std::string::npos)
        return false;
    const std::string delimiter = "\r\n--" + boundary;
    std::size_t e;
    if (body.compare(0, delimiter.size() - 2, delimiter, 2) == 0) {
        e = delimiter.size() - 2;
    } else {
        const std::size_t d = body.find(delimiter);
        if (d == std::string::npos)
            return true;
        e = d + delimiter.size();
    }
    for (;;) {
        if (e >= body.size())
            return true;
        if (body.compare(e, 2, "--") == 0)
            return true;
        const std::size_t lineEnd = body.find("\r\n", e);
        if (lineEnd == std::string::npos)
            return true;
        const std::size_t h = lineEnd + 2;
        std::size_t contentStart;
        if (body.compare(h, 2, "\r\n") == 0) {
            contentStart = h + 2;
        } else {
            const std::size_t blank = body.find("\r\n\r\n", h);
            if (blank == std::string::npos)
                return true;
            contentStart = blank + 4;
        }
        // A delimiter inside the header block, or one whose CR LF is the blank line's own, cannot
        // be predicted: it ends the part or starts its content depending on the headers.
        const std::size_t inHeaders = body.find(delimiter, lineEnd);
        if (inHeaders != std::string::npos && inHeaders <= contentStart - 2)
            return false;
        const std::size_t next = body.find(delimiter, contentStart);
        if (next == std::string::npos)
            return true;
        e = next + delimiter.size();
        if (e >= body.size())
            return true; // the step past the delimiter meets the end
        contents.push_back(body.substr(contentStart, next - contentStart));
    }
}

void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    std::mt19937 rng(data[0]);
    const int cancelAt = (data[1] & 0x80) ? (data[1] & 0x7F) + 2 : 0;
    const std::size_t boundaryLength = std::min<std::size_t>(data[2] % 80, size - 3);
    const std::string boundary(reinterpret_cast<const char*>(data) + 3, boundaryLength);
    const std::string body(reinterpret_cast<const char*>(data) + 3 + boundaryLength, size - 3 - boundaryLength);

    TParseSetup setup;
    setup.boundary = boundary;
    setup.cancelAtRead = cancelAt;
    const int plans = static_cast<int>(rng() % 4);
    for (int i = 0; i < plans; ++i)
        setup.plan.push_back(1 + rng() % (rng() % 2 ? 16 : 9000));
    const TParseResult result = Parse(body, setup);

    if (result.filesLeft != 0)
        Fail("temporary file left behind");
    if (result.outcome == EOutcome::Ok && !result.sourceExhausted)
        Fail("body not read to its end");

    std::vector<std::string> reference;
    const bool usableBoundary =
        !boundary.empty() && boundary.find('\0') == std::string::npos &&
        std::all_of(boundary.begin(), boundary.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!usableBoundary) {
        if (result.outcome != EOutcome::Failed)
            Fail("unusable boundary accepted");
        return 0;
    }
    if (cancelAt == 0 && result.outcome != EOutcome::Ok)
        Fail("well-behaved source, yet the parse failed");
    if (!ReferenceContents(body, boundary, reference))
        return 0;
    // Every field delivered is one of the parts, in body order (dropped parts are skipped).
    std::size_t next = 0;
    for (const TField& field : result.fields) {
        while (next < reference.size() && reference[next] != field.data)
            ++next;
        if (next == reference.size())
            Fail("field content differs from the body's parts or is out of order");
        ++next;
    }
    if (result.outcome == EOutcome::Ok && result.fields.size() > reference.size())
        Fail("too many fields");
    return 0;
}
