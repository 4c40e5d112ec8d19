// Image facts: the fixtures of tests/data/images (one per format and one per broken rule, listed
// with their facts in facts.txt) read from files and from memory, every cut of each image, the
// read budget whatever the bytes hold, and rules the fixtures leave out. Failing reads are swept
// through a whole upload in tests/unit/upload/fault_sweep_test.cpp.

#include "results/image_facts.h"
#include "results/image_file_facts.h"
#include "tests/unit/test_temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using utils::TImageFacts;
using Bytes = std::vector<unsigned char>;

const std::filesystem::path kImages = KESTRUNE_TEST_DATA_DIR "/images";

Bytes ReadFixture(const std::string& name)
{
    std::ifstream in(kImages / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes Of(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

TImageFacts Facts(const Bytes& bytes)
{
    return utils::ReadImageFacts(std::span<const unsigned char>(bytes));
}

std::string Show(const TImageFacts& f)
{
    return std::string(f.isImage ? "image " : "none ") + std::to_string(f.width) + "x" + std::to_string(f.height);
}

// facts.txt: "name is-image width height" per line, '#' starts a comment.
std::map<std::string, TImageFacts> ListedFacts()
{
    std::map<std::string, TImageFacts> facts;
    std::ifstream in(kImages / "facts.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string name;
        int image = -1;
        TImageFacts f;
        fields >> name >> image >> f.width >> f.height;
        f.isImage = image == 1;
        facts[name] = f;
    }
    return facts;
}

// Counts and sizes the reads it serves, over bytes in memory.
class CountingSource final : public utils::IImageByteSource {
public:
    explicit CountingSource(const Bytes& bytes) : memory_(bytes) {}
    std::size_t ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t size) noexcept override
    {
        ++reads;
        largest = std::max(largest, size);
        return memory_.ReadAt(offset, buffer, size);
    }
    unsigned reads = 0;
    std::size_t largest = 0;

private:
    utils::CMemoryImageBytes memory_;
};

TEST(ImageFacts, EveryFixtureReadsAsListedFromItsFileAndFromMemory)
{
    const auto listed = ListedFacts();
    ASSERT_GE(listed.size(), 40u);
    int images = 0;
    for (const auto& [name, expected] : listed) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Show(utils::ReadImageFactsOfFile(testing_support::ToWide(kImages / name))), Show(expected));
        EXPECT_EQ(Show(Facts(ReadFixture(name))), Show(expected));
        images += expected.isImage;
    }
    EXPECT_EQ(images, 14);
    // Every fixture in the folder is listed.
    for (const auto& entry : std::filesystem::directory_iterator(kImages)) {
        const std::string name = entry.path().filename().string();
        if (name != "facts.txt" && name != "make_images.py") {
            EXPECT_EQ(listed.count(name), 1u) << name;
        }
    }
}

TEST(ImageFacts, AFileThatCannotBeOpenedIsNoImage)
{
    testing_support::TestTempDir dir;
    EXPECT_FALSE(utils::ReadImageFactsOfFile(dir.Wide("absent.png")).isImage);
    EXPECT_FALSE(utils::ReadImageFactsOfFile(dir.Wide()).isImage); // a directory
    EXPECT_FALSE(utils::ReadImageFactsOfFile(WideString()).isImage);
}

