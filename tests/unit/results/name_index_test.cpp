// The name index decides the order in which Files(n), Form(n) and For Each hand out items, so these
// tests pin the hash, the growth steps and the order against an independent, literal model.

#include "results/name_hash.h"
#include "results/name_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using Name = std::u16string;

struct CountingLess {
    std::size_t* calls;
    bool operator()(const Name& a, const Name& b) const
    {
        ++*calls;
        return a < b;
    }
};

using Index = utils::CNameIndex<Name, int, CountingLess>;

std::int32_t Scrambled(const Name& n)
{
    return utils::ScrambledFieldNameHash(std::u16string_view(n));
}

std::vector<Name> SequenceOf(const Index& index)
{
    std::vector<Name> out;
    index.ForEach([&](const Index::TEntry& e) { out.push_back(e.name); });
    return out;
}

std::vector<Name> Numbered(const char* prefix, int count)
{
    std::vector<Name> names;
    for (int i = 1; i <= count; ++i) {
        std::string s = prefix + std::to_string(i);
        names.emplace_back(s.begin(), s.end());
    }
    return names;
}

// A literal model of the table: one flat sequence, buckets found by walking it, insertion by walking
// the target bucket backwards. Slow and obviously faithful.
struct LiteralModel {
    struct E {
        Name name;
        std::int32_t s;
    };
    std::vector<E> seq;
    std::vector<std::size_t> bucketSize{0};
    std::uint32_t slots = 8, mask = 1, used = 1;

    std::uint32_t BucketOf(std::int32_t s) const
    {
        std::uint32_t b = static_cast<std::uint32_t>(s) & mask;
        if (b >= used)
            b -= (mask >> 1) + 1;
        return b;
    }
    std::size_t Start(std::uint32_t b) const
    {
        std::size_t at = 0;
        for (std::uint32_t i = 0; i < b; ++i)
            at += bucketSize[i];
        return at;
    }
    bool Insert(const Name& name)
    {
        if (seq.size() / 4 >= used) {
            if (slots <= used) {
                slots *= 2;
                mask = slots - 1;
            } else if (mask < used)
                mask = 2 * mask + 1;
            std::uint32_t k = used - (mask >> 1) - 1;
            std::size_t start = Start(k), n = bucketSize[k];
            std::vector<E> stay, moved;
            for (std::size_t i = start; i < start + n; ++i)
                ((static_cast<std::uint32_t>(seq[i].s) & mask) != k ? moved : stay).push_back(seq[i]);
            seq.erase(seq.begin() + static_cast<std::ptrdiff_t>(start),
                      seq.begin() + static_cast<std::ptrdiff_t>(start + n));
            seq.insert(seq.begin() + static_cast<std::ptrdiff_t>(start), stay.begin(), stay.end());
            seq.insert(seq.end(), moved.begin(), moved.end());
            bucketSize[k] = stay.size();
            bucketSize.push_back(moved.size());
            ++used;
        }
        std::int32_t s = Scrambled(name);
        std::uint32_t b = BucketOf(s);
        std::size_t start = Start(b), at = start;
        for (std::size_t i = start + bucketSize[b]; i-- > start;) {
            if (!(name < seq[i].name)) {
                if (!(seq[i].name < name))
                    return false;
                at = i + 1;
                break;
            }
        }
        seq.insert(seq.begin() + static_cast<std::ptrdiff_t>(at), E{name, s});
        ++bucketSize[b];
        return true;
    }
};

TEST(NameHash, MatchesTheWorkedValues)
{
    EXPECT_EQ(utils::FieldNameHash(std::u16string_view(u"abc")), 0x439C2F4Bu);
    EXPECT_EQ(utils::ScrambledFieldNameHash(std::u16string_view(u"abc")), 1122305946);
    EXPECT_EQ(utils::FieldNameHash(std::u16string_view(u"f1")), 0x6B77254Au);
    EXPECT_EQ(utils::ScrambledFieldNameHash(std::u16string_view(u"f1")), 1529959524);
    // The hash stops at the first NUL and sees 16-bit units, whatever the character type.
    EXPECT_EQ(utils::FieldNameHash(std::u16string_view(u"abc\0def", 7)), 0x439C2F4Bu);
    EXPECT_EQ(utils::FieldNameHash(std::wstring_view(L"abc")), 0x439C2F4Bu);
    // Negative hashes go through the signed branch of the scramble and still come out non-negative.
    for (std::uint32_t h : {0x80000000u, 0xFFFFFFFFu, 0x00000000u, 0x7FFFFFFFu, 0x9E3779B9u})
        EXPECT_GE(utils::ScrambleFieldNameHash(h), 0) << h;
}

TEST(NameIndex, FirstFourInsertionsStayInNameOrder)
{
    std::size_t calls = 0;
    Index index{CountingLess{&calls}};
    for (const char16_t* n : {u"f3", u"f1", u"f2"})
        ASSERT_TRUE(index.Insert(n, Scrambled(n), 0).second);
    EXPECT_EQ(SequenceOf(index), (std::vector<Name>{u"f1", u"f2", u"f3"}));
    EXPECT_EQ(index.UsedBuckets(), 1u);
}

