// THostileRecipe: one entry of the hostile-request catalogue (tests/data/hostile/*.recipe): how to
// build a request body, what Content-Type and Content-Length go with it, and the outcome a page
// must see. Big bodies are described, not stored: a body is a list of segments expanded as they
// are read, so a 100 MiB request never sits in memory.
//
//   THostileRecipe r = THostileRecipe::Load("tests/data/hostile/text_field_100mib.recipe");
//   auto body = r.OpenBody();                           // a host::CBodySource streaming the body
//   page = host::CreatePage(host::MakeRequestHead("POST", r.Headers(), 0), std::move(body));
//   ... r.expected == TOutcome{...}.ToString() ...
//
// Recipe syntax, one directive per line ('#' starts a comment line):
//   content-type: multipart/form-data; boundary=XYZ
//   content-type-boundary-length: N       (instead: multipart/form-data with a boundary of N "b")
//   declared-length: 2000000000          (optional; default: the body's real length)
//   limits: MaxParts=0 MaxFieldBytes=0    (optional: limits the page sets before Save, by their
//                                          property names; the others keep their defaults)
//   expect: save=0 form=1 files=0 text-chars=5 file-bytes=0 left=0
//   big: yes                              (optional; left out where a run must stay short)
//   body:                                 (every further line is one segment)
//   "literal with \r \n \t \" \\ \xHH escapes"
//   repeat N "literal"                    (the literal N times)
//   collide N "before" "after"            (N times: before, a field name, after; all N names
//                                          have the same hash in the collections' name index)
// Load throws std::runtime_error naming the file and line of a mistake.
#pragma once

#include "host/body_source.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace hostile {

/// What a page sees after Save and after releasing everything, as one comparable line.
struct TOutcome {
    long save = 0;           // HRESULT of Save (0 for S_OK)
    long form = 0;           // Form.Count
    long files = 0;          // Files.Count
    long long textChars = 0; // sum of Len(Value) over Form
    long long fileBytes = 0; // sum of ContentLength over Files
    long left = 0;           // files left in the temporary directory after release
    long long bytesRead = 0; // body bytes that BinaryRead handed out (not part of ToString)

    /// "save=0 form=1 files=0 text-chars=5 file-bytes=0 left=0" (save in upper-case hex as a
    /// script's Hex(Err.Number) prints it).
    std::string ToString() const;
};

class THostileRecipe {
public:
    struct TSegment {
        enum class Kind { Literal, Collide };
        Kind kind = Kind::Literal;
        std::string text;  // the literal, or the text before each name
        std::string after; // the text after each name (Collide)
        std::uint64_t times = 1;
    };

    static THostileRecipe Load(const std::filesystem::path& file);

    std::string name; // the file's stem
    std::string contentType;
    long long declaredLength = -1;                    // -1: the body's real length
    std::vector<std::pair<std::string, long>> limits; // (property of IUpload2, value)
    std::string expected;                             // the expect line, as TOutcome::ToString writes it
    bool big = false;
    std::vector<TSegment> segments;

    /// The real length of the body in bytes.
    std::uint64_t BodyLength() const;
    /// The Content-Length to send.
    std::uint64_t ContentLength() const { return declaredLength >= 0 ? std::uint64_t(declaredLength) : BodyLength(); }
    /// A source that produces the body as it is read.
    std::unique_ptr<host::CBodySource> OpenBody() const;
    /// The limits as a query string ("MaxParts=0&MaxFieldBytes=0"), empty when there are none.
    std::string LimitsQuery() const;
};

/// The n-th (0-based) of a family of 2^17 field names, UTF-8 encoded, that all have the same
/// hash in the name index. Names are 51 characters long, each of three UTF-8 bytes.
std::string CollidingName(std::uint64_t n);

} // namespace hostile
