// Adding N fields to a collection must cost O(N log N) name comparisons even when a request
// chooses every name to land in the same bucket (the hash and its scramble are public). This
// benchmark builds such names directly and times Add, Item(n) and Item(name) against ordinary
// names, through the real collection and TextField objects; it also counts the comparisons of
// the name index alone.

#include "com/bstr.h"
#include "com/com_object.h"
#include "com/variant.h"
#include "results/name_hash.h"
#include "results/name_index.h"
#include "results/text_field.h"
#include "results/text_field_collection.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using Name = std::u16string;
constexpr std::uint32_t kMod = 0x7FFFFFFF;
constexpr std::uint32_t kLowBits = 0x7FFF; // a mask never exceeds this below 131072 entries

std::uint32_t PowMod(std::uint64_t base, std::uint64_t exp)
{
    std::uint64_t result = 1;
    base %= kMod;
    while (exp) {
        if (exp & 1)
            result = result * base % kMod;
        base = base * base % kMod;
        exp >>= 1;
    }
    return static_cast<std::uint32_t>(result);
}

// Names whose scrambled hash has its low 15 bits clear: bucket 0 under every mask the table
// reaches. The scramble is multiplication by 16807 modulo 2^31 - 1, so the hashes that give such
// values are known; the last UTF-16 unit of a name sets the low 16 bits of its FNV-1 hash, so for
// any prefix the units that complete it to one of those hashes are found by table lookup.
std::vector<Name> CollidingNames(std::size_t count)
{
    const std::uint64_t inverse = PowMod(16807, kMod - 2);
    std::unordered_multimap<std::uint32_t, std::uint32_t> byHighHalf; // high 16 bits -> hash
    for (std::uint64_t t = 0; t < kMod; t += kLowBits + 1) {
        const auto good = static_cast<std::uint32_t>(t * inverse % kMod);
        byHighHalf.emplace(good >> 16, good);
        byHighHalf.emplace(static_cast<std::uint32_t>(good - kMod) >> 16, static_cast<std::uint32_t>(good - kMod));
    }
    std::vector<Name> names;
    for (std::uint32_t prefix = 0; names.size() < count; ++prefix) {
        Name name = u"c";
        for (std::uint32_t v = prefix;; v /= 26) {
            name.push_back(static_cast<char16_t>(u'a' + v % 26));
            if (v < 26)
                break;
        }
        const std::uint32_t before = utils::FieldNameHash(std::u16string_view(name)) * 16777619u;
        auto [from, to] = byHighHalf.equal_range(before >> 16);
        for (auto it = from; it != to && names.size() < count; ++it) {
            const auto last = static_cast<char16_t>((it->second ^ before) & 0xFFFF);
            if (last == 0)
                continue;
            Name candidate = name + last;
            if ((utils::ScrambledFieldNameHash(std::u16string_view(candidate)) & kLowBits) == 0)
                names.push_back(std::move(candidate));
        }
    }
    return names;
}

std::vector<Name> OrdinaryNames(std::size_t count)
{
    std::vector<Name> names;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string s = "field" + std::to_string(i);
        names.emplace_back(s.begin(), s.end());
    }
    return names;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct CountingLess {
    std::uint64_t* calls;
    bool operator()(const Name& a, const Name& b) const
    {
        ++*calls;
        return a < b;
    }
};

void Run(const char* label, const std::vector<Name>& names)
{
    // The name index alone, counting comparisons.
    std::uint64_t comparisons = 0;
    utils::CNameIndex<Name, int, CountingLess> index{CountingLess{&comparisons}};
    for (const Name& n : names)
        index.Insert(n, utils::ScrambledFieldNameHash(std::u16string_view(n)), 0);
    std::uint32_t largest = 0;
    std::vector<std::uint32_t> perBucket(index.UsedBuckets());
    for (const Name& n : names)
        largest = std::max(largest, ++perBucket[index.BucketOf(utils::ScrambledFieldNameHash(std::u16string_view(n)))]);

    // The real collection with TextField items.
    com::ComPtr<com::ComObject<CTextFieldCollection>> form;
    if (FAILED(com::CreateComObject(form)))
        std::exit(1);
    std::vector<com::ComPtr<com::ComObject<CTextField>>> fields(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        com::CreateComObject(fields[i]);
        fields[i]->Init({}, {}, com::Bstr(WideString(names[i].begin(), names[i].end())));
    }
    auto start = std::chrono::steady_clock::now();
    for (auto& field : fields)
        form->Add(static_cast<ITextField*>(field.Get()));
    const double add = Seconds(start);

    start = std::chrono::steady_clock::now();
    for (std::size_t i = 1; i <= names.size(); ++i) {
        com::Variant key, item;
        key.Get()->vt = VT_I4;
        key.Get()->lVal = static_cast<LONG>(i);
        form->Item(*key.Get(), item.Get());
    }
    const double byNumber = Seconds(start);

    start = std::chrono::steady_clock::now();
    for (const Name& n : names) {
        com::Variant key, item;
        key.Get()->vt = VT_BSTR;
        key.Get()->bstrVal = com::Bstr(WideString(n.begin(), n.end())).Detach();
        form->Item(*key.Get(), item.Get());
    }
    const double byName = Seconds(start);

    std::printf("%-10s %8zu names  largest bucket %7u  comparisons %10llu (%.1f per name)  Add %.3f s  Item(n) %.3f s  "
                "Item(name) %.3f s\n",
                label, names.size(), largest, static_cast<unsigned long long>(comparisons),
                static_cast<double>(comparisons) / static_cast<double>(names.size()), add, byNumber, byName);
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    if (count == 0 || count > 131072) {
        std::fprintf(stderr, "bench_collections: COUNT must be 1..131072\n");
        return 2;
    }
    Run("ordinary", OrdinaryNames(count));
    Run("colliding", CollidingNames(count));
    return 0;
}