TEST(NameIndex, GivesTheDocumentedOrdersForNumberedFields)
{
    std::size_t calls = 0;
    Index five{CountingLess{&calls}};
    for (const Name& n : Numbered("f", 5))
        ASSERT_TRUE(five.Insert(n, Scrambled(n), 0).second);
    EXPECT_EQ(SequenceOf(five), (std::vector<Name>{u"f1", u"f3", u"f5", u"f2", u"f4"}));
    EXPECT_EQ(five.Mask(), 1u);
    EXPECT_EQ(five.UsedBuckets(), 2u);

    Index nine{CountingLess{&calls}};
    for (const Name& n : Numbered("f", 9))
        ASSERT_TRUE(nine.Insert(n, Scrambled(n), 0).second);
    EXPECT_EQ(SequenceOf(nine), (std::vector<Name>{u"f1", u"f5", u"f9", u"f2", u"f4", u"f6", u"f8", u"f3", u"f7"}));
    EXPECT_EQ(nine.Mask(), 3u);
    EXPECT_EQ(nine.UsedBuckets(), 3u);
    for (std::size_t i = 0; i < nine.Size(); ++i)
        EXPECT_EQ(nine.At(i).name, SequenceOf(nine)[i]);
}

TEST(NameIndex, ADuplicateStillCountsAsAnAttemptAndHandsBackTheFirstEntry)
{
    std::size_t calls = 0;
    Index index{CountingLess{&calls}};
    for (const char16_t* n : {u"f1", u"f2", u"f3", u"f4"})
        ASSERT_TRUE(index.Insert(n, Scrambled(n), 1).second);
    // Fifth attempt is a duplicate: the table grows anyway, and the entry already there comes back.
    const auto [existing, inserted] = index.Insert(u"f2", Scrambled(u"f2"), 2);
    EXPECT_FALSE(inserted);
    EXPECT_EQ(index.UsedBuckets(), 2u);
    EXPECT_EQ(index.Size(), 4u);
    const auto* found = index.Find(u"f2", Scrambled(u"f2"));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(existing, found);
    EXPECT_EQ(found->item, 1);
    EXPECT_EQ(index.Find(u"F2", Scrambled(u"F2")), nullptr);
    EXPECT_EQ(index.Find(u"f", Scrambled(u"f")), nullptr);
}

TEST(NameIndex, AgreesWithTheLiteralModelForRandomNamesAndDuplicates)
{
    std::mt19937 rng(12345);
    for (int round = 0; round < 20; ++round) {
        std::size_t calls = 0;
        Index index{CountingLess{&calls}};
        LiteralModel model;
        const int n = 1 + static_cast<int>(rng() % 300);
        for (int i = 0; i < n; ++i) {
            Name name;
            const int len = 1 + static_cast<int>(rng() % 4);
            for (int j = 0; j < len; ++j)
                name.push_back(static_cast<char16_t>(u'a' + rng() % 6));
            const bool expected = model.Insert(name);
            ASSERT_EQ(index.Insert(name, Scrambled(name), i).second, expected) << round << ' ' << i;
        }
        std::vector<Name> modelOrder;
        for (const auto& e : model.seq)
            modelOrder.push_back(e.name);
        ASSERT_EQ(SequenceOf(index), modelOrder) << "round " << round;
        ASSERT_EQ(index.Mask(), model.mask);
        ASSERT_EQ(index.Slots(), model.slots);
        for (const auto& e : model.seq)
            ASSERT_NE(index.Find(e.name, e.s), nullptr);
    }
}

TEST(NameIndex, ClearReturnsToTheInitialTable)
{
    std::size_t calls = 0;
    Index index{CountingLess{&calls}};
    for (const Name& n : Numbered("x", 40))
        index.Insert(n, Scrambled(n), 0);
    ASSERT_GT(index.UsedBuckets(), 1u);
    index.Clear();
    EXPECT_EQ(index.Size(), 0u);
    EXPECT_EQ(index.Slots(), 8u);
    EXPECT_EQ(index.Mask(), 1u);
    EXPECT_EQ(index.UsedBuckets(), 1u);
    EXPECT_THROW(index.At(0), std::out_of_range);
    // Usable again, and the order rules start over.
    for (const char16_t* n : {u"b", u"a"})
        index.Insert(n, Scrambled(n), 0);
    EXPECT_EQ(SequenceOf(index), (std::vector<Name>{u"a", u"b"}));
}

TEST(NameIndex, NamesCollidingInOneBucketCostLogarithmicComparisons)
{
    // Every name lands in bucket 0: the low 8 bits of its scrambled hash are zero, and 1000 entries
    // never widen the mask beyond 255.
    std::vector<Name> colliding;
    for (std::uint32_t i = 0; colliding.size() < 1000; ++i) {
        Name name = u"k";
        for (std::uint32_t v = i;; v /= 26) {
            name.push_back(static_cast<char16_t>(u'a' + v % 26));
            if (v < 26)
                break;
        }
        if ((Scrambled(name) & 0xFF) == 0)
            colliding.push_back(name);
    }
    std::size_t calls = 0;
    Index index{CountingLess{&calls}};
    for (const Name& n : colliding)
        ASSERT_TRUE(index.Insert(n, Scrambled(n), 0).second);
    // A list walked from its end would need about n*n/4 = 250,000 comparisons here.
    EXPECT_LT(calls, 1000u * 10u * 3u);
    calls = 0;
    for (std::size_t i = 0; i < index.Size(); ++i)
        (void)index.At(i);
    EXPECT_EQ(calls, 0u);
}

} // namespace
