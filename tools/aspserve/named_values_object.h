// CNamedValuesObject<I, &IID_I>: what Session and Application share. Each keeps named values in a
// CValueTable, read and stored as Value (the default member: Session("cart"), Application("n") = 1)
// and through Contents (a CContents over the same table); storing calls onStore afterwards (a
// session is kept once a page stores a value in it). Objects are refused. StaticObjects answers
// E_NOTIMPL (there is no global.asa).
//
//   class CSession : public CNamedValuesObject<ISessionObject, &IID_ISessionObject> {
//       CSession(...) : CNamedValuesObject(kMembers, kContents, state, state->values, keep) {}
//       HRESULT InvokeMember(DISPID id, const host::CDispArgs& args, VARIANT* result) override
//       {   ... return InvokeValueMember(id, args, result); }   // Value and Contents
//   };
#pragma once

#include "com/com_ptr.h"
#include "host/host_object.h"
#include "platform/win.h"
#include "tools/aspserve/contents_object.h"
#include "tools/aspserve/value_table.h"

#include <asptlb.h>

#include <functional>
#include <memory>
#include <span>
#include <utility>

namespace aspserve {

template <class I, const IID* ItfId>
class CNamedValuesObject : public host::CHostObject<I, ItfId> {
public:
    STDMETHODIMP get_Value(BSTR bstrValue, VARIANT* pvar) override
    {
        if (!pvar)
            return E_POINTER;
        return ReadNamedValue(table_, TextKey(bstrValue), pvar);
    }

    STDMETHODIMP put_Value(BSTR bstrValue, VARIANT var) override
    {
        return StoreNamedValue(table_, TextKey(bstrValue), var, onStore_);
    }

    /// Objects are refused: E_INVALIDARG.
    STDMETHODIMP putref_Value(BSTR, VARIANT) override { return E_INVALIDARG; }

    STDMETHODIMP get_StaticObjects(IVariantDictionary** ppProperties) override
    {
        if (ppProperties)
            *ppProperties = nullptr;
        return E_NOTIMPL;
    }

    STDMETHODIMP get_Contents(IVariantDictionary** ppProperties) override
    {
        if (!ppProperties)
            return E_POINTER;
        contents_->AddRef();
        *ppProperties = contents_.Get();
        return S_OK;
    }

protected:
    /// members: the object's names, where Value is DISPID_VALUE and Contents is contentsId. owner
    /// keeps table alive for a Contents collection that outlives this object in a script variable.
    CNamedValuesObject(std::span<const host::TDispMember> members, DISPID contentsId, std::shared_ptr<void> owner,
                       CValueTable& table, std::function<void()> onStore)
        : host::CHostObject<I, ItfId>(members), table_(table), onStore_(onStore), contentsId_(contentsId),
          contents_(CContents::Create(std::move(owner), table, std::move(onStore)))
    {}

    /// Value(name) and Contents[(name)] as InvokeMember answers them; E_NOTIMPL for other members.
    HRESULT InvokeValueMember(DISPID id, const host::CDispArgs& args, VARIANT* result)
    {
        if (id == contentsId_)
            return host::ReturnObject(contents_.Get(), args, result);
        if (id != DISPID_VALUE)
            return E_NOTIMPL;
        const HRESULT hr = args.Expect(1, 1);
        return FAILED(hr) ? hr : ReadNamedValue(table_, args[0], result);
    }

    /// Value(name) = value and Contents(name) = value.
    HRESULT PutIndexedMember(DISPID id, const host::CDispArgs& index, const VARIANT& value) override
    {
        if ((id != DISPID_VALUE && id != contentsId_) || index.Count() != 1)
            return DISP_E_BADPARAMCOUNT;
        return StoreNamedValue(table_, index[0], value, onStore_);
    }

private:
    static VARIANT TextKey(BSTR name) noexcept
    {
        VARIANT key;
        ::VariantInit(&key);
        key.vt = VT_BSTR;
        key.bstrVal = name;
        return key;
    }

    CValueTable& table_;
    const std::function<void()> onStore_;
    const DISPID contentsId_;
    const com::ComPtr<CContents> contents_;
};

} // namespace aspserve
