// Parse throughput against the limit of the machine. Each workload's body is generated on the fly
// (never held whole in memory) and handed out the way the request stream reads it: every read
// asks for the free room of the 8192-byte buffer and gets it. File parts go through the real
// temporary-file path into a directory on tmpfs. The limit is writing the same body to a file on
// the same tmpfs in 8192-byte writes.
//
// Usage: bench_parse [directory on tmpfs, default /dev/shm] [W1 W2 W3 W4: only these workloads]
// Prints: workload=W1 mb_per_s=... limit_mb_per_s=... ratio=... peak_rss_kib=...  (MB = 10^6 bytes)
//         files-only=W1 mb_per_s=... ratio=...   (the file contents alone, each to a new file, unparsed)
//         with-limits=W1 mb_per_s=... ratio=...  (every limit of the Upload set, none reached; ratio to
//                                                 the parse without limits)
//         refusal parts=426000 max_parts=10000 bytes_read=... of=... ms=...  (a body of 426,000 file
//                                                 parts under the default MaxParts)

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "parser/parse_post_query.h"
#include "platform/win.h"
#include "com/guid.h"

namespace {

// A body described as a list of pieces; repeated pieces and generated content are produced as
// they are read.
class CBodyGenerator {
public:
    void Literal(std::string text, std::size_t repeat = 1) { pieces_.push_back({std::move(text), repeat, 0}); }
    void Noise(std::size_t length) { pieces_.push_back({std::string(), 1, length}); }

    std::size_t Size() const
    {
        std::size_t total = 0;
        for (const auto& p : pieces_)
            total += p.noise ? p.noise : p.text.size() * p.repeat;
        return total;
    }

    bool AtEnd() const { return piece_ == pieces_.size(); }
    // Bytes not produced yet.
    std::size_t Remaining() const
    {
        std::size_t left = 0;
        for (std::size_t i = piece_; i < pieces_.size(); ++i)
            left += pieces_[i].noise ? pieces_[i].noise : pieces_[i].text.size() * pieces_[i].repeat;
        return left - offset_;
    }
    // Whether the next bytes are generated content (a file's body in these workloads).
    bool InNoise() const { return !AtEnd() && pieces_[piece_].noise != 0; }
    // Bytes left in the current piece.
    std::size_t PieceLeft() const
    {
        const Piece& p = pieces_[piece_];
        return (p.noise ? p.noise : p.text.size() * p.repeat) - offset_;
    }

    // Copies the next bytes, at most `max`; 0 at the end.
    std::size_t Produce(unsigned char* out, std::size_t max)
    {
        std::size_t done = 0;
        while (done < max && piece_ < pieces_.size()) {
            const Piece& p = pieces_[piece_];
            const std::size_t length = p.noise ? p.noise : p.text.size() * p.repeat;
            const std::size_t n = std::min(max - done, length - offset_);
            if (p.noise) {
                for (std::size_t k = 0; k < n;) {
                    const std::size_t at = (offset_ + k) % NoiseBlock().size();
                    const std::size_t run = std::min(n - k, NoiseBlock().size() - at);
                    std::memcpy(out + done + k, NoiseBlock().data() + at, run);
                    k += run;
                }
            } else {
                for (std::size_t k = 0; k < n;) {
                    const std::size_t at = (offset_ + k) % p.text.size();
                    const std::size_t run = std::min(n - k, p.text.size() - at);
                    std::memcpy(out + done + k, p.text.data() + at, run);
                    k += run;
                }
            }
            done += n;
            offset_ += n;
            if (offset_ == length) {
                ++piece_;
                offset_ = 0;
            }
        }
        return done;
    }

private:
    struct Piece {
        std::string text;
        std::size_t repeat;
        std::size_t noise;
    };

    // Random bytes, the stand-in for compressed file content.
    static const std::string& NoiseBlock()
    {
        static const std::string block = [] {
            std::string b(1 << 20, '\0');
            std::mt19937 rng(1);
            for (char& c : b)
                c = static_cast<char>(rng());
            return b;
        }();
        return block;
    }

