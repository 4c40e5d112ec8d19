// pagerun.exe PAGE.vbs [REQUEST.http]
//
// Runs a VBScript page under the VBScript engine with the page objects Request, Response and
// ScriptingContext (from a captured HTTP request, or an empty GET when none is given), and
// ErrorInfo, which leaves an error object on the thread as another failing component would.
// Response.Write goes to standard output as UTF-8, byte for byte; a script error goes to standard
// error with its line and HRESULT, and the exit code is 1. Usage and file errors exit with 2.
#include "com/code_page_text.h"
#include "com/com_ptr.h"
#include "com/failure_reason.h"
#include "host/com_apartment.h"
#include "host/page_engine.h"
#include "host/page_host.h"
#include "platform/win.h"
#include "tools/pagerun/error_info_object.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace {

std::string ToUtf8(const WideString& text)
{
    return com::NarrowText(text, CP_UTF8).value_or(std::string());
}

// The page's text: UTF-8, with or without a byte order mark.
WideString PageText(const std::string& bytes)
{
    std::string_view view(bytes);
    if (view.starts_with("\xEF\xBB\xBF"))
        view.remove_prefix(3);
    std::optional<WideString> text = com::WidenText(view, CP_UTF8);
    if (!text)
        throw std::runtime_error("the page is not valid UTF-8");
    return std::move(*text);
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

void ReportScriptError(const wchar_t* pagePath, const WideString& page, const host::TScriptError& error)
{
    std::fprintf(stderr, "%s(%lu): script error %s%s%s\n    %s\n", ToUtf8(pagePath).c_str(),
                 static_cast<unsigned long>(error.line + 1), com::HResult{error.code}.Text().c_str(),
                 error.description.empty() ? "" : ": ", ToUtf8(error.description).c_str(),
                 ToUtf8(PageLine(page, error.line)).c_str());
}

// What pagerun says when the engine cannot start or take the page's objects.
std::runtime_error EngineFailure(const host::EScriptEngine& failure)
{
    using TStep = host::EScriptEngine::TStep;
    const char* step = "the VBScript engine";
    switch (failure.Step()) {
    case TStep::FindEngine: step = "CLSIDFromProgID(VBScript)"; break;
    case TStep::CreateEngine: step = "creating the VBScript engine"; break;
    case TStep::QueryParser: step = "IActiveScriptParse"; break;
    case TStep::InitNew: step = "InitNew"; break;
    case TStep::SetSite: step = "SetScriptSite"; break;
    case TStep::AddItem: step = "AddNamedItem"; break;
    case TStep::Start: step = "SetScriptState"; break;
    }
    return std::runtime_error(std::string(step) + " failed (" + com::HResult{failure.Code()}.Text() + ")");
}

int RunPage(const wchar_t* pagePath, const wchar_t* requestPath)
{
    const WideString page = PageText(ReadFile(pagePath));
    host::CComApartment apartment(COINIT_APARTMENTTHREADED);
    if (FAILED(apartment.Result()))
        throw std::runtime_error("CoInitializeEx failed");

    auto sink = [](const WideString& text) {
        const std::string bytes = ToUtf8(text);
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    };
    com::ComPtr<host::CScriptingContext> context = requestPath ? host::OpenCapturedPage(requestPath, sink)
                                                               : host::CreateMemoryPage("GET", {}, std::string(), sink);
    com::ComPtr<pagerun::CErrorInfoObject> errorInfo = host::MakeHostObject<pagerun::CErrorInfoObject>();
    try {
        host::CPageEngine engine;
        engine.AddPageObjects(*context);
        engine.AddItem(L"ScriptingContext", static_cast<IScriptingContext*>(context.Get()));
        engine.AddItem(L"ErrorInfo", errorInfo.Get());
        const HRESULT parsed = engine.Run(page);
        engine.Close();
        std::fflush(stdout);

        if (engine.Error()) {
            ReportScriptError(pagePath, page, *engine.Error());
            return 1;
        }
        if (FAILED(parsed)) {
            std::fprintf(stderr, "%s: the script failed with %s\n", ToUtf8(pagePath).c_str(),
                         com::HResult{parsed}.Text().c_str());
            return 1;
        }
        return 0;
    } catch (const host::EScriptEngine& failure) {
        throw EngineFailure(failure);
    }
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
