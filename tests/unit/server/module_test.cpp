#include "com/com_ptr.h"
#include "server/exports.h"
#include "server/module.h"
#include "progress/progress_services.h"
#include "tests/unit/progress/progress_test_support.h"
#include "com/module_lock.h"
#include "server/registration.h"
#include "platform/win.h"
#include "kestrune_idl.h"

#include <gtest/gtest.h>

namespace {

TEST(Module, HandsOutClassObjectsOnlyForCreatableClasses)
{
    void* out = reinterpret_cast<void*>(1);
    for (const CLSID* clsid : {&CLSID_UploadedFile, &CLSID_TextField, &CLSID_UploadedFileCollection,
                               &CLSID_TextFieldCollection, &IID_IUpload}) {
        EXPECT_EQ(::DllGetClassObject(*clsid, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(::DllGetClassObject(CLSID_Upload, IID_IClassFactory, nullptr), E_POINTER);

    for (const CLSID* clsid : {&CLSID_Upload, &CLSID_Progress, &CLSID_UploadMetadata}) {
        com::ComPtr<IClassFactory> first;
        com::ComPtr<IClassFactory> second;
        ASSERT_EQ(::DllGetClassObject(*clsid, IID_IClassFactory, first.ReceiveVoid()), S_OK);
        ASSERT_EQ(::DllGetClassObject(*clsid, IID_IClassFactory, second.ReceiveVoid()), S_OK);
        EXPECT_EQ(first.Get(), second.Get()) << "the class object is created once and cached";
        EXPECT_EQ(::DllGetClassObject(*clsid, IID_IDispatch, &out), E_NOINTERFACE);
    }
}

// An outer object that is never asked for anything: refusals come before any creation.
class IdleOuter : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
};

TEST(Module, UploadMetadataRefusesAggregation)
{
    com::ComPtr<IClassFactory> factory;
    ASSERT_EQ(::DllGetClassObject(CLSID_UploadMetadata, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
    IdleOuter outer;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
}

// The module as a fresh process has it: no worker thread, and no upload of an earlier test kept
// for its retention (its statistics object would hold the module). Revoking the registrations is
// a COM call, made in the multithreaded apartment.
void StartFromAQuietModule()
{
    const progress_test::MtaScope apartment;
    CKestruneModule& module = CKestruneModule::Instance();
    module.UploadManager().StopWorker();
    module.ProgressTimer().StopWorker();
    CProgressServices::Instance().Stop(true);
    ASSERT_TRUE(CProgressServices::Instance().Start());
}

TEST(Module, LockServerAndLiveObjectsKeepTheModuleLoaded)
{
    ASSERT_NO_FATAL_FAILURE(StartFromAQuietModule());
    ASSERT_EQ(com::ModuleLockCount(), 0) << "an object of an earlier test is still alive";
    EXPECT_EQ(::DllCanUnloadNow(), S_OK);

    com::ComPtr<IClassFactory> factory;
    ASSERT_EQ(::DllGetClassObject(CLSID_Progress, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
    EXPECT_EQ(com::ModuleLockCount(), 0) << "a cached class object alone does not hold the module";
    EXPECT_EQ(::DllCanUnloadNow(), S_OK);

    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(com::ModuleLockCount(), 1);
    EXPECT_EQ(::DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(com::ModuleLockCount(), 0);
    EXPECT_EQ(::DllCanUnloadNow(), S_OK);

    {
        com::ComPtr<IUnknown> object;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.ReceiveVoid()), S_OK);
        EXPECT_EQ(com::ModuleLockCount(), 1) << "a live object holds the module";
        EXPECT_EQ(::DllCanUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(com::ModuleLockCount(), 0);
    EXPECT_EQ(::DllCanUnloadNow(), S_OK);
}

TEST(Registration, TypeLibraryFallbackReplacesOnlyTheFileExtension)
{
    EXPECT_EQ(com::TypeLibraryFallbackPath(OLESTR("C:\\web\\bin\\Kestrune.dll")),
              WideString(OLESTR("C:\\web\\bin\\Kestrune.tlb")));
    EXPECT_EQ(com::TypeLibraryFallbackPath(OLESTR("C:\\web.v2\\Kestrune")),
              WideString(OLESTR("C:\\web.v2\\Kestrune.tlb")));
    EXPECT_EQ(com::TypeLibraryFallbackPath(OLESTR("/opt/k.1/Kestrune.so")),
              WideString(OLESTR("/opt/k.1/Kestrune.tlb")));
    EXPECT_EQ(com::DirectoryOf(OLESTR("C:\\web\\bin\\Kestrune.dll")), WideString(OLESTR("C:\\web\\bin")));
    EXPECT_EQ(com::DirectoryOf(OLESTR("Kestrune.dll")), WideString());
}

#ifndef _WIN32
// The stand-in has no registry: registration fails and still puts the caller's thread locale back.
TEST(Registration, FailureReturnsTheRegistryErrorAndRestoresTheThreadLocale)
{
    const LCID before = ::GetThreadLocale();
    ASSERT_TRUE(::SetThreadLocale(0x0407));
    EXPECT_TRUE(FAILED(::DllRegisterServer()));
    EXPECT_EQ(::GetThreadLocale(), LCID(0x0407));
    EXPECT_TRUE(FAILED(::DllUnregisterServer()));
    EXPECT_EQ(::GetThreadLocale(), LCID(0x0407));
    ::SetThreadLocale(before);
}
#endif

} // namespace
