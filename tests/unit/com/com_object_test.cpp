#include "com/com_object.h"
#include "com/dispatch_impl.h"
#include "com/support_error_info_impl.h"
#include "platform/win.h"
#include "kestrune_idl.h"
#include "tests/unit/bounded_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// What the next CWidget's FinalConstruct does.
enum class Construct { Succeed, Fail, Throw, ThrowComError };

struct WidgetLog {
    int constructed = 0;
    int finalConstructs = 0;
    int finalReleases = 0;
    int destroyed = 0;
    IUnknown* controllingUnknown = nullptr;
    Construct construct = Construct::Succeed;
};

WidgetLog g_log;

class CWidget : public com::ComObjectRoot,
                public com::DispatchImpl<ITextField, &IID_ITextField>,
                public com::SupportErrorInfoImpl<&IID_ITextField> {
public:
    KESTRUNE_INTERFACE_TABLE(CWidget, KESTRUNE_INTERFACE(CWidget, ITextField),
                             KESTRUNE_INTERFACE_AS(CWidget, IDispatch, ITextField),
                             KESTRUNE_INTERFACE(CWidget, ISupportErrorInfo))

    CWidget() { ++g_log.constructed; }
    ~CWidget() { ++g_log.destroyed; }

    HRESULT FinalConstruct()
    {
        ++g_log.finalConstructs;
        g_log.controllingUnknown = ControllingUnknown();
        switch (g_log.construct) {
        case Construct::Fail: return E_ACCESSDENIED;
        case Construct::Throw: throw std::runtime_error("construction failed");
        case Construct::ThrowComError: throw com::ComError(E_INVALIDARG);
        default: return S_OK;
        }
    }
    void FinalRelease() noexcept { ++g_log.finalReleases; }

    STDMETHODIMP get_Value(BSTR* pVal) override
    {
        *pVal = nullptr;
        return S_OK;
    }
    STDMETHODIMP get_Length(LONG* pVal) override
    {
        *pVal = 42;
        return S_OK;
    }
    STDMETHODIMP get_ContentType(BSTR* pVal) override
    {
        *pVal = nullptr;
        return S_OK;
    }
    STDMETHODIMP get_FieldName(BSTR* pVal) override
    {
        *pVal = nullptr;
        return S_OK;
    }
};

// An outer object that only counts its references.
class CountingOuter : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override
    {
        if (com::SameGuid(iid, IID_IUnknown)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
    std::atomic<long> refs{1};
};

class ComObjectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_log = WidgetLog();
        baseLocks_ = com::ModuleLockCount();
    }
    LONG baseLocks_ = 0;
};

template <class T>
com::ComPtr<T> Query(IUnknown* unknown, REFIID iid)
{
    com::ComPtr<T> result;
    EXPECT_EQ(unknown->QueryInterface(iid, result.ReceiveVoid()), S_OK);
    return result;
}

