// CHostObject<I, &IID_I>: a hand-written IDispatch for the page host's objects, which carry no type
// library, on the component's object base (com::ComObjectRoot). Names are matched without regard
// to ASCII case, as VBScript expects.
//
//   class CResponse : public host::CHostObject<IResponse, &IID_IResponse> {
//   protected:
//       CResponse() : CHostObject(kMembers) {}                     // kMembers: {name, DISPID} rows
//       HRESULT InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result) override;
//   };
//   com::ComPtr<CResponse> response = host::MakeHostObject<CResponse>();   // the one reference
//
// Invoke hands a property put to PutMember (PutIndexedMember when the property takes arguments, as
// in obj.Prop("name") = value); otherwise it rejects named arguments, then calls InvokeMember
// inside com::ComBoundary with result set to VT_EMPTY (a scratch VARIANT when the caller passed
// none). A host may give the object a call check (SetCallCheck) that runs before every Invoke: a
// failure it returns is the call's answer (a page past its deadline). Calls through the vtable
// (a component's) are not checked. These objects stand for the web server's, not the
// component's: MakeHostObject builds them as com::ComObject<T, com::NoModuleLock>, holding no
// module lock. QueryInterface answers IUnknown, IDispatch and I.
#pragma once

#include "com/ascii_case.h"
#include "com/com_boundary.h"
#include "com/com_object.h"
#include "com/com_ptr.h"
#include "com/guid.h"
#include "com/variant.h"
#include "host/dispatch_args.h"
#include "platform/win.h"

#include <functional>
#include <span>
#include <utility>

namespace host {

struct TDispMember {
    const OLECHAR* name;
    DISPID id;
};

template <class I, const IID* ItfId>
class CHostObject : public com::ComObjectRoot, public I {
public:
    static std::span<const com::InterfaceEntry<CHostObject>> InterfaceTable() noexcept
    {
        static const com::InterfaceEntry<CHostObject> entries[] = {
            {ItfId, [](CHostObject* self) -> IUnknown* { return static_cast<I*>(self); }},
            {&IID_IDispatch, [](CHostObject* self) -> IUnknown* { return static_cast<I*>(self); }},
        };
        return entries;
    }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }

    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return DISP_E_BADINDEX;
    }

    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (!com::SameGuid(iid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        if (count == 0)
            return S_OK;
        if (!names || !ids)
            return E_POINTER;
        // Only the member name is known; names of named arguments are not.
        HRESULT hr = S_OK;
        ids[0] = DISPID_UNKNOWN;
        for (const TDispMember& member : members_) {
            if (names[0] && com::EqualsIgnoringAsciiCase(names[0], member.name)) {
                ids[0] = member.id;
                break;
            }
        }
        if (ids[0] == DISPID_UNKNOWN)
            hr = DISP_E_UNKNOWNNAME;
        for (UINT i = 1; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }

    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override
    {
        if (!com::SameGuid(iid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        if (callCheck_) {
            const HRESULT refused = callCheck_();
            if (FAILED(refused))
                return refused;
        }
        if (Knows(id) && (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) {
            // obj.Prop = value: the value is the last argument (rgvarg[0]), named DISPID_PROPERTYPUT;
            // obj.Prop(a, b) = value passes a and b before it.
            if (!params || params->cArgs < 1 || params->cNamedArgs != 1 || !params->rgvarg ||
                !params->rgdispidNamedArgs || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
                return DISP_E_BADPARAMCOUNT;
            if (params->cArgs == 1)
                return com::ComBoundary([&] { return PutMember(id, Dereference(params->rgvarg[0])); });
            DISPPARAMS index = {params->rgvarg + 1, nullptr, params->cArgs - 1, 0};
            return com::ComBoundary(
                [&] { return PutIndexedMember(id, CDispArgs(index), Dereference(params->rgvarg[0])); });
        }
        if (!Knows(id) || !(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
            return DISP_E_MEMBERNOTFOUND;
        DISPPARAMS none = {};
        if (!params)
            params = &none;
        if (params->cNamedArgs != 0)
            return DISP_E_NONAMEDARGS;
        if (params->cArgs != 0 && !params->rgvarg)
            return E_POINTER;
        com::Variant scratch;
        VARIANT* out = result ? result : scratch.Get();
        ::VariantInit(out);
        return com::ComBoundary([&] { return InvokeMember(id, CDispArgs(*params), out); });
    }

    /// Runs check before every later Invoke; a failure it returns answers the call. Set it
    /// before the object is handed out.
    void SetCallCheck(std::function<HRESULT()> check) { callCheck_ = std::move(check); }

protected:
    explicit CHostObject(std::span<const TDispMember> members) noexcept : members_(members) {}
    virtual ~CHostObject() = default;

    /// Runs member id for a get or method call without named arguments. result is VT_EMPTY and
    /// receives the member's value; it is left alone on failure.
    virtual HRESULT InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result) = 0;

    /// Sets property id to value (seen through one VT_BYREF|VT_VARIANT). Objects without
    /// writable properties keep this answer.
    virtual HRESULT PutMember(DISPID, const VARIANT&) { return DISP_E_MEMBERNOTFOUND; }

    /// Sets property id, with the arguments index, to value (obj.Prop("name") = value). Objects
    /// without such properties keep this answer.
    virtual HRESULT PutIndexedMember(DISPID, const CDispArgs&, const VARIANT&) { return DISP_E_BADPARAMCOUNT; }

private:
    bool Knows(DISPID id) const noexcept
    {
        for (const TDispMember& member : members_)
            if (member.id == id)
                return true;
        return false;
    }

    std::span<const TDispMember> members_;
    std::function<HRESULT()> callCheck_;
};

/// A new T (a CHostObject) built from args, holding no module lock; the pointer holds its one
/// reference.
template <class T, class... Args>
com::ComPtr<T> MakeHostObject(Args&&... args)
{
    auto* object = new com::ComObject<T, com::NoModuleLock>(std::forward<Args>(args)...);
    com::ComPtr<T> owner(object);
    object->InitControllingUnknown(T::InterfaceTable().front().cast(object));
    return owner;
}

} // namespace host
