// teardown.exe: one upload through Kestrune.dll, then the end of the process or of the DLL, the
// two ways a web server's worker process ends with the component. The Wine harness runs it many
// times under `timeout` and expects exit code 0 every time.
//
//   teardown.exe exit   TEMPDIR            created through COM (the DLL must be registered); after
//                                          Save the process ends at once, objects still alive
//   teardown.exe unload TEMPDIR DLLPATH    a copy of the DLL, loaded by the program itself (so that
//                                          COM holds no reference to it); after Save every object is
//                                          released and the program calls FreeLibrary without
//                                          asking DllCanUnloadNow, while the DLL's worker threads
//                                          run. The DLL must stay mapped until its workers have
//                                          ended, and then be gone.
//
// It prints what went wrong and exits 1 when the upload itself does not succeed, or when the DLL
// goes away under its workers or stays after them.
#include "platform/win.h"

#include "com/bstr.h"
#include "com/com_ptr.h"
#include "host/page_host.h"
#include "progress/progress_timer.h"
#include "progress/upload_manager.h"

#include "kestrune_idl.h"

#include <tlhelp32.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

// Two text fields and a file, so that Save registers statistics, subscribes them to the timer and
// writes (and, on release, deletes) a temporary file.
const char kBody[] = "--b\r\n"
                     "Content-Disposition: form-data; name=\"title\"\r\n\r\n"
                     "holiday\r\n"
                     "--b\r\n"
                     "Content-Disposition: form-data; name=\"photo\"; filename=\"photo.jpg\"\r\n"
                     "Content-Type: image/jpeg\r\n\r\n"
                     "not really a picture\r\n"
                     "--b--\r\n";

int Fail(const char* what, HRESULT hr)
{
    std::fprintf(stderr, "teardown: %s failed (0x%08lX)\n", what, static_cast<unsigned long>(hr));
    return 1;
}

// Binds upload to a page over the request above and runs Save into tempDir.
HRESULT Upload(IUpload* upload, const wchar_t* tempDir, com::ComPtr<host::CScriptingContext>& page)
{
    page = host::CreateMemoryPage("POST", {{"Content-Type", "multipart/form-data; boundary=b"}}, std::string(kBody));
    HRESULT hr = upload->OnStartPage(static_cast<IScriptingContext*>(page.Get()));
    if (FAILED(hr))
        return hr;
    hr = upload->Save(com::Bstr(WideString(tempDir)).Get());
    if (FAILED(hr))
        return hr;
    com::ComPtr<IUploadedFileCollection> files;
    LONG count = 0;
    hr = upload->get_Files(files.Receive());
    if (SUCCEEDED(hr))
        hr = files->get_Count(&count);
    return SUCCEEDED(hr) && count != 1 ? E_UNEXPECTED : hr;
}

int ExitAtOnce(const wchar_t* tempDir)
{
    com::ComPtr<IUpload> upload;
    HRESULT hr = ::CoCreateInstance(CLSID_Upload, nullptr, CLSCTX_INPROC_SERVER, IID_IUpload, upload.ReceiveVoid());
    if (FAILED(hr))
        return Fail("CoCreateInstance(Upload)", hr);
    com::ComPtr<host::CScriptingContext> page;
    hr = Upload(upload.Get(), tempDir, page);
    if (FAILED(hr))
        return Fail("the upload", hr);
    std::fflush(stdout);
    ::ExitProcess(0); // the worker threads run, statistics are registered, objects are alive
}

// The ids of this process's threads.
std::set<DWORD> ThreadsOfThisProcess()
{
    std::set<DWORD> ids;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId())
            ids.insert(entry.th32ThreadID);
    }
    ::CloseHandle(snapshot);
    return ids;
}

// Waits up to ten seconds for the module at path to be unmapped.
bool WaitUntilUnloaded(const std::wstring& path)
{
    for (int i = 0; i < 1000; ++i) {
        if (!::GetModuleHandleW(path.c_str()))
            return true;
        ::Sleep(10);
    }
    return false;
}

