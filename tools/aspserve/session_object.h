// CSession: the page's Session object over a TSessionState of the CSessionStore. Value (the
// default member) and Contents read and store the session's values (see named_values_object.h) —
// storing keeps the session for the browser's later requests; SessionID is the session's number;
// Timeout its minutes; Abandon ends it once the page is over (the page still sees its values until
// then); CodePage sets the page's Response.CodePage and is remembered for the session's later
// pages; LCID is kept.
//
//   auto session = aspserve::CSession::Create(state, store, [&] { return response->CodePage(); },
//                                             [&](UINT cp) { response->SetCodePage(cp); });
//   context->SetSession(session.Get());
#pragma once

#include "com/com_ptr.h"
#include "platform/win.h"
#include "tools/aspserve/named_values_object.h"
#include "tools/aspserve/session_store.h"

#include <asptlb.h>

#include <functional>
#include <memory>

namespace aspserve {

class CSession : public CNamedValuesObject<ISessionObject, &IID_ISessionObject> {
public:
    /// pageCodePage reads the page's current code page; setPageCodePage changes it (false when
    /// the system cannot convert to that code page).
    static com::ComPtr<CSession> Create(std::shared_ptr<TSessionState> state, CSessionStore& store,
                                        std::function<UINT()> pageCodePage, std::function<bool(UINT)> setPageCodePage);

    /// The SessionID as decimal text (Session.SessionID gives it as a number).
    STDMETHODIMP get_SessionID(BSTR* pbstrRet) override;
    STDMETHODIMP get_Timeout(LONG* plvar) override;
    /// Minutes, at least 1; E_INVALIDARG otherwise.
    STDMETHODIMP put_Timeout(LONG lvar) override;
    STDMETHODIMP Abandon() override;
    STDMETHODIMP get_CodePage(LONG* plvar) override;
    /// E_INVALIDARG for a code page the system cannot convert to.
    STDMETHODIMP put_CodePage(LONG lvar) override;
    STDMETHODIMP get_LCID(LONG* plvar) override;
    STDMETHODIMP put_LCID(LONG lvar) override;

protected:
    CSession(std::shared_ptr<TSessionState> state, CSessionStore& store, std::function<UINT()> pageCodePage,
             std::function<bool(UINT)> setPageCodePage);

private:
    HRESULT InvokeMember(DISPID id, const host::CDispArgs& args, VARIANT* result) override;
    HRESULT PutMember(DISPID id, const VARIANT& value) override;

    const std::shared_ptr<TSessionState> state_;
    const std::function<UINT()> pageCodePage_;
    const std::function<bool(UINT)> setPageCodePage_;
};

} // namespace aspserve
