#pragma once
// The name index of a field collection: a linear-hashing table whose entries form one sequence,
// bucket 0 first, then bucket 1, and so on, each bucket in ascending name order. The sequence is
// the order in which a collection numbers and enumerates its items, so the growth and bucket rules
// are fixed exactly. Each bucket is a balanced tree, so an insertion costs O(log n) name
// comparisons even when every name lands in the same bucket.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

namespace utils {

/// Entries (Key, Item) keyed by name. `Less` is a strict weak order on keys: it decides the order
/// inside a bucket and the equality of names (equal = neither is less). Every key comes with its
/// scrambled hash (see name_hash.h), computed by the caller.
template <class Key, class Item, class Less>
class CNameIndex {
public:
    struct TEntry {
        Key name;
        std::int32_t scrambled;
        mutable Item item;
    };

    explicit CNameIndex(Less less = Less()) : less_(std::move(less)) { Reset(); }

    CNameIndex(const CNameIndex&) = delete;
    CNameIndex& operator=(const CNameIndex&) = delete;

    /// Number of entries.
    std::size_t Size() const noexcept { return size_; }

    /// Inserts an entry unless an equal name is present. Growth is checked first, on every call,
    /// including one that then finds the name present. Returns the entry of that name and whether
    /// it is new; when the name was present, the index is unchanged apart from that growth and
    /// `item` is dropped. The entry's item may be changed in place (it is not part of the key).
    std::pair<const TEntry*, bool> Insert(Key name, std::int32_t scrambled, Item item)
    {
        if (size_ / 4 >= used_)
            Grow();
        Bucket& bucket = buckets_[BucketOf(scrambled)];
        auto at = bucket.lower_bound(name);
        if (at != bucket.end() && !less_(name, at->name))
            return {&*at, false};
        at = bucket.emplace_hint(at, TEntry{std::move(name), scrambled, std::move(item)});
        ++size_;
        sequence_.reset();
        return {&*at, true};
    }

    /// The entry whose name equals `key`, or null.
    const TEntry* Find(const Key& key, std::int32_t scrambled) const
    {
        const Bucket& bucket = buckets_[BucketOf(scrambled)];
        auto it = bucket.lower_bound(key);
        if (it == bucket.end() || less_(key, it->name))
            return nullptr;
        return &*it;
    }

    /// The entry at 0-based position `index` of the sequence. Positions are computed once after a
    /// change and then reused, so numbering every entry costs O(n) in all.
    const TEntry& At(std::size_t index) const
    {
        if (index >= size_)
            throw std::out_of_range("name index position");
        return *Sequence()[index];
    }

    /// Calls `visit(entry)` for every entry in sequence order.
    template <class Visitor>
    void ForEach(Visitor&& visit) const
    {
        for (const Bucket& bucket : buckets_)
            for (const TEntry& entry : bucket)
                visit(entry);
    }

    /// Removes every entry and returns to the initial state (8 slots, mask 1, one bucket).
    void Clear() noexcept { Reset(); }

    std::uint32_t Slots() const noexcept { return slots_; }
    std::uint32_t Mask() const noexcept { return mask_; }
    std::uint32_t UsedBuckets() const noexcept { return used_; }

    /// The bucket that a name with this scrambled hash belongs to under the current table.
    std::uint32_t BucketOf(std::int32_t scrambled) const noexcept
    {
        std::uint32_t b = static_cast<std::uint32_t>(scrambled) & mask_;
        if (b >= used_)
            b -= (mask_ >> 1) + 1;
        return b;
    }

private:
    struct TEntryLess {
        using is_transparent = void;
        const Less* less;
        bool operator()(const TEntry& a, const TEntry& b) const { return (*less)(a.name, b.name); }
        bool operator()(const Key& a, const TEntry& b) const { return (*less)(a, b.name); }
        bool operator()(const TEntry& a, const Key& b) const { return (*less)(a.name, b); }
    };
    using Bucket = std::set<TEntry, TEntryLess>;

    void Reset() noexcept
    {
        buckets_.clear();
        buckets_.emplace_back(TEntryLess{&less_});
        slots_ = 8;
        mask_ = 1;
        used_ = 1;
        size_ = 0;
        sequence_.reset();
    }

    // One linear-hashing step: widen the table if needed, then split one bucket into a new last
    // bucket. Moved entries keep their order, so each goes in at the end of the new bucket without
    // a name comparison.
    void Grow()
    {
        if (slots_ <= used_) {
            slots_ *= 2;
            mask_ = slots_ - 1;
        } else if (mask_ < used_) {
            mask_ = 2 * mask_ + 1;
        }
        const std::uint32_t split = used_ - (mask_ >> 1) - 1;
        buckets_.emplace_back(TEntryLess{&less_});
        Bucket& from = buckets_[split];
        Bucket& to = buckets_.back();
        for (auto it = from.begin(); it != from.end();) {
            auto next = std::next(it);
            if ((static_cast<std::uint32_t>(it->scrambled) & mask_) != split)
                to.insert(to.end(), from.extract(it));
            it = next;
        }
        ++used_;
        sequence_.reset();
    }

    const std::vector<const TEntry*>& Sequence() const
    {
        if (!sequence_) {
            std::vector<const TEntry*> order;
            order.reserve(size_);
            ForEach([&order](const TEntry& e) { order.push_back(&e); });
            sequence_ = std::move(order);
        }
        return *sequence_;
    }

    Less less_;
    std::vector<Bucket> buckets_;
    std::uint32_t slots_ = 8;
    std::uint32_t mask_ = 1;
    std::uint32_t used_ = 1;
    std::size_t size_ = 0;
    mutable std::optional<std::vector<const TEntry*>> sequence_;
};

} // namespace utils
