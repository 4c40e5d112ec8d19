// CServerVariables: Request.ServerVariables over an HTTP request head (and, through FromList, the
// QueryString and Form collections), as the web server gives
// them: REQUEST_METHOD, CONTENT_TYPE, CONTENT_LENGTH, QUERY_STRING, URL, PATH_INFO,
// SERVER_PROTOCOL and HTTP_<NAME> for every header field (the field name upper-cased with '-'
// turned into '_'; a field sent more than once, or two names that map to the same variable,
// give the values joined with ", "). Names are matched without regard to case; each value comes
// back as a CStringList object whose default value is the string, and an unknown name gives one
// whose default value is the empty string.
//
//   com::ComPtr<CServerVariables> vars = CServerVariables::Create(head);
//   vars->get_Item(name /* VT_BSTR "HTTP_Content_Type" */, &value);   // VT_DISPATCH
#pragma once

#include "com/com_ptr.h"
#include "host/host_object.h"
#include "host/http_request_head.h"
#include "platform/win.h"

#include <asptlb.h>

#include <vector>

namespace host {

class CServerVariables : public CHostObject<IRequestDictionary, &IID_IRequestDictionary> {
public:
    struct TVariable {
        WideString name;
        WideString value;
    };

    /// The variables of head, then those of server (e.g. SERVER_PORT, REMOTE_ADDR), then the
    /// headers; throws THttpRequestHead::EBadRequest for a bad Content-Length.
    static com::ComPtr<CServerVariables> Create(const THttpRequestHead& head, std::vector<TVariable> server = {});

    /// A collection of the same kind over any name/value list (Request.QueryString, Request.Form):
    /// values of names that repeat are joined with ", ".
    static com::ComPtr<CServerVariables> FromList(std::vector<TVariable> list);

    /// The variables in the order Count, Key and a numeric Item see them.
    const std::vector<TVariable>& Variables() const noexcept { return variables_; }

    /// The value of the variable called name (without regard to ASCII case), or null.
    const WideString* Find(const WideString& name) const noexcept;

    /// By name (a string, or anything that converts to one): the variable's value as a
    /// VT_DISPATCH string list. By 1-based number: the value of that variable.
    STDMETHODIMP get_Item(VARIANT Var, VARIANT* pVariantReturn) override;
    /// An IEnumVARIANT over the variable names, for For Each.
    STDMETHODIMP get__NewEnum(IUnknown** ppEnumReturn) override;
    STDMETHODIMP get_Count(int* cStrRet) override;
    /// The name of the variable at a 1-based position, as VT_BSTR.
    STDMETHODIMP get_Key(VARIANT VarKey, VARIANT* pvar) override;

protected:
    explicit CServerVariables(std::vector<TVariable> variables);

private:
    HRESULT InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result) override;

    const std::vector<TVariable> variables_;
};

} // namespace host