// Each image reads as no image when cut anywhere before the end of what its header needs, and as
// itself from there on: the bytes each one needs are the first N.
TEST(ImageFacts, AnImageCutShortOfItsHeadersIsNoImage)
{
    const std::map<std::string, std::size_t> needs = {
        {"png_rgba_3x2.png", 33},                        // signature and IHDR with its CRC
        {"gif89a_257x2.gif", 13},                        // the logical screen descriptor
        {"jpeg_baseline_7x5.jpg", 102},                  // up to the end of the frame header
        {"jpeg_progressive_exif_fill_320x240.jpg", 235}, // the same, after APP1, fill bytes and DQT
        {"bmp_info_4x3.bmp", 55},                        // the first byte of the pixels
        {"bmp_core_6x2.bmp", 27},
        {"webp_lossy_9x7.webp", 96}, // the whole container
        {"webp_extended_400x300.webp", 52},
    };
    for (const auto& [name, need] : needs) {
        SCOPED_TRACE(name);
        const Bytes whole = ReadFixture(name);
        ASSERT_GE(whole.size(), need);
        const TImageFacts expected = Facts(whole);
        ASSERT_TRUE(expected.isImage);
        for (std::size_t length = 0; length <= whole.size(); ++length) {
            const TImageFacts cut = Facts(Bytes(whole.begin(), whole.begin() + length));
            EXPECT_EQ(Show(cut), Show(length < need ? TImageFacts{} : expected)) << "first " << length << " bytes";
        }
    }
}

// Whatever the bytes, one file costs at most kMaxImageReads reads of at most kImageReadSize bytes.
TEST(ImageFacts, TheReadsAreFewAndSmallWhateverTheBytes)
{
    auto repeat = [](const std::string& piece, int times) {
        std::string s = "\xFF\xD8";
        for (int i = 0; i < times; ++i)
            s += piece;
        return Of(s);
    };
    std::vector<std::pair<std::string, Bytes>> inputs = {
        {"a thousand comments", repeat(std::string("\xFF\xFE\x00\x02", 4), 1000)},
        {"a megabyte of fill bytes", repeat("\xFF", 1 << 20)},
        {"segments of 64 KiB", repeat(std::string("\xFF\xE1\xFF\xFF", 4) + std::string(0xFFFD, 'x'), 100)},
        {"restart markers", repeat("\xFF\xD0", 1000)},
    };
    for (const auto& entry : std::filesystem::directory_iterator(kImages))
        inputs.emplace_back(entry.path().filename().string(), ReadFixture(entry.path().filename().string()));
    for (const auto& [what, bytes] : inputs) {
        SCOPED_TRACE(what);
        CountingSource source(bytes);
        utils::ReadImageFacts(source);
        EXPECT_LE(source.reads, utils::kMaxImageReads);
        EXPECT_LE(source.largest, utils::kImageReadSize);
    }
    CountingSource endless(inputs[0].second);
    EXPECT_FALSE(utils::ReadImageFacts(endless).isImage);
    EXPECT_EQ(endless.reads, 1 + utils::kMaxJpegMarkers - 12); // 12 markers lie whole in the first 64 bytes
}

