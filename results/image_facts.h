#pragma once
// Image facts: whether a file's own bytes are a PNG, GIF, JPEG, BMP or WebP image, and its width
// and height in pixels. Only the headers are read, through a few small reads; the file's name and
// declared content type play no part, so a ".jpg" that holds a script is not an image.
//
//   utils::TImageFacts facts = utils::ReadImageFacts(bytes);   // bytes: std::span<const unsigned char>
//   if (facts.isImage) ... facts.width ... facts.height ...
//
// Contract: never throws and never fails. Anything that is not a well-formed header of one of the
// five formats (unknown, malformed, cut short within the bytes read, a width or height of 0 or
// beyond a LONG) reads as {false, 0, 0}; an image always has a width and height of at least 1.
// One call makes at most kMaxImageReads calls of ReadAt, none of them for more than
// kImageReadSize bytes, whatever the bytes hold.

#include "platform/win.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace utils {

struct TImageFacts {
    bool isImage = false;
    LONG width = 0;
    LONG height = 0;
    bool operator==(const TImageFacts&) const = default;
};

/// Where ReadImageFacts takes bytes from: a file, or memory.
class IImageByteSource {
public:
    /// Copies up to `size` bytes found at `offset` into `buffer`; returns how many: fewer than asked
    /// at the end of the data, 0 past it or on any failure.
    virtual std::size_t ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t size) noexcept = 0;

protected:
    ~IImageByteSource() = default;
};

/// The largest read ReadImageFacts asks for.
inline constexpr std::size_t kImageReadSize = 64;
/// JPEG markers walked, one read each, before a file without a frame header reads as no image.
inline constexpr unsigned kMaxJpegMarkers = 64;
/// The most reads one call makes: the first bytes, the JPEG markers, one check that what a header
/// announces is in the file.
inline constexpr unsigned kMaxImageReads = 1 + kMaxJpegMarkers + 1;

/// The image facts of the bytes `source` gives.
TImageFacts ReadImageFacts(IImageByteSource& source) noexcept;

/// The image facts of bytes in memory.
TImageFacts ReadImageFacts(std::span<const unsigned char> bytes) noexcept;

/// A source over bytes in memory.
class CMemoryImageBytes final : public IImageByteSource {
public:
    explicit CMemoryImageBytes(std::span<const unsigned char> bytes) noexcept : bytes_(bytes) {}
    std::size_t ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t size) noexcept override;

private:
    std::span<const unsigned char> bytes_;
};

} // namespace utils
