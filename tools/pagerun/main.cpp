// pagerun.exe PAGE.vbs [REQUEST.http]
//
// Runs a VBScript page under the VBScript engine with the page objects Request, Response and
// ScriptingContext (from a captured HTTP request, or an empty GET when none is given), and
// ErrorInfo, which leaves an error object on the thread as another failing component would.
// Response.Write goes to standard output as UTF-8, byte for byte; a script error goes to standard
// error with its line and HRESULT, and the exit code is 1. Usage and file errors exit with 2.
#include "platform/win.h"

#include <initguid.h>

#include <activscp.h>

#include "com/com_ptr.h"
#include "host/page_host.h"
#include "tools/pagerun/error_info_object.h"
#include "tools/pagerun/script_site.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string ToUtf8(const WideString& text)
{
    if (text.empty())
        return {};
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

WideString FromUtf8(const std::string& bytes)
{
    std::string_view view(bytes);
    if (view.starts_with("\xEF\xBB\xBF"))
        view.remove_prefix(3);
    if (view.empty())
        return {};
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, view.data(), static_cast<int>(view.size()), nullptr, 0);
    if (size <= 0)
        throw std::runtime_error("the page is not valid UTF-8");
    WideString out(static_cast<size_t>(size), 0);
    ::MultiByteToWideChar(CP_UTF8, 0, view.data(), static_cast<int>(view.size()), out.data(), size);
    return out;
}

std::string ReadFile(const wchar_t* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + ToUtf8(path));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Line index (0-based) of the page, without its line break.
WideString PageLine(const WideString& page, ULONG index)
{
    size_t start = 0;
    for (ULONG i = 0; i < index; ++i) {
        start = page.find(L'\n', start);
        if (start == WideString::npos)
            return {};
        ++start;
    }
    size_t end = page.find(L'\n', start);
    WideString line = page.substr(start, end == WideString::npos ? WideString::npos : end - start);
    if (!line.empty() && line.back() == L'\r')
        line.pop_back();
    return line;
}

void ReportScriptError(const wchar_t* pagePath, const WideString& page, const pagerun::TScriptError& error)
{
    std::fprintf(stderr, "%s(%lu): script error 0x%08lX%s%s\n    %s\n", ToUtf8(pagePath).c_str(),
                 static_cast<unsigned long>(error.line + 1), static_cast<unsigned long>(error.code),
                 error.description.empty() ? "" : ": ", ToUtf8(error.description).c_str(),
                 ToUtf8(PageLine(page, error.line)).c_str());
}

// Initialises COM on this thread for the run.
class ComApartment {
public:
    ComApartment()
    {
        if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
            throw std::runtime_error("CoInitializeEx failed");
    }
    ~ComApartment() { ::CoUninitialize(); }
};

void Check(HRESULT hr, const char* what)
{
    if (FAILED(hr)) {
        char text[32];
        std::snprintf(text, sizeof text, " (0x%08lX)", static_cast<unsigned long>(hr));
        throw std::runtime_error(std::string(what) + " failed" + text);
    }
}

int RunPage(const wchar_t* pagePath, const wchar_t* requestPath)
{
    const WideString page = FromUtf8(ReadFile(pagePath));
    ComApartment apartment;

    auto sink = [](const WideString& text) {
        const std::string bytes = ToUtf8(text);
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    };
    com::ComPtr<host::CScriptingContext> context = requestPath ? host::OpenCapturedPage(requestPath, sink)
                                                               : host::CreateMemoryPage("GET", {}, std::string(), sink);

    com::ComPtr<IRequest> request;
    com::ComPtr<IResponse> response;
    Check(context->get_Request(request.Receive()), "Request");
    Check(context->get_Response(response.Receive()), "Response");

    pagerun::CScriptSite site;
    site.AddItem(L"Request", request.Get());
    site.AddItem(L"Response", response.Get());
    site.AddItem(L"ScriptingContext", static_cast<IScriptingContext*>(context.Get()));
    com::ComPtr<pagerun::CErrorInfoObject> errorInfo(new pagerun::CErrorInfoObject());
    site.AddItem(L"ErrorInfo", errorInfo.Get());

    CLSID vbscript;
    Check(::CLSIDFromProgID(L"VBScript", &vbscript), "CLSIDFromProgID(VBScript)");
    com::ComPtr<IActiveScript> engine;
    Check(::CoCreateInstance(vbscript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript, engine.ReceiveVoid()),
          "creating the VBScript engine");
    com::ComPtr<IActiveScriptParse> parser;
    Check(engine->QueryInterface(IID_IActiveScriptParse, parser.ReceiveVoid()), "IActiveScriptParse");
    Check(parser->InitNew(), "InitNew");
    Check(engine->SetScriptSite(&site), "SetScriptSite");
    for (const wchar_t* name : {L"Request", L"Response", L"ScriptingContext", L"ErrorInfo"})
        Check(engine->AddNamedItem(name, SCRIPTITEM_ISVISIBLE), "AddNamedItem");
    Check(engine->SetScriptState(SCRIPTSTATE_STARTED), "SetScriptState");

    EXCEPINFO exception = {};
    const HRESULT parsed = parser->ParseScriptText(page.c_str(), nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE,
                                                   nullptr, &exception);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrHelpFile);
    engine->Close();
    std::fflush(stdout);

    if (site.Error()) {
        ReportScriptError(pagePath, page, *site.Error());
        return 1;
    }
    if (FAILED(parsed)) {
        std::fprintf(stderr, "%s: the script failed with 0x%08lX\n", ToUtf8(pagePath).c_str(),
                     static_cast<unsigned long>(parsed));
        return 1;
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: pagerun.exe PAGE.vbs [REQUEST.http]\n");
        return 2;
    }
    try {
        return RunPage(argv[1], argc == 3 ? argv[2] : nullptr);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "pagerun: %s\n", e.what());
        return 2;
    }
}
