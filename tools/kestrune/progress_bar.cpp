#include "tools/kestrune/progress_bar.h"

#include "com/bstr.h"
#include "host/com_apartment.h"
#include "server/instance_creators.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

std::string Narrow(const WideString& text)
{
    std::string out;
    for (OLECHAR c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::string HumanBytes(double bytes)
{
    static const char* const units[] = {"B", "KiB", "MiB", "GiB"};
    int unit = 0;
    while (bytes >= 1024.0 && unit < 3) {
        bytes /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
    return text;
}

} // namespace

CProgressBar::CProgressBar(WideString id, std::FILE* out, std::chrono::milliseconds period)
    : id_(std::move(id)), out_(out), period_(period), thread_([this] { Poll(); })
{}

CProgressBar::~CProgressBar()
{
    Finish();
}

void CProgressBar::Finish() noexcept
{
    if (!thread_.joinable())
        return;
    stop_ = true;
    thread_.join();
    if (drew_) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
}

bool CProgressBar::Read(IProgress* progress, TProgressSnapshot& s)
{
    LONG uploaded = 0, total = 0, files = 0;
    com::Bstr text;
    const bool ok = SUCCEEDED(progress->get_UploadStatus(&s.status)) &&
                    SUCCEEDED(progress->get_UploadedBytes(&uploaded)) && SUCCEEDED(progress->get_TotalBytes(&total)) &&
                    SUCCEEDED(progress->get_UploadedFilesCount(&files)) &&
                    SUCCEEDED(progress->get_PercentDone(&s.percent)) &&
                    SUCCEEDED(progress->get_BytesPerSecondAverage(&s.bytesPerSecond)) &&
                    SUCCEEDED(progress->get_SecondsLeftAverage(&s.secondsLeft)) &&
                    SUCCEEDED(progress->get_UploadStatusString(text.Receive()));
    s.uploadedBytes = uploaded;
    s.totalBytes = total;
    s.filesDone = files;
    s.statusText = Narrow(text.ToWide());
    return ok;
}

std::string CProgressBar::Render(const TProgressSnapshot& s, int width)
{
    const double clamped = std::isfinite(s.percent) ? std::fmin(std::fmax(s.percent, 0.0), 100.0) : 0.0;
    const int filled = static_cast<int>(clamped / 100.0 * width + 0.5);
    std::string line = "[" + std::string(filled, '#') + std::string(width - filled, '-') + "] ";
    char figures[160];
    // Byte counts are 32-bit and unsigned at heart.
    std::snprintf(figures, sizeof figures, "%5.1f%% %s / %s", clamped,
                  HumanBytes(static_cast<std::uint32_t>(s.uploadedBytes)).c_str(),
                  HumanBytes(static_cast<std::uint32_t>(s.totalBytes)).c_str());
    line += figures;
    if (s.status == Uploading) {
        line += ", " + HumanBytes(s.bytesPerSecond) + "/s";
        // 4294967.295 s is the statistics' "unknown".
        if (s.secondsLeft > 0.0 && s.secondsLeft < 4294967.0) {
            std::snprintf(figures, sizeof figures, ", %.0f s left", std::ceil(s.secondsLeft));
            line += figures;
        }
    }
    if (s.filesDone > 0)
        line += ", " + std::to_string(s.filesDone) + (s.filesDone == 1 ? " file" : " files");
    if (!s.statusText.empty())
        line += " - " + s.statusText;
    return line;
}

void CProgressBar::Poll() noexcept
{
    try {
        const host::CComApartment apartment(COINIT_MULTITHREADED); // the polling thread joins the MTA
        com::ComPtr<IProgress> progress;
        if (FAILED(com::CreateProgressInstance(nullptr, IID_IProgress, progress.ReceiveVoid())) || !progress)
            return;
        com::Bstr id(id_);
        if (FAILED(progress->put_ID(id.Get())))
            return;
        for (;;) {
            const bool stopping = stop_.load();
            TProgressSnapshot snapshot;
            // Before Save registers the upload the ID reads as Waiting; nothing to draw yet.
            if (Read(progress.Get(), snapshot) && snapshot.status != Waiting)
                Draw(snapshot);
            if (stopping)
                return;
            std::this_thread::sleep_for(period_);
        }
    } catch (...) {
    }
}

void CProgressBar::Draw(const TProgressSnapshot& snapshot) noexcept
{
    const std::string line = Render(snapshot);
    std::fprintf(out_, "\r%s\x1b[K", line.c_str());
    std::fflush(out_);
    last_ = snapshot;
    drew_ = true;
}
