// Time and peak memory of every entry of the hostile-request catalogue, run through Save over the
// page host in-process (no JSON printer, no file of the body). Each entry runs in a child process
// so that its peak resident set is its own; an idle child gives the baseline that is subtracted.
// For an entry with text fields, the peak is also given as a multiple of their UTF-16 size.

#include "tests/support/hostile_run.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct TReport {
    double seconds = 0;
    long long bytesRead = 0;
    char outcome[200] = {};
};

// Runs recipe (or nothing) in a child; returns its report, peak RSS in KiB and CPU seconds in user
// and in system mode (a loaded machine disturbs them less than the wall clock; system time is
// mostly first touches of fresh memory, dear on some virtual machines).
bool RunChild(const hostile::THostileRecipe* recipe, TReport& report, long& peakKib, double& userSeconds,
              double& systemSeconds)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return false;
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        close(pipeFds[0]);
        TReport r;
        if (recipe) {
            char folder[] = "/tmp/kestrune-bench-XXXXXX";
            if (!mkdtemp(folder))
                _exit(2);
            ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            const auto start = std::chrono::steady_clock::now();
            const hostile::TOutcome got = hostile::RunRecipe(*recipe, folder);
            r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            r.bytesRead = got.bytesRead;
            std::snprintf(r.outcome, sizeof r.outcome, "%s", got.ToString().c_str());
            rmdir(folder);
        }
        if (write(pipeFds[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r))
            _exit(3);
        _exit(0); // no teardown: the statistics kept for minutes would only delay the exit
    }
    close(pipeFds[1]);
    const bool got = read(pipeFds[0], &report, sizeof report) == static_cast<ssize_t>(sizeof report);
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    peakKib = usage.ru_maxrss;
    userSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6;
    systemSeconds = usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
    return got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Text characters the entry expects, from its expect line.
long long ExpectedTextChars(const std::string& expected)
{
    const auto at = expected.find("text-chars=");
    return at == std::string::npos ? 0 : std::atoll(expected.c_str() + at + 11);
}

} // namespace

int main(int argc, char** argv)
{
    std::string only;
    std::filesystem::path catalogue = KESTRUNE_TEST_DATA_DIR "/hostile";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = argv[++i];
        else
            catalogue = argv[i];
    }
    TReport idle;
    long idleKib = 0;
    double idleUser = 0, idleSystem = 0;
    if (!RunChild(nullptr, idle, idleKib, idleUser, idleSystem)) {
        std::fprintf(stderr, "bench_hostile: the idle child failed\n");
        return 2;
    }
    std::printf("idle child: %.1f MiB resident\n\n", idleKib / 1024.0);
    std::printf("%-28s %9s %9s %7s %7s %7s %8s %8s %9s %8s  %s\n", "entry", "body MiB", "read MiB", "wall s", "user s",
                "sys s", "MB/s usr", "MB/s cpu", "peak MiB", "x UTF-16", "outcome");
    int mismatches = 0;
    for (const auto& file : hostile::CatalogueFiles(catalogue)) {
        const auto recipe = hostile::THostileRecipe::Load(file);
        if (!only.empty() && recipe.name != only)
            continue;
        TReport report;
        long peakKib = 0;
        double user = 0, system = 0;
        if (!RunChild(&recipe, report, peakKib, user, system)) {
            std::printf("%-30s child failed\n", recipe.name.c_str());
            ++mismatches;
            continue;
        }
        const double bodyBytes = static_cast<double>(recipe.BodyLength());
        const double peakMiB = (peakKib - idleKib) / 1024.0;
        const long long textChars = ExpectedTextChars(recipe.expected);
        char ratio[32] = "-";
        if (textChars >= (1 << 20))
            std::snprintf(ratio, sizeof ratio, "%.2f", (peakKib - idleKib) * 1024.0 / (2.0 * textChars));
        const bool same = recipe.expected == report.outcome;
        mismatches += same ? 0 : 1;
        std::printf("%-28s %9.2f %9.2f %7.3f %7.3f %7.3f %8.0f %8.0f %9.1f %8s  %s\n", recipe.name.c_str(),
                    bodyBytes / 1048576.0, report.bytesRead / 1048576.0, report.seconds, user, system,
                    bodyBytes / 1e6 / user, bodyBytes / 1e6 / (user + system), peakMiB, ratio,
                    same ? "as expected" : report.outcome);
    }
    return mismatches == 0 ? 0 : 1;
}
