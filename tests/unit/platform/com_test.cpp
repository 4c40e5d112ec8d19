// COM runtime: apartments, the Global Interface Table's references, GUID text, object creation.
#include "platform/win.h"
#include "test_objects.h"

#include <gtest/gtest.h>

#include <thread>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

using platform_test::CountedDispatch;

namespace {

/// Runs body on a fresh thread (its own apartment) and waits for it.
template <class F>
void OnNewThread(F body)
{
    std::thread(body).join();
}

} // namespace

TEST(Apartments, InitialisationCountsAndModeChanges)
{
    OnNewThread([] {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        CoUninitialize();
        // Fully uninitialised: the thread may choose again.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        CoUninitialize();
    });
}

TEST(GlobalInterfaceTable, RegistrationHoldsOneReference)
{
    OnNewThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        IGlobalInterfaceTable* git = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&git)),
                  S_OK);
        CountedDispatch object;
        DWORD cookie = 0;
        ASSERT_EQ(git->RegisterInterfaceInGlobal(&object, IID_IDispatch, &cookie), S_OK);
        EXPECT_NE(cookie, 0u);
        ULONG registered = object.References();
        EXPECT_GT(registered, 1u); // the table keeps the object alive

        IDispatch* fetched = nullptr;
        ASSERT_EQ(git->GetInterfaceFromGlobal(cookie, IID_IDispatch, reinterpret_cast<void**>(&fetched)), S_OK);
        EXPECT_EQ(fetched, static_cast<IDispatch*>(&object));
        EXPECT_EQ(object.References(), registered + 1); // a new reference for the caller
        fetched->Release();

        EXPECT_EQ(git->RevokeInterfaceFromGlobal(cookie), S_OK);
        EXPECT_EQ(object.References(), 1u); // revoking released the table's reference
        EXPECT_EQ(git->RevokeInterfaceFromGlobal(cookie), E_INVALIDARG);
        EXPECT_EQ(git->GetInterfaceFromGlobal(cookie, IID_IDispatch, reinterpret_cast<void**>(&fetched)), E_INVALIDARG);

        // An interface the object does not have cannot be registered.
        EXPECT_TRUE(FAILED(git->RegisterInterfaceInGlobal(&object, IID_IClassFactory, &cookie)));
        EXPECT_EQ(object.References(), 1u);
        git->Release();
        CoUninitialize();
    });
}

TEST(GlobalInterfaceTable, PointerObtainedOnAnotherThread)
{
    OnNewThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        IGlobalInterfaceTable* git = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&git)),
                  S_OK);
        CountedDispatch object(OLESTR("value"));
        DWORD cookie = 0;
        ASSERT_EQ(git->RegisterInterfaceInGlobal(&object, IID_IDispatch, &cookie), S_OK);
        OnNewThread([&] {
            ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
            IDispatch* fetched = nullptr;
            ASSERT_EQ(git->GetInterfaceFromGlobal(cookie, IID_IDispatch, reinterpret_cast<void**>(&fetched)), S_OK);
            UINT count = 99;
            EXPECT_EQ(fetched->GetTypeInfoCount(&count), S_OK);
            EXPECT_EQ(count, 0u);
            fetched->Release();
            CoUninitialize();
        });
        EXPECT_EQ(git->RevokeInterfaceFromGlobal(cookie), S_OK);
        EXPECT_EQ(object.References(), 1u);
        git->Release();
        CoUninitialize();
    });
}

TEST(Guids, TextFormAndRandomVersion4)
{
    const GUID known = {0x74fd3fe2, 0x3e13, 0x42b6, {0xad, 0xc8, 0x08, 0xca, 0x7e, 0xd2, 0x10, 0x7e}};
    OLECHAR text[56];
    EXPECT_EQ(StringFromGUID2(known, text, 56), 39);
    EXPECT_EQ(WideString(text), WideString(OLESTR("{74FD3FE2-3E13-42B6-ADC8-08CA7ED2107E}")));
    EXPECT_EQ(StringFromGUID2(known, text, 39), 39);
    EXPECT_EQ(StringFromGUID2(known, text, 38), 0);
    CLSID parsed;
    EXPECT_EQ(CLSIDFromString(text, &parsed), S_OK);
    EXPECT_TRUE(IsEqualGUID(parsed, known));

    GUID a, b;
    ASSERT_EQ(CoCreateGuid(&a), S_OK);
    ASSERT_EQ(CoCreateGuid(&b), S_OK);
    EXPECT_FALSE(IsEqualGUID(a, b));
    EXPECT_EQ(a.Data3 >> 12, 4);
    EXPECT_EQ(a.Data4[0] & 0xC0, 0x80);
}

#ifndef _WIN32
TEST(Guids, AForkedChildNeverRepeatsItsParentsGuids)
{
    GUID first;
    ASSERT_EQ(CoCreateGuid(&first), S_OK); // the parent has random bytes in hand now
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        GUID g{};
        CoCreateGuid(&g);
        const bool sent = ::write(fds[1], &g, sizeof g) == static_cast<ssize_t>(sizeof g);
        ::_exit(sent ? 0 : 1);
    }
    ::close(fds[1]);
    GUID fromChild{};
    const ssize_t got = ::read(fds[0], &fromChild, sizeof fromChild);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof fromChild));
    GUID next;
    ASSERT_EQ(CoCreateGuid(&next), S_OK);
    EXPECT_FALSE(IsEqualGUID(next, fromChild));
}
#endif

TEST(ObjectCreation, UnknownClassIsNotRegistered)
{
    OnNewThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        const CLSID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
        IUnknown* object = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(
            CoCreateInstance(unknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)),
            REGDB_E_CLASSNOTREG);
        EXPECT_EQ(object, nullptr);
        CoUninitialize();
    });
}

TEST(TypeLibraries, UnregisteredLibraryIsReported)
{
    const GUID library = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 9}};
    ITypeLib* lib = nullptr;
    EXPECT_EQ(LoadRegTypeLib(library, 1, 0, 0, &lib), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(lib, nullptr);
}
