#include "platform/posix/debug_output.h"

#include <mutex>
#include <utility>

namespace {

struct DebugOutput {
    std::mutex lock;
    std::function<void(const WCHAR*)> hook;
};

DebugOutput& Output()
{
    static auto* output = new DebugOutput; // never destroyed: threads may still write during exit
    return *output;
}

} // namespace

void OutputDebugStringW(LPCWSTR lpOutputString)
{
    if (!lpOutputString)
        return;
    DebugOutput& output = Output();
    std::lock_guard<std::mutex> hold(output.lock);
    if (output.hook)
        output.hook(lpOutputString);
}

namespace platform {

void SetDebugOutputHook(std::function<void(const WCHAR*)> hook)
{
    DebugOutput& output = Output();
    std::lock_guard<std::mutex> hold(output.lock);
    output.hook = std::move(hook);
}

} // namespace platform
