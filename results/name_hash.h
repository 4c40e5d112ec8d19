#pragma once
// Hash of a field name as the collections' name index uses it: 32-bit FNV-1 over the UTF-16 code
// units of the name (up to its first NUL), then a Park-Miller style scramble. Both are fixed: the
// order in which a collection hands out its items depends on them.

#include <cstdint>
#include <string_view>

namespace utils {

/// FNV-1 (multiply, then XOR) over the 16-bit code units of `name`, stopping at the first NUL.
template <class CharT>
constexpr std::uint32_t FieldNameHash(std::basic_string_view<CharT> name) noexcept
{
    std::uint32_t h = 0x811C9DC5u;
    for (CharT c : name) {
        const auto unit = static_cast<std::uint16_t>(c);
        if (unit == 0)
            break;
        h *= 16777619u;
        h ^= unit;
    }
    return h;
}

/// Scrambles a hash into a non-negative 31-bit value (one step of the minimal standard generator,
/// computed with Schrage's method on the hash read as a signed 32-bit integer).
constexpr std::int32_t ScrambleFieldNameHash(std::uint32_t hash) noexcept
{
    const auto h = static_cast<std::int32_t>(hash);
    const std::int32_t q = h / 127773;
    const std::int32_t r = h - 127773 * q;
    const std::uint32_t wrapped = 16807u * static_cast<std::uint32_t>(r) - 2836u * static_cast<std::uint32_t>(q);
    std::int32_t s = static_cast<std::int32_t>(wrapped);
    if (s < 0)
        s += 0x7FFFFFFF;
    return s;
}

/// The scrambled hash of a name: what decides its bucket in the name index.
template <class CharT>
constexpr std::int32_t ScrambledFieldNameHash(std::basic_string_view<CharT> name) noexcept
{
    return ScrambleFieldNameHash(FieldNameHash(name));
}

} // namespace utils
