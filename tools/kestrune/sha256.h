#pragma once
// SHA-256 of a byte stream (FIPS 180-4), for the digests that `kestrune replay` prints.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrune {

class Sha256 {
public:
    Sha256() noexcept;

    /// Feeds more bytes.
    void Update(const void* data, std::size_t size) noexcept;
    /// The digest as 64 lower-case hexadecimal digits; the object is spent afterwards.
    std::string HexDigest();

    /// The digest of one string of bytes.
    static std::string Of(std::string_view bytes);

private:
    void Block(const std::uint8_t* block) noexcept;

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t totalBytes_ = 0;
};

} // namespace kestrune
