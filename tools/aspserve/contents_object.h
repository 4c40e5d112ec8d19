// CContents: Session.Contents and Application.Contents — a collection over a CValueTable. Item (the
// default member) reads a value by name or by 1-based position and stores one by name; Key(i) is
// the name at a position; Count; Remove by name or position; RemoveAll; For Each gives the names.
// Storing calls onStore after it (a session is kept once a page stores a value in it); an object
// stores its default value (Request.Form("x") its text), and one without a default value is
// refused with E_INVALIDARG.
//
//   auto contents = aspserve::CContents::Create(owner, table, [&] { store.Fix(*session); });
//   VBScript:  Session.Contents("cart") = 3 : n = Session.Contents.Count
#pragma once

#include "com/com_ptr.h"
#include "host/host_object.h"
#include "platform/win.h"
#include "tools/aspserve/value_table.h"

#include <asptlb.h>

#include <functional>
#include <memory>

namespace aspserve {

class CContents : public host::CHostObject<IVariantDictionary, &IID_IVariantDictionary> {
public:
    /// owner keeps table alive as long as the collection lives.
    static com::ComPtr<CContents> Create(std::shared_ptr<void> owner, CValueTable& table,
                                         std::function<void()> onStore);

    /// A copy of the value named by key (a string) or at 1-based position key (a number);
    /// VT_EMPTY for an unknown name, DISP_E_BADINDEX for a position past the end.
    STDMETHODIMP get_Item(VARIANT VarKey, VARIANT* pvar) override;
    /// Stores a copy of var under the name key.
    STDMETHODIMP put_Item(VARIANT VarKey, VARIANT var) override;
    /// Objects are refused: E_INVALIDARG.
    STDMETHODIMP putref_Item(VARIANT VarKey, VARIANT var) override;
    /// The name at 1-based position key, as VT_BSTR.
    STDMETHODIMP get_Key(VARIANT VarKey, VARIANT* pvar) override;
    STDMETHODIMP get_Count(int* cStrRet) override;
    /// An IEnumVARIANT over the names.
    STDMETHODIMP get__NewEnum(IUnknown** ppEnumReturn) override;
    /// Removes the value named by key or at 1-based position key; nothing for an unknown one.
    STDMETHODIMP Remove(VARIANT VarKey) override;
    STDMETHODIMP RemoveAll() override;

protected:
    CContents(std::shared_ptr<void> owner, CValueTable& table, std::function<void()> onStore);

private:
    HRESULT InvokeMember(DISPID id, const host::CDispArgs& args, VARIANT* result) override;
    HRESULT PutIndexedMember(DISPID id, const host::CDispArgs& index, const VARIANT& value) override;

    const std::shared_ptr<void> owner_;
    CValueTable& table_;
    const std::function<void()> onStore_;
};

/// Stores value under the name key (anything that converts to text) in table, then calls onStore;
/// what Contents("name") = value and Session("name") = value come down to. An object gives its
/// default value (Request.Form("x") its text); one without a default value is refused with
/// E_INVALIDARG, as objects are.
HRESULT StoreNamedValue(CValueTable& table, const VARIANT& key, const VARIANT& value,
                        const std::function<void()>& onStore) noexcept;

/// A copy of the value named by key (text) or at 1-based position key (a number) in table.
HRESULT ReadNamedValue(const CValueTable& table, const VARIANT& key, VARIANT* value) noexcept;

} // namespace aspserve