TEST_F(ComObjectTest, PlainObjectHasOneIdentityAndDiesWithItsLastReference)
{
    com::ComPtr<com::ComObject<CWidget>> widget;
    ASSERT_EQ(com::CreateComObject(widget), S_OK);
    EXPECT_EQ(g_log.finalConstructs, 1);
    EXPECT_EQ(com::ModuleLockCount(), baseLocks_ + 1);

    IUnknown* unknown = static_cast<ITextField*>(widget.Get());
    auto field = Query<ITextField>(unknown, IID_ITextField);
    auto errorInfo = Query<ISupportErrorInfo>(unknown, IID_ISupportErrorInfo);
    auto dispatch = Query<IDispatch>(unknown, IID_IDispatch);
    auto identity1 = Query<IUnknown>(field.Get(), IID_IUnknown);
    auto identity2 = Query<IUnknown>(errorInfo.Get(), IID_IUnknown);
    EXPECT_EQ(identity1.Get(), identity2.Get());
    EXPECT_EQ(g_log.controllingUnknown, identity1.Get());
    EXPECT_EQ(static_cast<IDispatch*>(field.Get()), dispatch.Get());

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(widget->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(widget->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    widget.Reset();
    field.Reset();
    errorInfo.Reset();
    dispatch.Reset();
    identity1.Reset();
    EXPECT_EQ(g_log.destroyed, 0);
    identity2.Reset();
    EXPECT_EQ(g_log.finalReleases, 1);
    EXPECT_EQ(g_log.destroyed, 1);
    EXPECT_EQ(com::ModuleLockCount(), baseLocks_);
}

TEST_F(ComObjectTest, FailedFinalConstructAnswersItsResultAndLeavesNothingAlive)
{
    const struct {
        Construct construct;
        HRESULT expected;
    } cases[] = {
        {Construct::Fail, E_ACCESSDENIED},
        {Construct::Throw, E_FAIL},
        {Construct::ThrowComError, E_INVALIDARG},
    };
    for (const auto& c : cases) {
        g_log = WidgetLog();
        g_log.construct = c.construct;
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(com::CreateInstance<CWidget>(nullptr, IID_ITextField, &out), c.expected);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(g_log.destroyed, 1);
        EXPECT_EQ(com::ModuleLockCount(), baseLocks_);

        CountingOuter outer;
        EXPECT_EQ(com::CreateInstance<CWidget>(&outer, IID_IUnknown, &out), c.expected);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(g_log.destroyed, 2);
        EXPECT_EQ(outer.refs, 1);
        EXPECT_EQ(com::ModuleLockCount(), baseLocks_);
    }
}

TEST_F(ComObjectTest, CreateInstanceHandsOutTheRequestedInterface)
{
    com::ComPtr<ISupportErrorInfo> info;
    ASSERT_EQ(com::CreateInstance<CWidget>(nullptr, IID_ISupportErrorInfo, info.ReceiveVoid()), S_OK);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_ITextField), S_OK);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IUpload), S_FALSE);
    info.Reset();
    EXPECT_EQ(g_log.destroyed, 1);

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(com::CreateInstance<CWidget>(nullptr, IID_IUpload, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(g_log.destroyed, 2);
    EXPECT_EQ(com::CreateInstance<CWidget>(nullptr, IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(ComObjectTest, AggregatedObjectDelegatesToItsOuterObject)
{
    CountingOuter outer;
    void* out = nullptr;
    EXPECT_EQ(com::CreateInstance<CWidget>(&outer, IID_ITextField, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(g_log.constructed, 0);

    com::ComPtr<IUnknown> inner;
    ASSERT_EQ(com::CreateInstance<CWidget>(&outer, IID_IUnknown, inner.ReceiveVoid()), S_OK);
    EXPECT_EQ(g_log.finalConstructs, 1);
    EXPECT_EQ(g_log.controllingUnknown, &outer);
    EXPECT_NE(inner.Get(), static_cast<IUnknown*>(&outer));
    EXPECT_EQ(outer.refs, 1);

    ITextField* field = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_ITextField, reinterpret_cast<void**>(&field)), S_OK);
    EXPECT_EQ(outer.refs, 2) << "an interface of the inner object counts on the outer one";
    IUnknown* identity = nullptr;
    ASSERT_EQ(field->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    EXPECT_EQ(outer.refs, 3);
    identity->Release();
    LONG length = 0;
    EXPECT_EQ(field->get_Length(&length), S_OK);
    EXPECT_EQ(length, 42);
    field->Release();
    EXPECT_EQ(outer.refs, 1);

    com::ComPtr<IUnknown> innerIdentity;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, innerIdentity.ReceiveVoid()), S_OK);
    EXPECT_EQ(innerIdentity.Get(), inner.Get());
    innerIdentity.Reset();

    EXPECT_EQ(com::ModuleLockCount(), baseLocks_ + 1);
    inner.Reset();
    EXPECT_EQ(g_log.finalReleases, 1);
    EXPECT_EQ(g_log.destroyed, 1);
    EXPECT_EQ(com::ModuleLockCount(), baseLocks_);
}

// An object that answers ITextField through an aggregated CWidget, created in its FinalConstruct.
class CWidgetHolder : public com::ComObjectRoot, public com::SupportErrorInfoImpl<&IID_ITextField> {
public:
    KESTRUNE_INTERFACE_TABLE(CWidgetHolder, KESTRUNE_INTERFACE(CWidgetHolder, ISupportErrorInfo),
                             KESTRUNE_INTERFACE_AGGREGATE(CWidgetHolder, ITextField, inner_))

    HRESULT FinalConstruct()
    {
        return com::CreateInstance<CWidget>(ControllingUnknown(), IID_IUnknown, inner_.ReceiveVoid());
    }
    void DropInner() noexcept { inner_.Reset(); }

private:
    com::ComPtr<IUnknown> inner_;
};

TEST_F(ComObjectTest, AggregateEntryAnswersThroughTheInnerObjectCountedOnTheOuter)
{
    com::ComPtr<com::ComObject<CWidgetHolder>> holder;
    ASSERT_EQ(com::CreateComObject(holder), S_OK);
    IUnknown* identity = static_cast<ISupportErrorInfo*>(holder.Get());

    com::ComPtr<ITextField> field = Query<ITextField>(identity, IID_ITextField);
    ASSERT_TRUE(field);
    LONG length = 0;
    EXPECT_EQ(field->get_Length(&length), S_OK);
    EXPECT_EQ(length, 42);
    com::ComPtr<IUnknown> back = Query<IUnknown>(field.Get(), IID_IUnknown);
    EXPECT_EQ(back.Get(), identity) << "the inner interface leads back to the outer identity";
    back.Reset();

    // Three references: ours, the field's and the one AddRef adds now.
    EXPECT_EQ(identity->AddRef(), 3u);
    identity->Release();
    field.Reset();
    EXPECT_EQ(identity->AddRef(), 2u);
    identity->Release();

    holder->DropInner();
    EXPECT_EQ(g_log.destroyed, 1);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(identity->QueryInterface(IID_ITextField, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
}

TEST_F(ComObjectTest, ReferenceCountHoldsUnderConcurrentUse)
{
    com::ComPtr<com::ComObject<CWidget>> widget;
    ASSERT_EQ(com::CreateComObject(widget), S_OK);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([object = widget.Get()] {
            for (int i = 0; i < 20000; ++i) {
                com::ComPtr<ITextField> field;
                object->QueryInterface(IID_ITextField, field.ReceiveVoid());
                com::ObjectLockGuard lock(*object);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(g_log.destroyed, 0);
    widget.Reset();
    EXPECT_EQ(g_log.destroyed, 1);
}

TEST_F(ComObjectTest, ObjectLockIsRecursive)
{
    com::ComPtr<com::ComObject<CWidget>> widget;
    ASSERT_EQ(com::CreateComObject(widget), S_OK);
    // On threads of their own, so that a lock that is not recursive, or not released, deadlocks
    // there and fails the bounded wait here instead of hanging the run.
    std::atomic<bool> nested{false};
    testing_support::BoundedThread twice([widget, &nested] {
        com::ObjectLockGuard outer(*widget);
        com::ObjectLockGuard inner(*widget);
        nested = true;
    });
    ASSERT_TRUE(twice.EndsWithin(10000)) << "a second lock on the same thread deadlocks";
    EXPECT_TRUE(nested);
    testing_support::BoundedThread other([widget] { com::ObjectLockGuard again(*widget); });
    EXPECT_TRUE(other.EndsWithin(10000)) << "the lock is still held after both guards have ended";
}

TEST_F(ComObjectTest, DispatchChecksItsArgumentsBeforeTheTypeLibrary)
{
    com::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(com::CreateInstance<CWidget>(nullptr, IID_IDispatch, dispatch.ReceiveVoid()), S_OK);
    UINT count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(dispatch->GetTypeInfoCount(nullptr), E_POINTER);

    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(dispatch->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(info, nullptr);

    OLECHAR name[] = OLESTR("Length");
    LPOLESTR names[] = {name};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_ITextField, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(dispatch->Invoke(2, IID_ITextField, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

#ifndef _WIN32
// No type library is ever registered on POSIX: the dispatch members pass the loader's answer on.
TEST_F(ComObjectTest, DispatchWithoutRegisteredLibraryAnswersLibNotRegistered)
{
    com::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(com::CreateInstance<CWidget>(nullptr, IID_IDispatch, dispatch.ReceiveVoid()), S_OK);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(dispatch->GetTypeInfo(0, 0, &info), TYPE_E_LIBNOTREGISTERED);
    OLECHAR name[] = OLESTR("Length");
    LPOLESTR names[] = {name};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), TYPE_E_LIBNOTREGISTERED);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    ::VariantInit(&result);
    EXPECT_EQ(dispatch->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              TYPE_E_LIBNOTREGISTERED);
}
#else
// Under Wine the harness registers the DLL first (a library that cannot be loaded fails the test);
// then the dispatch members go through the library's own description of ITextField.
TEST_F(ComObjectTest, DispatchInvokesThroughTheRegisteredTypeLibrary)
{
    com::ComPtr<ITypeLib> library;
    ASSERT_EQ(::LoadRegTypeLib(LIBID_KestruneLib, 1, 0, 0x0409, library.Receive()), S_OK)
        << "type library not registered";
    com::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(com::CreateInstance<CWidget>(nullptr, IID_IDispatch, dispatch.ReceiveVoid()), S_OK);
    OLECHAR name[] = OLESTR("Length");
    LPOLESTR names[] = {name};
    DISPID id = 0;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 2);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    ::VariantInit(&result);
    ASSERT_EQ(dispatch->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 42);
    EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}
#endif

} // namespace