    std::vector<Piece> pieces_;
    std::size_t piece_ = 0;
    std::size_t offset_ = 0;
};

// Reads like the request stream: each read asks for the free room of the buffer.
class CGeneratedSource : public parser::CDataSourceBase {
public:
    explicit CGeneratedSource(CBodyGenerator& body) : body_(body)
    {
        capacity = kBufferSize;
        try {
            ReadChunk();
        } catch (const ENoMoreData&) {
        }
    }
    void ReadChunk() override
    {
        end = static_cast<std::uint32_t>(body_.Produce(buffer, static_cast<std::size_t>(capacity)));
        position = 0;
        if (end == 0)
            throw ENoMoreData();
    }
    bool Refill(std::uint32_t keep, std::int32_t& shift) override
    {
        if (keep == 0) {
            shift = -static_cast<std::int32_t>(end);
            ReadChunk();
            return true;
        }
        std::memmove(buffer, buffer + end - keep, keep);
        const auto n = static_cast<std::uint32_t>(body_.Produce(buffer + keep, capacity - keep));
        shift = static_cast<std::int32_t>(keep) - static_cast<std::int32_t>(end);
        end = keep + n;
        position = n == 0 ? keep - 1 : keep;
        return n != 0;
    }

private:
    CBodyGenerator& body_;
};

// Takes every file over; the files are deleted after the clock has stopped.
class CKeepingReceiver : public parser::CFieldReceiver {
public:
    void ReceiveTextField(parser::CTextFieldData& text) override { textBytes += text.TakeValue().Length(); }
    void ReceiveFileField(parser::CFileFieldData& file) override { files.push_back(file.DetachTempFile()); }
    std::vector<utils::CDetachedTempFile> files;
    std::size_t textBytes = 0;
};

const std::string kBoundary = "KestruneBenchBoundary0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLM"; // 70 bytes

std::string FileHead(int i)
{
    return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"file" + std::to_string(i) +
           "\"; filename=\"C:\\Data\\file" + std::to_string(i) +
           ".bin\"\r\nContent-Type: application/octet-stream\r\n\r\n";
}

using Factory = CBodyGenerator (*)();

CBodyGenerator W1()
{
    CBodyGenerator g;
    g.Literal(FileHead(0));
    g.Noise(std::size_t{256} << 20);
    g.Literal("\r\n--" + kBoundary + "--\r\n");
    return g;
}

CBodyGenerator W2()
{
    CBodyGenerator g;
    std::string all;
    for (int i = 0; i < 20000; ++i) {
        all += "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"field" + std::to_string(i) + "\"\r\n\r\n";
        all += "value number " + std::to_string(i) + " with some words to reach fifty b\r\n";
    }
    g.Literal(all + "--" + kBoundary + "--\r\n");
    return g;
}

CBodyGenerator W3()
{
    CBodyGenerator g;
    const std::string nearMiss = "\r\n--" + kBoundary.substr(0, kBoundary.size() - 1);
    g.Literal(FileHead(0));
    g.Literal(nearMiss, (std::size_t{64} << 20) / nearMiss.size());
    g.Literal("\r\n--" + kBoundary + "--\r\n");
    return g;
}

CBodyGenerator W4()
{
    CBodyGenerator g;
    for (int i = 0; i < 1000; ++i) {
        g.Literal(FileHead(i));
        g.Noise(64 << 10);
        g.Literal("\r\n");
    }
    g.Literal("--" + kBoundary + "--\r\n");
    return g;
}

WideString Wide(const std::filesystem::path& p)
{
    const auto u = p.u16string();
    return WideString(u.begin(), u.end());
}

void ResetPeakRss()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

long PeakRssKib()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

double Seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Every limit set, none reached by W1 to W4: what checking them costs.
parser::TPartLimits GenerousLimits()
{
    parser::TPartLimits limits;
    limits.maxFileBytes = 300u << 20;
    limits.maxFiles = 1000;
    limits.maxFields = 20000;
    limits.maxFieldBytes = 64u << 20;
    limits.maxParts = 20000;
    return limits;
}

// Parses the body; returns seconds.
double TimeParse(Factory make, const std::filesystem::path& dir, const parser::TPartLimits& limits = {})
{
    CBodyGenerator body = make();
    TParserOptions options;
    options.boundary = kBoundary;
    options.tempDir = Wide(dir);
    options.limits = limits;
    CKeepingReceiver receiver;
    const auto start = std::chrono::steady_clock::now();
    CGeneratedSource source(body);
    parser::ParsePostQuery(options, source, receiver, nullptr);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return Seconds(elapsed);
}

// Writes the same body to one file in 8192-byte writes; returns seconds.
double TimeLimit(Factory make, const std::filesystem::path& dir)
{
    CBodyGenerator body = make();
    const WideString path = Wide(dir / "limit.bin");
    unsigned char chunk[8192];
    const auto start = std::chrono::steady_clock::now();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create the limit file");
    for (std::size_t n; (n = body.Produce(chunk, sizeof chunk)) != 0;) {
        DWORD written = 0;
        WriteFile(file, chunk, static_cast<DWORD>(n), &written, nullptr);
    }
    CloseHandle(file);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    DeleteFileW(path.c_str());
    return Seconds(elapsed);
}

// Writes only the files' contents, each to a new GUID-named file as the parser would create it,
// in 8192-byte writes, with no parsing; returns seconds, or a negative value when the body has no
// file content. What the file system charges for the files themselves: the parser cannot beat it.
double TimeFilesOnly(Factory make, const std::filesystem::path& dir)
{
    CBodyGenerator body = make();
    std::vector<WideString> names;
    unsigned char chunk[8192];
    HANDLE file = INVALID_HANDLE_VALUE;
    const auto start = std::chrono::steady_clock::now();
    while (!body.AtEnd()) {
        const bool content = body.InNoise();
        const std::size_t n = body.Produce(chunk, std::min(sizeof chunk, body.PieceLeft()));
        if (!content) {
            if (file != INVALID_HANDLE_VALUE)
                CloseHandle(file);
            file = INVALID_HANDLE_VALUE;
            continue;
        }
        if (file == INVALID_HANDLE_VALUE) {
            names.push_back(Wide(dir) + OLESTR("\\") + com::NewGuidString());
            file = CreateFileW(names.back().c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE)
                throw std::runtime_error("cannot create a file");
        }
        DWORD written = 0;
        WriteFile(file, chunk, static_cast<DWORD>(n), &written, nullptr);
    }
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    for (const auto& name : names)
        DeleteFileW(name.c_str());
    return names.empty() ? -1.0 : Seconds(elapsed);
}

// 426,000 file parts of one byte: a 28 MB body that IIS's default request limit lets through.
CBodyGenerator Parts426000()
{
    CBodyGenerator g;
    g.Literal("--" + kBoundary);
    g.Literal("\r\nContent-Disposition: form-data; name=\"f\"; filename=\"f.bin\"\r\n\r\nx\r\n--" + kBoundary, 426000);
    g.Literal("--\r\n");
    return g;
}

// Parses the 426,000-part body under the default MaxParts and prints where it was refused.
void Refusal(const std::filesystem::path& dir)
{
    CBodyGenerator body = Parts426000();
    const std::size_t total = body.Size();
    TParserOptions options;
    options.boundary = kBoundary;
    options.tempDir = Wide(dir);
    options.limits.maxParts = 10000;
    CKeepingReceiver receiver;
    const auto start = std::chrono::steady_clock::now();
    CGeneratedSource source(body);
    bool refused = false;
    try {
        parser::ParsePostQuery(options, source, receiver, nullptr);
    } catch (const parser::CPartLimits::ETooManyParts&) {
        refused = true;
    }
    const double ms = Seconds(std::chrono::steady_clock::now() - start) * 1000.0;
    std::printf("refusal parts=426000 max_parts=10000 refused=%s files_kept=%zu bytes_read=%zu of=%zu ms=%.1f\n",
                refused ? "yes" : "no", receiver.files.size(), total - body.Remaining(), total, ms);
}

} // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path base = argc > 1 ? argv[1] : "/dev/shm";
    const std::filesystem::path dir = base / ("kestrune-bench-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    const std::pair<const char*, Factory> workloads[] = {{"W1", W1}, {"W2", W2}, {"W3", W3}, {"W4", W4}};
    int status = 0;
    // Further arguments pick workloads by name (all when none is given).
    const std::vector<std::string> picked(argv + std::min(argc, 2), argv + argc);
    for (const auto& [name, make] : workloads) {
        if (!picked.empty() && std::find(picked.begin(), picked.end(), name) == picked.end())
            continue;
        try {
            const double megabytes = static_cast<double>(make().Size()) / 1e6;
            ResetPeakRss();
            double parse = 1e9, limit = 1e9, filesOnly = 1e9, limited = 1e9;
            for (int run = 0; run < 3; ++run) { // best of three
                parse = std::min(parse, TimeParse(make, dir));
                limit = std::min(limit, TimeLimit(make, dir));
                filesOnly = std::min(filesOnly, TimeFilesOnly(make, dir));
                limited = std::min(limited, TimeParse(make, dir, GenerousLimits()));
            }
            std::printf("workload=%s mb_per_s=%.1f limit_mb_per_s=%.1f ratio=%.2f peak_rss_kib=%ld\n", name,
                        megabytes / parse, megabytes / limit, limit / parse, PeakRssKib());
            // The same files written without a parser: how much of the limit is left for parsing.
            if (filesOnly > 0)
                std::printf("files-only=%s mb_per_s=%.1f ratio=%.2f\n", name, megabytes / filesOnly, limit / filesOnly);
            std::printf("with-limits=%s mb_per_s=%.1f ratio=%.2f\n", name, megabytes / limited, parse / limited);
            std::fflush(stdout);
        } catch (...) {
            std::printf("workload=%s error\n", name);
            status = 1;
        }
    }
    if (picked.empty())
        Refusal(dir);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return status;
}
