// aspserve.exe FOLDER [options]   (aspserve.exe --help lists them)
//
// Serves FOLDER over HTTP/1.1: .asp pages run under the VBScript engine with the ASP page objects,
// other files are sent as they are. One thread (the connection poller) accepts connections and
// reads request heads; complete requests go to at most --max-page-threads request threads, each a
// single-threaded apartment, each page with its own script engine. One line per request goes to
// standard error. Usage errors exit with 2; a port that cannot be bound with 1.
#include "platform/win.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <bcrypt.h>

#include "com/code_page_text.h"
#include "host/com_apartment.h"
#include "tools/aspserve/application_state.h"
#include "tools/aspserve/connection_poller.h"
#include "tools/aspserve/request_answer.h"
#include "tools/aspserve/request_log.h"
#include "tools/aspserve/request_workers.h"
#include "tools/aspserve/server_options.h"
#include "tools/aspserve/session_store.h"

#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string ToUtf8(std::wstring_view text)
{
    return com::NarrowText(text, CP_UTF8).value_or(std::string());
}

// Unpredictable bytes for session keys, from the system's generator.
void SystemRandom(unsigned char* bytes, std::size_t count)
{
    if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        throw std::runtime_error("the system's random number generator failed");
}

unsigned DefaultPageThreads()
{
    // As ASP: 25 request threads per processor.
    SYSTEM_INFO system;
    ::GetSystemInfo(&system);
    return 25 * std::max<DWORD>(system.dwNumberOfProcessors, 1);
}

int Serve(const aspserve::TServerSettings& settings)
{
    // This thread is the process's first single-threaded apartment and serves its messages for
    // good: Wine creates objects of the "Neutral" threading model there, whatever thread asks.
    const host::CComApartment apartment(COINIT_APARTMENTTHREADED);
    if (FAILED(apartment.Result())) {
        std::fprintf(stderr, "aspserve: CoInitializeEx failed\n");
        return 1;
    }
    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        std::fprintf(stderr, "aspserve: WSAStartup failed\n");
        return 1;
    }
    const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(settings.port);
    if (listener == INVALID_SOCKET || ::inet_pton(AF_INET, settings.bindAddress.c_str(), &address.sin_addr) != 1 ||
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, SOMAXCONN) != 0) {
        std::fprintf(stderr, "aspserve: cannot listen on %s:%u (error %d)\n", settings.bindAddress.c_str(),
                     settings.port, ::WSAGetLastError());
        return 1;
    }

    aspserve::CSessionStore sessions([] { return ::GetTickCount64(); }, SystemRandom,
                                     static_cast<LONG>(settings.sessionTimeoutMinutes));
    aspserve::CApplicationState application;
    aspserve::CConnectionPoller* poller = nullptr;
    aspserve::CRequestWorkers* workers = nullptr;
    const aspserve::TServerContext context{settings, sessions, application,
                                           [&workers](auto connection) { workers->Resume(std::move(connection)); }};
    aspserve::CRequestWorkers requestWorkers(
        settings.maxPageThreads ? settings.maxPageThreads : DefaultPageThreads(),
        [&](std::shared_ptr<aspserve::CHttpConnection> connection) {
            const aspserve::TAnswer answer = aspserve::AnswerRequest(connection, context);
            if (answer != aspserve::TAnswer::Parked)
                poller->Return(std::move(connection), answer == aspserve::TAnswer::KeepOpen);
        });
    workers = &requestWorkers;
    aspserve::CConnectionPoller connectionPoller(
        listener, settings, [&](auto connection) { requestWorkers.Submit(std::move(connection)); });
    poller = &connectionPoller;

    std::fprintf(stderr, "aspserve: serving %s on http://%s:%u/\n", ToUtf8(settings.root.wstring()).c_str(),
                 settings.bindAddress.c_str(), settings.port);
    std::fflush(stderr);
    std::thread([&connectionPoller] { connectionPoller.Run(); }).detach();

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    try {
        std::vector<std::string> arguments;
        for (int i = 1; i < argc; ++i)
            arguments.push_back(ToUtf8(argv[i]));
        aspserve::TOptionsResult parsed = aspserve::ParseServerOptions(arguments);
        if (parsed.action == aspserve::TOptionsResult::Action::Help) {
            std::fputs(aspserve::ServerUsage().c_str(), stdout);
            return 0;
        }
        if (parsed.action == aspserve::TOptionsResult::Action::Fail) {
            std::fprintf(stderr, "aspserve: %s\n%s", parsed.error.c_str(), aspserve::ServerUsage().c_str());
            return 2;
        }
        aspserve::TServerSettings& settings = parsed.settings;
        std::error_code error;
        const std::filesystem::path given = settings.root;
        settings.root = std::filesystem::absolute(given, error);
        if (error || !std::filesystem::is_directory(settings.root, error)) {
            std::fprintf(stderr, "aspserve: %s is not a folder\n", ToUtf8(given.wstring()).c_str());
            return 2;
        }
        return Serve(settings);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "aspserve: %s\n", e.what());
        return 1;
    }
}
