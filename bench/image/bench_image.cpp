// The cost of reading an uploaded file's image facts, per file, against measuring the file's
// length the way every uploaded file is measured. The files: one fixture of each format from
// tests/data/images, a 2 MiB JPEG whose frame header follows 70 KB of metadata (a camera's), and
// 2 MiB of bytes that are no image.
//
// Usage: bench_image [directory on tmpfs, default /dev/shm]
// Prints: file=NAME bytes=... image=WxH facts_us=... length_us=...   (microseconds per file)

#include "platform/win.h"
#include "files/file_operations.h"
#include "results/image_file_facts.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

WideString Wide(const std::filesystem::path& path)
{
    const std::u16string text = path.u16string();
    return WideString(text.begin(), text.end());
}

std::string Segment(unsigned char code, std::size_t payload)
{
    const std::size_t length = payload + 2;
    return std::string{'\xFF', char(code), char(length >> 8), char(length & 0xFF)} + std::string(payload, '\0');
}

// A camera's JPEG: APP1 (Exif) and APP2 (colour profile) segments of 64 KiB and 6 KiB before the
// tables and the frame header, then compressed data up to 2 MiB.
std::string CameraJpeg()
{
    std::string s = "\xFF\xD8" + Segment(0xE1, 65533) + Segment(0xE2, 6000) + Segment(0xDB, 130) +
                    std::string("\xFF\xC0\x00\x11\x08\x0B\xD0\x0F\xA0\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 19);
    s.resize(2 << 20, 'j');
    return s;
}

template <class F>
double MicrosecondsPerCall(int runs, F&& call)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i)
        call();
    const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
    return took.count() / runs;
}

} // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path dir =
        std::filesystem::path(argc > 1 ? argv[1] : "/dev/shm") / ("bench-image-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path fixtures = std::filesystem::path(KESTRUNE_TEST_DATA_DIR) / "images";
    std::vector<std::filesystem::path> files;
    for (const char* name :
         {"png_rgba_3x2.png", "gif89a_257x2.gif", "jpeg_baseline_7x5.jpg", "jpeg_63_markers_before_frame_2x2.jpg",
          "bmp_info_4x3.bmp", "webp_lossy_9x7.webp", "script.jpg"}) {
        std::filesystem::copy_file(fixtures / name, dir / name);
        files.push_back(dir / name);
    }
    std::ofstream(dir / "camera.jpg", std::ios::binary) << CameraJpeg();
    files.push_back(dir / "camera.jpg");
    std::ofstream(dir / "archive.bin", std::ios::binary) << std::string(2 << 20, 'z');
    files.push_back(dir / "archive.bin");

    constexpr int kRuns = 20000;
    for (const auto& file : files) {
        const WideString path = Wide(file);
        utils::TImageFacts facts;
        const double factsUs = MicrosecondsPerCall(kRuns, [&] { facts = utils::ReadImageFactsOfFile(path); });
        const double lengthUs = MicrosecondsPerCall(kRuns, [&] { utils::GetFileLength(path); });
        std::printf("file=%s bytes=%lld image=%ldx%ld facts_us=%.2f length_us=%.2f\n", file.filename().string().c_str(),
                    static_cast<long long>(std::filesystem::file_size(file)), static_cast<long>(facts.width),
                    static_cast<long>(facts.height), factsUs, lengthUs);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