// Rules the fixtures do not show, each as the bytes that break or keep it.
TEST(ImageFacts, RulesAsVectors)
{
    const std::string soi = "\xFF\xD8";
    auto sof = [](unsigned char code, const std::string& precisionAndSize) {
        return std::string("\xFF", 1) + std::string(1, char(code)) + std::string("\x00\x0B", 2) + precisionAndSize +
               std::string("\x01\x01\x11\x00", 4);
    };
    const std::string p8h5w7("\x08\x00\x05\x00\x07", 5);
    auto bmpInfo = [](std::int32_t width, std::int32_t height, std::uint16_t bits, std::uint32_t compression) {
        std::string s = "BM";
        auto le = [&s](std::uint32_t v, int n) {
            for (int i = 0; i < n; ++i)
                s += char((v >> (8 * i)) & 0xFF);
        };
        le(58, 4), le(0, 4), le(54, 4), le(40, 4), le(std::uint32_t(width), 4), le(std::uint32_t(height), 4);
        le(1, 2), le(bits, 2), le(compression, 4);
        return s + std::string(58 - s.size(), '\0');
    };
    auto vp8x = [](std::uint32_t widthLess1, std::uint32_t heightLess1) {
        std::string s("RIFF\x16\x00\x00\x00WEBPVP8X\x0A\x00\x00\x00\x00\x00\x00\x00", 24);
        for (std::uint32_t v : {widthLess1, heightLess1})
            for (int i = 0; i < 3; ++i)
                s += char((v >> (8 * i)) & 0xFF);
        return s;
    };
    const struct {
        const char* rule;
        std::string bytes;
        TImageFacts expected;
    } cases[] = {
        {"every frame header counts", soi + sof(0xC1, p8h5w7), {true, 7, 5}},
        {"lossless frames", soi + sof(0xC3, std::string("\x10\x00\x05\x00\x07", 5)), {true, 7, 5}},
        {"arithmetic frames", soi + sof(0xCF, p8h5w7), {true, 7, 5}},
        {"DHT is not a frame",
         soi + sof(0xC4, p8h5w7) + sof(0xC0, std::string("\x08\x00\x02\x00\x03", 5)),
         {true, 3, 2}},
        {"neither are JPG and DAC", soi + sof(0xC8, p8h5w7) + sof(0xCC, p8h5w7), {}},
        {"a precision of 1 bit", soi + sof(0xC0, std::string("\x01\x00\x05\x00\x07", 5)), {}},
        {"no components", soi + std::string("\xFF\xC0\x00\x08\x08\x00\x05\x00\x07\x00", 10), {}},
        {"a width of 0", soi + sof(0xC0, std::string("\x08\x00\x05\x00\x00", 5)), {}},
        {"the largest size", soi + sof(0xC0, std::string("\x08\xFF\xFF\xFF\xFF", 5)), {true, 65535, 65535}},
        {"restart and TEM markers carry no length",
         soi + std::string("\xFF\xD0\xFF\x01", 4) + sof(0xC0, p8h5w7),
         {true, 7, 5}},
        {"a segment length below 2", soi + std::string("\xFF\xE0\x00\x01", 4) + sof(0xC0, p8h5w7), {}},
        {"the end before any frame", soi + std::string("\xFF\xD9", 2) + sof(0xC0, p8h5w7), {}},
        {"a second SOI", soi + soi + sof(0xC0, p8h5w7), {}},
        {"a stuffed zero", soi + std::string("\xFF\x00", 2) + sof(0xC0, p8h5w7), {}},
        {"40 fill bytes", soi + std::string(40, '\xFF') + sof(0xC0, p8h5w7).substr(1), {true, 7, 5}},
        {"no marker after SOI", soi + "GIF89a", {}},
        {"BMP top-down with bit fields", bmpInfo(3, -2, 32, 3), {true, 3, 2}},
        {"BMP top-down with RLE4", bmpInfo(3, -2, 4, 2), {}},
        {"BMP RLE8 needs 8 bits", bmpInfo(3, 2, 4, 1), {}},
        {"BMP embedded PNG has no bit count", bmpInfo(3, 2, 0, 5), {true, 3, 2}},
        {"BMP unknown compression", bmpInfo(3, 2, 24, 7), {}},
        {"BMP the most negative height", bmpInfo(3, INT32_MIN, 24, 0), {}},
        {"BMP the largest height", bmpInfo(3, INT32_MAX, 24, 0), {true, 3, INT32_MAX}},
        {"BMP the largest top-down height", bmpInfo(3, -INT32_MAX, 24, 0), {true, 3, INT32_MAX}},
        {"BMP 12 bits a pixel", bmpInfo(3, 2, 12, 0), {}},
        {"WebP canvas of 2^32 - 1 pixels", vp8x(65534, 65536), {true, 65535, 65537}},
        {"WebP canvas of 2^32 pixels", vp8x(65535, 65535), {}},
        {"WebP the largest canvas side", vp8x(0xFFFFFF, 0), {true, 16777216, 1}},
        {"a RIFF that is not WebP", std::string("RIFF\x04\x00\x00\x00WAVEfmt ", 16), {}},
        {"nothing", "", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Show(Facts(Of(c.bytes))), Show(c.expected)) << c.rule;
}

} // namespace
