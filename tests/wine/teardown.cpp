// teardown.exe: one upload through Kestrune.dll, then the end of the process or of the DLL, the
// two ways a web server's worker process ends with the component. The Wine harness runs it many
// times under `timeout` and expects exit code 0 every time.
//
//   teardown.exe exit   TEMPDIR            created through COM (the DLL must be registered); after
//                                          Save the process ends at once, objects still alive
//   teardown.exe unload TEMPDIR DLLPATH    loaded by the program itself; after Save every object is
//                                          released, CoFreeUnusedLibraries runs, then FreeLibrary
//
// It prints what went wrong and exits 1 when the upload itself does not succeed.
#include "platform/win.h"

#include "frame/bstr.h"
#include "frame/com_ptr.h"
#include "host/page_host.h"

#include "kestrune_idl.h"

#include <cstdio>
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
HRESULT Upload(IUpload* upload, const wchar_t* tempDir, frame::ComPtr<host::CScriptingContext>& page)
{
    page = host::CreateMemoryPage("POST", {{"Content-Type", "multipart/form-data; boundary=b"}}, std::string(kBody));
    HRESULT hr = upload->OnStartPage(static_cast<IScriptingContext*>(page.Get()));
    if (FAILED(hr))
        return hr;
    hr = upload->Save(frame::Bstr(WideString(tempDir)).Get());
    if (FAILED(hr))
        return hr;
    frame::ComPtr<IUploadedFileCollection> files;
    LONG count = 0;
    hr = upload->get_Files(files.Receive());
    if (SUCCEEDED(hr))
        hr = files->get_Count(&count);
    return SUCCEEDED(hr) && count != 1 ? E_UNEXPECTED : hr;
}

int ExitAtOnce(const wchar_t* tempDir)
{
    frame::ComPtr<IUpload> upload;
    HRESULT hr = ::CoCreateInstance(CLSID_Upload, nullptr, CLSCTX_INPROC_SERVER, IID_IUpload, upload.ReceiveVoid());
    if (FAILED(hr))
        return Fail("CoCreateInstance(Upload)", hr);
    frame::ComPtr<host::CScriptingContext> page;
    hr = Upload(upload.Get(), tempDir, page);
    if (FAILED(hr))
        return Fail("the upload", hr);
    std::fflush(stdout);
    ::ExitProcess(0); // the worker threads run, statistics are registered, objects are alive
}

int UnloadAfterRelease(const wchar_t* tempDir, const wchar_t* dllPath)
{
    HMODULE dll = ::LoadLibraryW(dllPath);
    if (!dll)
        return Fail("LoadLibraryW", HRESULT_FROM_WIN32(::GetLastError()));
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
    if (!getClassObject)
        return Fail("GetProcAddress(DllGetClassObject)", E_FAIL);
    {
        frame::ComPtr<IClassFactory> factory;
        HRESULT hr = getClassObject(CLSID_Upload, IID_IClassFactory, factory.ReceiveVoid());
        if (FAILED(hr))
            return Fail("DllGetClassObject(Upload)", hr);
        frame::ComPtr<IUpload> upload;
        hr = factory->CreateInstance(nullptr, IID_IUpload, upload.ReceiveVoid());
        if (FAILED(hr))
            return Fail("CreateInstance(Upload)", hr);
        frame::ComPtr<host::CScriptingContext> page;
        hr = Upload(upload.Get(), tempDir, page);
        if (FAILED(hr))
            return Fail("the upload", hr);
        upload->OnEndPage();
    }
    ::CoFreeUnusedLibraries();
    if (!::FreeLibrary(dll))
        return Fail("FreeLibrary", HRESULT_FROM_WIN32(::GetLastError()));
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
    return mode == L"exit" ? ExitAtOnce(argv[2]) : UnloadAfterRelease(argv[2], argv[3]);
}
