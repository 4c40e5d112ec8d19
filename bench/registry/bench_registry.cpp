// Registers and ends N uploads with distinct IDs through the module's upload manager, for growing N,
// and prints the time per upload. Each upload is registered (Save's start) and unregistered (Save's
// end, which keeps it for ten minutes); once the registry holds its maximum, every new upload makes
// room by forgetting the ended upload that expires first.
#include "com/com_object.h"
#include "server/module.h"
#include "progress/upload_manager.h"
#include "progress/upload_metadata.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

WideString Id(std::size_t round, std::size_t i, std::size_t length)
{
    std::string text = "upload-" + std::to_string(round) + "-" + std::to_string(i) + "-";
    text.resize(length, 'x');
    return WideString(text.begin(), text.end());
}

// Seconds for n uploads registered and ended one after another, with IDs of idLength characters.
double Run(std::size_t round, std::size_t n, std::size_t idLength, IUploadMetadata* metadata)
{
    CUploadManager& manager = CKestruneModule::Instance().UploadManager();
    std::vector<WideString> ids;
    ids.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        ids.push_back(Id(round, i, idLength));
    const auto start = Clock::now();
    for (WideString& id : ids) {
        IUploadMetadata* raw = metadata;
        manager.Register(id, raw);
        manager.Unregister(id);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (const WideString& id : ids)
        manager.Remove(id); // what is left of this round, so that the next starts empty
    return seconds;
}

} // namespace

int main()
{
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        com::ComPtr<com::ComObject<CUploadMetadata>> stats;
        com::ComPtr<IUploadMetadata> metadata;
        if (FAILED(com::CreateComObject(stats)) ||
            FAILED(com::QueryInterfaceTo(stats.Get(), IID_IUploadMetadata, metadata))) {
            std::fprintf(stderr, "bench_registry: cannot create a statistics object\n");
            return 1;
        }
        std::printf("registry of at most %zu uploads; each upload registered, then ended\n",
                    CUploadManager::MaxEntries);
        std::printf("%10s %10s %12s %14s\n", "uploads", "ID chars", "seconds", "us per upload");
        std::size_t round = 0;
        for (std::size_t idLength : {40u, 1024u}) {
            for (std::size_t n : {10000u, 25000u, 50000u, 100000u}) {
                const double seconds = Run(++round, n, idLength, metadata.Get());
                std::printf("%10zu %10zu %12.3f %14.2f\n", n, idLength, seconds, seconds * 1e6 / double(n));
            }
        }
        CKestruneModule::Instance().UploadManager().StopWorker();
    }
    ::CoUninitialize();
    return 0;
}
