// Upload throughput with and without progress readers, and the cost of one property read.
#include "com/bstr.h"
#include "com/com_object.h"
#include "server/instance_creators.h"
#include "server/module.h"
#include "host/page_host.h"
#include "progress/upload_metadata_auto_wrap.h"
#include "upload/upload.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr char kBoundary[] = "bench-progress-boundary";

class ApartmentScope {
public:
    ApartmentScope() noexcept { ::CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~ApartmentScope() { ::CoUninitialize(); }
};

std::string MakeBody(std::size_t fileBytes)
{
    std::string body =
        std::string("--") + kBoundary + "\r\nContent-Disposition: form-data; name=\"f\"; filename=\"big.bin\"\r\n\r\n";
    body.reserve(body.size() + fileBytes + 64);
    for (std::size_t i = 0; i < fileBytes; ++i)
        body += static_cast<char>('a' + i % 26);
    body += std::string("\r\n--") + kBoundary + "--\r\n";
    return body;
}

WideString Widen(const std::string& ascii)
{
    return WideString(ascii.begin(), ascii.end());
}

// One upload through an Upload object's Save under id; returns the seconds Save took.
double TrackedUpload(const std::string& body, const WideString& id, const WideString& tempDir)
{
    auto page = host::CreateMemoryPage(
        "POST", {{"Content-Type", std::string("multipart/form-data; boundary=") + kBoundary}}, body);
    com::ComPtr<com::ComObject<CUpload>> upload;
    if (FAILED(com::CreateComObject(upload)) || FAILED(upload->OnStartPage(page.Get())) ||
        FAILED(upload->put_ID(com::Bstr(id).Get())))
        throw std::runtime_error("cannot set up the Upload object");
    const com::Bstr dir(tempDir);
    const auto start = Clock::now();
    const HRESULT saved = upload->Save(dir.Get());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (saved != S_OK)
        throw std::runtime_error("Save failed");
    upload.Reset(); // deletes the temporary file
    CKestruneModule::Instance().UploadManager().Remove(id);
    return seconds;
}

com::ComPtr<IProgress> NewProgress(const WideString& id)
{
    com::ComPtr<IProgress> p;
    com::CreateProgressInstance(nullptr, IID_IProgress, p.ReceiveVoid());
    com::Bstr text(id);
    p->put_ID(text.Get());
    return p;
}

// MiB/s of one upload of body while `readers` threads poll its progress every millisecond.
double Throughput(const std::string& body, const WideString& tempDir, int readers, int round)
{
    const WideString id = Widen("bench-" + std::to_string(readers) + "-" + std::to_string(round));
    std::atomic<bool> stop{false};
    std::vector<std::thread> pollers;
    for (int r = 0; r < readers; ++r)
        pollers.emplace_back([&] {
            ApartmentScope apartment;
            auto p = NewProgress(id);
            while (!stop) {
                LONG bytes;
                DOUBLE percent, speed;
                p->get_UploadedBytes(&bytes);
                p->get_PercentDone(&percent);
                p->get_BytesPerSecondCurrent(&speed);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    const double seconds = TrackedUpload(body, id, tempDir);
    stop = true;
    for (auto& t : pollers)
        t.join();
    return static_cast<double>(body.size()) / seconds / (1024.0 * 1024.0);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double MedianReadNanoseconds()
{
    WideString id = OLESTR("bench-read");
    auto stats = std::make_unique<CUploadMetadataAutoWrap>(id, 1 << 30);
    auto p = NewProgress(OLESTR("bench-read"));
    std::vector<double> perRead;
    for (int batch = 0; batch < 2000; ++batch) {
        const auto start = Clock::now();
        for (int i = 0; i < 100; ++i) {
            DOUBLE percent;
            p->get_PercentDone(&percent);
        }
        perRead.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count() / 100.0);
    }
    stats.reset();
    CKestruneModule::Instance().UploadManager().Remove(OLESTR("bench-read"));
    std::sort(perRead.begin(), perRead.end());
    return perRead[perRead.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    const std::size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 64;
    ApartmentScope apartment;
    const std::string body = MakeBody(megabytes * 1024 * 1024);
    const WideString tempDir = Widen(dir);

    Throughput(body, tempDir, 0, -1); // warm-up
    // Alternating, so that a slow spell of the machine weighs on both alike.
    constexpr int kRounds = 7;
    std::vector<double> aloneRates, polledRates;
    for (int round = 0; round < kRounds; ++round) {
        aloneRates.push_back(Throughput(body, tempDir, 0, round));
        polledRates.push_back(Throughput(body, tempDir, 16, round));
    }
    const double alone = Median(aloneRates);
    const double polled = Median(polledRates);
    std::printf("upload of %zu MiB into %s (median of %d, alternating)\n", megabytes, dir.c_str(), kRounds);
    std::printf("  no progress readers:              %8.1f MiB/s\n", alone);
    std::printf("  16 readers polling every 1 ms:    %8.1f MiB/s  (%+.1f %%)\n", polled,
                (polled / alone - 1.0) * 100.0);
    const double readNs = MedianReadNanoseconds();
    std::printf("median cost of one PercentDone read: %.0f ns\n", readNs);
    // 16 readers x 3 reads x 1000 polls a second: the reads' own share of one core, free of the
    // scheduling noise that the throughput figures carry on a small machine.
    std::printf("16 readers' reads take %.2f %% of one core\n", 16 * 3 * 1000 * readNs / 1e9 * 100.0);

    CKestruneModule::Instance().UploadManager().StopWorker();
    CKestruneModule::Instance().ProgressTimer().StopWorker();
    return 0;
}
