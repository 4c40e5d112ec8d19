// aspserve.exe ROOT [--bind 127.0.0.1] [--port 8080] [--max-request-mb N]
//
// Serves the folder ROOT over HTTP/1.1: .asp pages run under the VBScript engine with the ASP
// page objects, other files are sent as they are. Each connection has its own thread in a
// single-threaded apartment; each page its own script engine. One line per request goes to
// standard error. Usage errors exit with 2; a port that cannot be bound with 1.
#include "platform/win.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "tools/aspserve/http_connection.h"
#include "tools/aspserve/socket_stream.h"
#include "tools/aspserve/wide_text.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: aspserve.exe ROOT [--bind 127.0.0.1] [--port 8080] [--max-request-mb N]\n");
    return 2;
}

bool ParseNumber(const wchar_t* text, unsigned long long max, unsigned long long& value)
{
    wchar_t* end = nullptr;
    value = std::wcstoull(text, &end, 10);
    return end && *end == 0 && end != text && value > 0 && value <= max;
}

void ServeOnThread(SOCKET socket, std::string remote, const aspserve::TServerSettings& settings)
{
    std::thread([socket, remote = std::move(remote), &settings] {
        // As ASP runs pages: a single-threaded apartment per request thread.
        const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        aspserve::ServeConnection(socket, remote, settings);
        if (SUCCEEDED(hr))
            ::CoUninitialize();
    }).detach();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return Usage();
    aspserve::TServerSettings settings;
    settings.bindAddress = "127.0.0.1";
    settings.maxRequestBytes = 2048ull << 20;
    std::error_code error;
    settings.root = std::filesystem::absolute(argv[1], error);
    if (error || !std::filesystem::is_directory(settings.root, error)) {
        std::fprintf(stderr, "aspserve: %s is not a folder\n", aspserve::NarrowText(argv[1], CP_UTF8).c_str());
        return 2;
    }
    for (int i = 2; i < argc; i += 2) {
        if (i + 1 >= argc)
            return Usage();
        unsigned long long number = 0;
        if (std::wcscmp(argv[i], L"--bind") == 0)
            settings.bindAddress = aspserve::NarrowText(argv[i + 1], CP_UTF8);
        else if (std::wcscmp(argv[i], L"--port") == 0 && ParseNumber(argv[i + 1], 65535, number))
            settings.port = static_cast<unsigned short>(number);
        else if (std::wcscmp(argv[i], L"--max-request-mb") == 0 && ParseNumber(argv[i + 1], 2047, number))
            settings.maxRequestBytes = number << 20;
        else
            return Usage();
    }

    // This thread is the process's first single-threaded apartment and serves its messages for
    // good: Wine creates objects of the "Neutral" threading model there, whatever thread asks.
    const HRESULT apartment = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(apartment)) {
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
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 64) != 0) {
        std::fprintf(stderr, "aspserve: cannot listen on %s:%u (error %d)\n", settings.bindAddress.c_str(),
                     settings.port, ::WSAGetLastError());
        return 1;
    }
    std::fprintf(stderr, "aspserve: serving %s on http://%s:%u/\n",
                 aspserve::NarrowText(settings.root.wstring(), CP_UTF8).c_str(), settings.bindAddress.c_str(),
                 settings.port);
    std::fflush(stderr);

    while (true) {
        if (!aspserve::WaitReadableServingMessages(listener))
            continue;
        sockaddr_in peer = {};
        int peerLength = sizeof peer;
        const SOCKET accepted = ::accept(listener, reinterpret_cast<sockaddr*>(&peer), &peerLength);
        if (accepted == INVALID_SOCKET)
            continue;
        char remote[INET_ADDRSTRLEN] = "";
        ::inet_ntop(AF_INET, &peer.sin_addr, remote, sizeof remote);
        ServeOnThread(accepted, remote, settings);
    }
}
