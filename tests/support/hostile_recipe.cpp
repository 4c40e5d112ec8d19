#include "tests/support/hostile_recipe.h"

#include "tests/support/data_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <unordered_map>

namespace hostile {

namespace {

// ---- colliding names ----
//
// The name index hashes with FNV-1 over 16-bit units: h = h * p, then h ^= unit. From one state,
// 64 x 1024 two-unit beginnings give products whose high 16 bits often agree (birthday bound);
// for such a pair a third unit each can make the low 16 bits agree as well. The two three-unit
// blocks then lead to one state whichever is taken, so 17 blocks in a row give 2^17 names of one
// hash. Every unit is a BMP character of three UTF-8 bytes (no surrogate, no quote, no control).

constexpr std::uint32_t kPrime = 16777619u;
constexpr std::uint32_t kOffset = 0x811C9DC5u;
constexpr std::uint32_t kFirst = 0x4E00, kLast = 0x9FFF; // CJK ideographs
constexpr int kBlocks = 17;
constexpr int kUnits = 3;

struct TBlockPair {
    std::uint16_t a[kUnits];
    std::uint16_t b[kUnits];
};

bool ThreeByteCharacter(std::uint32_t unit)
{
    return (unit >= 0x0800 && unit <= 0xD7FF) || (unit >= 0xE000 && unit <= 0xFFFD);
}

std::uint32_t Step(std::uint32_t h, std::uint32_t unit)
{
    return (h * kPrime) ^ unit;
}

// A pair of blocks from state h, and the state both lead to.
TBlockPair FindPair(std::uint32_t h, std::uint32_t& next)
{
    struct TSeen {
        std::uint16_t u1, u2;
        std::uint32_t y;
    };
    std::unordered_map<std::uint16_t, TSeen> firstByHigh; // high 16 bits of the product -> beginning
    for (std::uint32_t u1 = kFirst; u1 < kFirst + 64; ++u1) {
        for (std::uint32_t u2 = kFirst; u2 < kFirst + 1024; ++u2) {
            const std::uint32_t y = Step(Step(h, u1), u2) * kPrime;
            const auto high = static_cast<std::uint16_t>(y >> 16);
            const auto seen = firstByHigh.find(high);
            if (seen == firstByHigh.end()) {
                firstByHigh.emplace(high, TSeen{static_cast<std::uint16_t>(u1), static_cast<std::uint16_t>(u2), y});
                continue;
            }
            const std::uint32_t difference = (seen->second.y ^ y) & 0xFFFF;
            for (std::uint32_t u3 = kFirst; u3 <= kLast; ++u3) {
                if (!ThreeByteCharacter(u3 ^ difference))
                    continue;
                next = seen->second.y ^ u3;
                return {{seen->second.u1, seen->second.u2, static_cast<std::uint16_t>(u3)},
                        {static_cast<std::uint16_t>(u1), static_cast<std::uint16_t>(u2),
                         static_cast<std::uint16_t>(u3 ^ difference)}};
            }
        }
    }
    throw std::logic_error("no colliding block pair");
}

const std::array<TBlockPair, kBlocks>& BlockPairs()
{
    static const std::array<TBlockPair, kBlocks> pairs = [] {
        std::array<TBlockPair, kBlocks> out{};
        std::uint32_t h = kOffset;
        for (auto& pair : out)
            pair = FindPair(h, h);
        return out;
    }();
    return pairs;
}

void AppendUtf8(std::uint16_t unit, std::string& out)
{
    out += static_cast<char>(0xE0 | (unit >> 12));
    out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (unit & 0x3F));
}

constexpr std::size_t kNameBytes = kBlocks * kUnits * 3;

// ---- the recipe's syntax ----

std::uint64_t ReadCount(const std::string& text, std::size_t& at)
{
    while (at < text.size() && text[at] == ' ')
        ++at;
    std::size_t used = 0;
    const std::uint64_t n = std::stoull(text.substr(at), &used);
    at += used;
    return n;
}

std::string Trimmed(std::string s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r'))
        s.pop_back();
    std::size_t start = s.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : s.substr(start);
}

// ---- the body ----

class CRecipeBody final : public host::CBodySource {
public:
    explicit CRecipeBody(const THostileRecipe& recipe) : segments_(recipe.segments), left_(recipe.BodyLength()) {}

    HRESULT Read(BYTE* buffer, ULONG wanted, ULONG* delivered) override
    {
        ULONG done = 0;
        while (done < wanted && left_ > 0) {
            if (offset_ == piece_.size() && !NextPiece())
                break;
            const std::size_t n = std::min<std::size_t>(wanted - done, piece_.size() - offset_);
            std::memcpy(buffer + done, piece_.data() + offset_, n);
            offset_ += n;
            done += static_cast<ULONG>(n);
            left_ -= n;
        }
        *delivered = done;
        return S_OK;
    }

