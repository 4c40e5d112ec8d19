#include "results/image_facts.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace utils {

namespace {

std::uint32_t Le16(const unsigned char* p) noexcept
{
    return p[0] | (std::uint32_t(p[1]) << 8);
}
std::uint32_t Le24(const unsigned char* p) noexcept
{
    return Le16(p) | (std::uint32_t(p[2]) << 16);
}
std::uint32_t Le32(const unsigned char* p) noexcept
{
    return Le24(p) | (std::uint32_t(p[3]) << 24);
}
std::uint32_t Be16(const unsigned char* p) noexcept
{
    return (std::uint32_t(p[0]) << 8) | p[1];
}
std::uint32_t Be32(const unsigned char* p) noexcept
{
    return (Be16(p) << 16) | Be16(p + 2);
}

bool StartsWith(std::span<const unsigned char> bytes, std::string_view prefix) noexcept
{
    return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

/// An image of width x height, when both are between 1 and the largest LONG; otherwise no image.
TImageFacts Image(std::uint64_t width, std::uint64_t height) noexcept
{
    constexpr std::uint64_t kLargest = 0x7FFFFFFF;
    if (width == 0 || height == 0 || width > kLargest || height > kLargest)
        return {};
    return {true, static_cast<LONG>(width), static_cast<LONG>(height)};
}

// The first kImageReadSize bytes, read once, and further small reads through the source.
class CHeaderReader {
public:
    explicit CHeaderReader(IImageByteSource& source) noexcept : source_(source)
    {
        headLength_ = std::min(source_.ReadAt(0, head_.data(), head_.size()), head_.size());
    }

    std::span<const unsigned char> Head() const noexcept { return {head_.data(), headLength_}; }

    /// Copies up to n (at most kImageReadSize) bytes at offset into out; returns how many. Served
    /// from the first bytes when they hold the range, or when they already hold the whole data.
    std::size_t ReadSome(std::uint64_t offset, unsigned char* out, std::size_t n) noexcept
    {
        n = std::min(n, kImageReadSize);
        if (offset + n <= headLength_ || headLength_ < head_.size()) {
            if (offset >= headLength_)
                return 0;
            const std::size_t got = std::min<std::uint64_t>(n, headLength_ - offset);
            std::memcpy(out, head_.data() + offset, got);
            return got;
        }
        return std::min(source_.ReadAt(offset, out, n), n);
    }

    /// True when the data is at least `length` bytes long.
    bool Reaches(std::uint64_t length) noexcept
    {
        unsigned char last = 0;
        return length == 0 || ReadSome(length - 1, &last, 1) == 1;
    }

private:
    IImageByteSource& source_;
    std::array<unsigned char, kImageReadSize> head_{};
    std::size_t headLength_ = 0;
};

// ---- PNG -----------------------------------------------------------------------------------

constexpr std::string_view kPngSignature("\x89PNG\r\n\x1A\n", 8);

std::uint32_t Crc32(const unsigned char* p, std::size_t n) noexcept
{
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// True for the bit depths a PNG colour type allows.
bool PngDepthFits(unsigned colourType, unsigned depth) noexcept
{
    switch (colourType) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16; // grey
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;                // palette
    case 2:                                                                             // RGB
    case 4:                                                                             // grey and alpha
    case 6: return depth == 8 || depth == 16;                                           // RGB and alpha
    default: return false;
    }
}

// The signature, then the IHDR chunk first: length 13, a width and height (big-endian, at most
// 2^31 - 1), a bit depth the colour type allows, compression and filter method 0, interlace 0 or
// 1, and a CRC that matches.
TImageFacts ReadPng(std::span<const unsigned char> head) noexcept
{
    constexpr std::size_t kChunk = 8, kData = kChunk + 8, kCrc = kData + 13;
    if (head.size() < kCrc + 4)
        return {};
    const unsigned char* p = head.data();
    if (Be32(p + kChunk) != 13 || std::memcmp(p + kChunk + 4, "IHDR", 4) != 0)
        return {};
    if (!PngDepthFits(p[kData + 9], p[kData + 8]) || p[kData + 10] != 0 || p[kData + 11] != 0 || p[kData + 12] > 1)
        return {};
    if (Crc32(p + kChunk + 4, 4 + 13) != Be32(p + kCrc))
        return {};
    return Image(Be32(p + kData), Be32(p + kData + 4));
}

// ---- GIF -----------------------------------------------------------------------------------

// "GIF87a" or "GIF89a", then the logical screen's width and height (little-endian) in a complete
// 7-byte logical screen descriptor.
TImageFacts ReadGif(std::span<const unsigned char> head) noexcept
{
    if (head.size() < 13 || !(StartsWith(head, "GIF87a") || StartsWith(head, "GIF89a")))
        return {};
    return Image(Le16(head.data() + 6), Le16(head.data() + 8));
}

// ---- JPEG ----------------------------------------------------------------------------------

// Markers without a length: TEM and the restart markers.
bool IsStandaloneMarker(unsigned code) noexcept
{
    return code == 0x01 || (code >= 0xD0 && code <= 0xD7);
}

// The frame headers SOF0 to SOF15, which are C0 to CF less DHT (C4), JPG (C8) and DAC (CC).
bool IsFrameHeader(unsigned code) noexcept
{
    return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

// SOI, then marker segments up to the first frame header, one read each, at most kMaxJpegMarkers
// of them. A marker is FF and a code, after any number of FF fill bytes; every marker but TEM and
// RSTn carries a big-endian length of at least 2 that counts itself. Before the frame header, a
// scan (SOS), the end (EOI), a second SOI, a stuffed zero or a reserved code (02 to BF) means no
// image. The frame header: length 8 + 3 per component, at least one component, a sample
// precision of 2 to 16 bits, then height and width, all of it in the file. A height of 0 (left to
// a later DNL marker, which is not looked for) reads as no image.
TImageFacts ReadJpeg(CHeaderReader& reader) noexcept
{
    std::uint64_t position = 2;
    unsigned char window[16];
    for (unsigned marker = 0; marker < kMaxJpegMarkers; ++marker) {
        const std::size_t got = reader.ReadSome(position, window, sizeof window);
        if (got < 2 || window[0] != 0xFF)
            return {};
        if (window[1] == 0xFF) {
            // Fill bytes: go on from the last FF this window holds.
            std::size_t last = 1;
            while (last + 1 < got && window[last + 1] == 0xFF)
                ++last;
            position += last;
            continue;
        }
        const unsigned code = window[1];
        if (IsStandaloneMarker(code)) {
            position += 2;
            continue;
        }
        if (code == 0x00 || code == 0xD8 || code == 0xD9 || code == 0xDA || (code >= 0x02 && code <= 0xBF))
            return {};
        if (got < 4)
            return {};
        const std::uint32_t length = Be16(window + 2);
        if (length < 2)
            return {};
        if (IsFrameHeader(code)) {
            if (got < 10)
                return {};
            const unsigned precision = window[4], components = window[9];
            if (components == 0 || length != 8 + 3 * components || precision < 2 || precision > 16)
                return {};
            if (got < 2 + length && !reader.Reaches(position + 2 + length))
                return {}; // the frame header is cut short
            return Image(Be16(window + 7), Be16(window + 5));
        }
        position += 2 + length;
    }
    return {};
}

// ---- BMP -----------------------------------------------------------------------------------

// The file header: "BM", the file size, two reserved words, the offset of the pixel data. Then a
// core header (12 bytes: 16-bit unsigned width and height) or an info header (40, 52, 56, 108 or
// 124 bytes: 32-bit signed width and height; a negative height is a top-down bitmap, which is
// reported by its absolute height and cannot be compressed). One plane; a bit count the header
// allows; a known compression that suits the bit count. The pixel data starts after the headers
// and within the file.
TImageFacts ReadBmp(CHeaderReader& reader) noexcept
{
    const auto head = reader.Head();
    constexpr std::size_t kInfo = 14;
    if (head.size() < kInfo + 4)
        return {};
    const unsigned char* p = head.data();
    const std::uint32_t pixelOffset = Le32(p + 10), headerSize = Le32(p + kInfo);
    TImageFacts facts;
    if (headerSize == 12) {
        if (head.size() < kInfo + 12 || Le16(p + kInfo + 8) != 1)
            return {};
        const std::uint32_t bits = Le16(p + kInfo + 10);
        if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
            return {};
        facts = Image(Le16(p + kInfo + 4), Le16(p + kInfo + 6));
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 || headerSize == 124) {
        if (head.size() < kInfo + 20 || Le16(p + kInfo + 12) != 1)
            return {};
        const auto width = static_cast<std::int32_t>(Le32(p + kInfo + 4));
        const auto height = static_cast<std::int32_t>(Le32(p + kInfo + 8));
        const std::uint32_t bits = Le16(p + kInfo + 14), compression = Le32(p + kInfo + 16);
        enum : std::uint32_t {
            kRgb = 0,
            kRle8 = 1,
            kRle4 = 2,
            kBitFields = 3,
            kJpeg = 4,
            kPng = 5,
            kAlphaBitFields = 6
        };
        bool fits = false;
        switch (compression) {
        case kRgb: fits = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; break;
        case kRle8: fits = bits == 8; break;
        case kRle4: fits = bits == 4; break;
        case kBitFields:
        case kAlphaBitFields: fits = bits == 16 || bits == 32; break;
        case kJpeg:
        case kPng: fits = bits == 0; break;
        default: fits = false;
        }
        const bool topDown = height < 0;
        if (!fits || (topDown && compression != kRgb && compression != kBitFields && compression != kAlphaBitFields))
            return {};
        if (width <= 0 || height == INT32_MIN)
            return {};
        facts = Image(static_cast<std::uint64_t>(width),
                      static_cast<std::uint64_t>(topDown ? -std::int64_t(height) : std::int64_t(height)));
    } else {
        return {};
    }
    if (!facts.isImage || pixelOffset < kInfo + headerSize || !reader.Reaches(std::uint64_t(pixelOffset) + 1))
        return {};
    return facts;
}

// ---- WebP ----------------------------------------------------------------------------------

// "RIFF", the container's size, "WEBP", then a first chunk that fits in the container (whose
// announced size the file holds):
// - "VP8 " (lossy): a key frame tag (key frame, version 0 to 3, shown, a first partition shorter
//   than the chunk), the start code 9D 01 2A, then 14-bit width and height (the scale bits above
//   them ignored);
// - "VP8L" (lossless): the signature 2F, then 14 bits each of width - 1 and height - 1, one alpha
//   bit and a version of 0;
// - "VP8X" (extended): flags, three reserved bytes, then 24 bits each of width - 1 and
//   height - 1, whose product fits 32 bits.
TImageFacts ReadWebp(CHeaderReader& reader) noexcept
{
    const auto head = reader.Head();
    constexpr std::size_t kChunk = 12, kPayload = kChunk + 8;
    if (head.size() < kPayload)
        return {};
    const unsigned char* p = head.data();
    const std::uint64_t containerSize = Le32(p + 4), chunkSize = Le32(p + kChunk + 4);
    if (containerSize < 4 + 8 + chunkSize)
        return {};
    const unsigned char* payload = p + kPayload;
    const std::size_t available = head.size() - kPayload;
    TImageFacts facts;
    if (std::memcmp(p + kChunk, "VP8 ", 4) == 0) {
        if (chunkSize < 10 || available < 10)
            return {};
        const std::uint32_t tag = Le24(payload);
        const bool keyFrame = (tag & 1) == 0, shown = ((tag >> 4) & 1) != 0;
        const std::uint32_t version = (tag >> 1) & 7, firstPartition = tag >> 5;
        if (!keyFrame || version > 3 || !shown || firstPartition >= chunkSize)
            return {};
        if (payload[3] != 0x9D || payload[4] != 0x01 || payload[5] != 0x2A)
            return {};
        facts = Image(Le16(payload + 6) & 0x3FFF, Le16(payload + 8) & 0x3FFF);
    } else if (std::memcmp(p + kChunk, "VP8L", 4) == 0) {
        if (chunkSize < 5 || available < 5 || payload[0] != 0x2F)
            return {};
        const std::uint32_t bits = Le32(payload + 1);
        if ((bits >> 29) != 0)
            return {};
        facts = Image((bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1);
    } else if (std::memcmp(p + kChunk, "VP8X", 4) == 0) {
        if (chunkSize < 10 || available < 10)
            return {};
        const std::uint64_t width = Le24(payload + 4) + 1ull, height = Le24(payload + 7) + 1ull;
        if (width * height > 0xFFFFFFFFull)
            return {};
        facts = Image(width, height);
    } else {
        return {};
    }
    if (!facts.isImage || !reader.Reaches(8 + containerSize))
        return {};
    return facts;
}

} // namespace

std::size_t CMemoryImageBytes::ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t size) noexcept
{
    if (offset >= bytes_.size())
        return 0;
    const std::size_t n = std::min<std::uint64_t>(size, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
}

TImageFacts ReadImageFacts(IImageByteSource& source) noexcept
{
    CHeaderReader reader(source);
    const auto head = reader.Head();
    if (StartsWith(head, kPngSignature))
        return ReadPng(head);
    if (StartsWith(head, "GIF8"))
        return ReadGif(head);
    if (StartsWith(head, "\xFF\xD8"))
        return ReadJpeg(reader);
    if (StartsWith(head, "BM"))
        return ReadBmp(reader);
    if (StartsWith(head, "RIFF") && head.size() >= 12 && std::memcmp(head.data() + 8, "WEBP", 4) == 0)
        return ReadWebp(reader);
    return {};
}

TImageFacts ReadImageFacts(std::span<const unsigned char> bytes) noexcept
{
    CMemoryImageBytes source(bytes);
    return ReadImageFacts(source);
}

} // namespace utils