int UnloadUnderRunningWorkers(const wchar_t* tempDir, const wchar_t* dllPath)
{
    // A copy under a name of its own: COM loads the registered DLL for the objects it creates and
    // keeps that one, while this copy is held by this program and the copy's worker threads only.
    wchar_t folder[MAX_PATH];
    if (!::GetTempPathW(MAX_PATH, folder))
        return Fail("GetTempPathW", HRESULT_FROM_WIN32(::GetLastError()));
    const std::wstring copy =
        std::wstring(folder) + L"kestrune-unload-" + std::to_wstring(::GetCurrentProcessId()) + L".dll";
    if (!::CopyFileW(dllPath, copy.c_str(), FALSE))
        return Fail("CopyFileW of the DLL", HRESULT_FROM_WIN32(::GetLastError()));

    const std::set<DWORD> before = ThreadsOfThisProcess();
    HMODULE dll = ::LoadLibraryW(copy.c_str());
    if (!dll)
        return Fail("LoadLibraryW", HRESULT_FROM_WIN32(::GetLastError()));
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
    if (!getClassObject)
        return Fail("GetProcAddress(DllGetClassObject)", E_FAIL);
    {
        com::ComPtr<IClassFactory> factory;
        HRESULT hr = getClassObject(CLSID_Upload, IID_IClassFactory, factory.ReceiveVoid());
        if (FAILED(hr))
            return Fail("DllGetClassObject(Upload)", hr);
        com::ComPtr<IUpload> upload;
        hr = factory->CreateInstance(nullptr, IID_IUpload, upload.ReceiveVoid());
        if (FAILED(hr))
            return Fail("CreateInstance(Upload)", hr);
        com::ComPtr<host::CScriptingContext> page;
        hr = Upload(upload.Get(), tempDir, page);
        if (FAILED(hr))
            return Fail("the upload", hr);
        upload->OnEndPage();
    }
    // Save started the copy's two workers: the progress timer's (idle for a minute now) and the
    // upload manager's (which keeps the ended upload for ten minutes).
    std::set<DWORD> started;
    for (DWORD id : ThreadsOfThisProcess())
        if (!before.contains(id) && id != ::GetCurrentThreadId())
            started.insert(id);
    if (started.empty())
        return Fail("finding the worker threads Save started", E_FAIL);

    if (!::FreeLibrary(dll))
        return Fail("FreeLibrary", HRESULT_FROM_WIN32(::GetLastError()));
    if (!::GetModuleHandleW(copy.c_str())) {
        std::fprintf(stderr, "teardown: FreeLibrary unmapped the DLL while its worker threads still ran\n");
        return 1; // they would next run in unmapped code
    }

    // Ask the workers to end, as their owners do (other threads ignore these thread messages).
    for (DWORD id : started) {
        ::PostThreadMessageW(id, CUploadManager::QuitMessage, 0, 0);
        ::PostThreadMessageW(id, CProgressTimer::QuitMessage, 0, 0);
    }
    if (!WaitUntilUnloaded(copy)) {
        std::fprintf(stderr, "teardown: the DLL stayed loaded after its worker threads were told to end\n");
        return 1;
    }
    if (!::DeleteFileW(copy.c_str()))
        return Fail("DeleteFileW of the unloaded copy", HRESULT_FROM_WIN32(::GetLastError()));
    ::CoUninitialize();
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (!((mode == L"exit" && argc == 3) || (mode == L"unload" && argc == 4))) {
        std::fprintf(stderr, "usage: teardown.exe exit TEMPDIR | unload TEMPDIR DLLPATH\n");
        return 2;
    }
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr))
        return Fail("CoInitializeEx", hr);
    return mode == L"exit" ? ExitAtOnce(argv[2]) : UnloadUnderRunningWorkers(argv[2], argv[3]);
}