    ULONGLONG Available() const noexcept override { return left_; }

private:
    // Moves to the next repetition (or segment); false at the end of the body.
    bool NextPiece()
    {
        while (segment_ < segments_.size()) {
            const auto& s = segments_[segment_];
            if (repetition_ < s.times) {
                const std::uint64_t n = repetition_++;
                if (s.kind == THostileRecipe::TSegment::Kind::Literal) {
                    if (n == 0)
                        piece_ = s.text; // the same bytes for every repetition
                } else {
                    piece_ = s.text + CollidingName(n) + s.after;
                }
                offset_ = 0;
                if (!piece_.empty())
                    return true;
                continue;
            }
            ++segment_;
            repetition_ = 0;
        }
        return false;
    }

    const std::vector<THostileRecipe::TSegment> segments_;
    std::uint64_t left_;
    std::size_t segment_ = 0;
    std::uint64_t repetition_ = 0;
    std::string piece_;
    std::size_t offset_ = 0;
};

} // namespace

std::string CollidingName(std::uint64_t n)
{
    std::string name;
    name.reserve(kNameBytes);
    const auto& pairs = BlockPairs();
    for (int j = 0; j < kBlocks; ++j) {
        const std::uint16_t* block = ((n >> j) & 1) ? pairs[j].b : pairs[j].a;
        for (int k = 0; k < kUnits; ++k)
            AppendUtf8(block[k], name);
    }
    return name;
}

std::string TOutcome::ToString() const
{
    char text[200];
    std::snprintf(text, sizeof text, "save=%lX form=%ld files=%ld text-chars=%lld file-bytes=%lld left=%ld",
                  static_cast<unsigned long>(save) & 0xFFFFFFFFul, form, files, textChars, fileBytes, left);
    return text;
}

namespace {

// "MaxParts=0 MaxFieldBytes=0": each a limit of IUpload2 and its value.
std::vector<std::pair<std::string, long>> ReadLimits(const std::filesystem::path& file, int number,
                                                     const std::string& text)
{
    static const std::string known[] = {"MaxTotalBytes", "MaxFileBytes",  "MaxFiles",
                                        "MaxFields",     "MaxFieldBytes", "MaxParts"};
    std::vector<std::pair<std::string, long>> limits;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        const std::size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        if (equals == std::string::npos || std::find(std::begin(known), std::end(known), name) == std::end(known))
            testing_support::DataFileMistake(file, number,
                                             "expected limits as Name=Value with a limit of IUpload2, got " + word);
        limits.emplace_back(name, std::stol(word.substr(equals + 1)));
    }
    return limits;
}

} // namespace

std::string THostileRecipe::LimitsQuery() const
{
    std::string query;
    for (const auto& [name, value] : limits)
        query += (query.empty() ? "" : "&") + name + "=" + std::to_string(value);
    return query;
}

THostileRecipe THostileRecipe::Load(const std::filesystem::path& file)
{
    THostileRecipe r;
    r.name = file.stem().string();
    bool inBody = false;
    testing_support::ForEachDataLine(file, [&](int number, const std::string& line) {
        if (!inBody) {
            const std::size_t colon = line.find(':');
            if (colon == std::string::npos)
                testing_support::DataFileMistake(file, number, "expected 'key: value'");
            const std::string key = line.substr(0, colon);
            const std::string value = Trimmed(line.substr(colon + 1));
            if (key == "content-type")
                r.contentType = value;
            else if (key == "content-type-boundary-length")
                r.contentType = "multipart/form-data; boundary=" + std::string(std::stoul(value), 'b');
            else if (key == "declared-length")
                r.declaredLength = std::stoll(value);
            else if (key == "expect")
                r.expected = value;
            else if (key == "big")
                r.big = value == "yes";
            else if (key == "limits")
                r.limits = ReadLimits(file, number, value);
            else if (key == "body")
                inBody = true;
            else
                testing_support::DataFileMistake(file, number, "unknown key " + key);
            return;
        }
        TSegment s;
        std::size_t at = 0;
        if (line.rfind("repeat ", 0) == 0 || line.rfind("collide ", 0) == 0) {
            const bool collide = line[0] == 'c';
            at = line.find(' ');
            s.times = ReadCount(line, at);
            at = testing_support::ReadQuotedLiteral(line, at, s.text);
            if (collide && at != std::string::npos) {
                s.kind = TSegment::Kind::Collide;
                at = testing_support::ReadQuotedLiteral(line, at, s.after);
            }
        } else {
            at = testing_support::ReadQuotedLiteral(line, 0, s.text);
        }
        if (at == std::string::npos || !Trimmed(line.substr(at)).empty())
            testing_support::DataFileMistake(file, number, "bad segment");
        r.segments.push_back(std::move(s));
    });
    if (!inBody || r.contentType.empty() || r.expected.empty())
        testing_support::DataFileMistake(file, 0, "needs content-type, expect and body");
    return r;
}

std::uint64_t THostileRecipe::BodyLength() const
{
    std::uint64_t total = 0;
    for (const auto& s : segments) {
        const std::uint64_t one =
            s.kind == TSegment::Kind::Collide ? s.text.size() + kNameBytes + s.after.size() : s.text.size();
        total += one * s.times;
    }
    return total;
}

std::unique_ptr<host::CBodySource> THostileRecipe::OpenBody() const
{
    return std::make_unique<CRecipeBody>(*this);
}

} // namespace hostile
