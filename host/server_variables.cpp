#include "host/server_variables.h"

#include "com/ascii_case.h"
#include "com/bstr.h"
#include "com/code_page_text.h"
#include "com/variant.h"
#include "host/string_list.h"

#include <optional>
#include <stdexcept>
#include <string>

namespace host {

namespace {

enum : DISPID { kItem = DISPID_VALUE, kNewEnum = DISPID_NEWENUM, kCount = 1, kKey = 2 };

const TDispMember kMembers[] = {
    {OLESTR("Item"), kItem},
    {OLESTR("_NewEnum"), kNewEnum},
    {OLESTR("Count"), kCount},
    {OLESTR("Key"), kKey},
};

// The bytes of a request head (method, header values) as the wide strings the variables return,
// decoded with the ANSI code page: the one the component converts them back with.
WideString WidenAnsi(std::string_view text)
{
    std::optional<WideString> wide = com::WidenText(text, CP_ACP);
    if (!wide)
        throw std::runtime_error("text cannot be converted from the ANSI code page");
    return std::move(*wide);
}

WideString VariableNameOf(const std::string& fieldName)
{
    WideString name = OLESTR("HTTP_");
    for (char c : fieldName)
        name.push_back(c == '-' ? OLECHAR('_') : com::AsciiUpper(static_cast<OLECHAR>(static_cast<unsigned char>(c))));
    return name;
}

// Appends the variable, or joins value to an earlier one of the same name.
void AddVariable(std::vector<CServerVariables::TVariable>& variables, WideString name, WideString value)
{
    for (auto& variable : variables) {
        if (com::EqualsIgnoringAsciiCase(variable.name, name)) {
            variable.value += OLESTR(", ");
            variable.value += value;
            return;
        }
    }
    variables.push_back({std::move(name), std::move(value)});
}

WideString Ascii(const std::string& text)
{
    return WideString(text.begin(), text.end());
}

} // namespace

CServerVariables::CServerVariables(std::vector<TVariable> variables)
    : CHostObject(kMembers), variables_(std::move(variables))
{}

com::ComPtr<CServerVariables> CServerVariables::Create(const THttpRequestHead& head, std::vector<TVariable> server)
{
    std::vector<TVariable> variables;
    variables.push_back({OLESTR("REQUEST_METHOD"), WidenAnsi(head.method)});
    variables.push_back({OLESTR("CONTENT_TYPE"), WidenAnsi(head.Header("Content-Type").value_or(""))});
    variables.push_back({OLESTR("CONTENT_LENGTH"), Ascii(std::to_string(head.ContentLength()))});
    variables.push_back({OLESTR("QUERY_STRING"), WidenAnsi(head.QueryString())});
    variables.push_back({OLESTR("URL"), WidenAnsi(head.Path())});
    variables.push_back({OLESTR("PATH_INFO"), WidenAnsi(head.Path())});
    variables.push_back({OLESTR("SERVER_PROTOCOL"), WidenAnsi(head.protocol)});
    for (TVariable& variable : server)
        AddVariable(variables, std::move(variable.name), std::move(variable.value));
    for (const auto& [name, value] : head.headers)
        AddVariable(variables, VariableNameOf(name), WidenAnsi(value));
    return MakeHostObject<CServerVariables>(std::move(variables));
}

com::ComPtr<CServerVariables> CServerVariables::FromList(std::vector<TVariable> list)
{
    std::vector<TVariable> variables;
    for (TVariable& variable : list)
        AddVariable(variables, std::move(variable.name), std::move(variable.value));
    return MakeHostObject<CServerVariables>(std::move(variables));
}

const WideString* CServerVariables::Find(const WideString& name) const noexcept
{
    for (const TVariable& variable : variables_)
        if (com::EqualsIgnoringAsciiCase(variable.name, name))
            return &variable.value;
    return nullptr;
}

STDMETHODIMP CServerVariables::get_Item(VARIANT Var, VARIANT* pVariantReturn)
{
    return com::ComBoundary([&]() -> HRESULT {
        if (!pVariantReturn)
            return E_POINTER;
        ::VariantInit(pVariantReturn);
        const VARIANT& key = Dereference(Var);
        std::vector<WideString> values;
        if (key.vt == VT_BSTR || key.vt == VT_DISPATCH || key.vt == (VT_BYREF | VT_BSTR)) {
            com::Variant text;
            if (FAILED(::VariantChangeType(text.Get(), const_cast<VARIANT*>(&key), 0, VT_BSTR)))
                return DISP_E_TYPEMISMATCH;
            if (const WideString* value = Find(com::Bstr::ToWide(text.Get()->bstrVal)))
                values.push_back(*value);
        } else {
            std::size_t position = 0;
            const HRESULT hr = PositionFrom(key, variables_.size(), &position);
            if (FAILED(hr))
                return hr;
            values.push_back(variables_[position].value);
        }
        com::ComPtr<CStringList> list = CStringList::Create(std::move(values));
        pVariantReturn->vt = VT_DISPATCH;
        pVariantReturn->pdispVal = list.Detach();
        return S_OK;
    });
}

STDMETHODIMP CServerVariables::get__NewEnum(IUnknown** ppEnumReturn)
{
    return com::ComBoundary([&]() -> HRESULT {
        if (!ppEnumReturn)
            return E_POINTER;
        std::vector<WideString> names;
        names.reserve(variables_.size());
        for (const TVariable& variable : variables_)
            names.push_back(variable.name);
        return ReturnStringEnumerator(names, ppEnumReturn);
    });
}

STDMETHODIMP CServerVariables::get_Count(int* cStrRet)
{
    if (!cStrRet)
        return E_POINTER;
    *cStrRet = static_cast<int>(variables_.size());
    return S_OK;
}

STDMETHODIMP CServerVariables::get_Key(VARIANT VarKey, VARIANT* pvar)
{
    return com::ComBoundary([&]() -> HRESULT {
        if (!pvar)
            return E_POINTER;
        ::VariantInit(pvar);
        std::size_t position = 0;
        const HRESULT hr = PositionFrom(VarKey, variables_.size(), &position);
        return FAILED(hr) ? hr : ReturnString(variables_[position].name, pvar);
    });
}

HRESULT CServerVariables::InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result)
{
    switch (id) {
    case kItem: {
        const HRESULT hr = args.Expect(1, 1);
        return FAILED(hr) ? hr : get_Item(args[0], result);
    }
    case kKey: {
        const HRESULT hr = args.Expect(1, 1);
        return FAILED(hr) ? hr : get_Key(args[0], result);
    }
    case kNewEnum: return InvokeNewEnum(*this, args, result);
    case kCount: return InvokeCount(*this, args, result);
    default: return E_NOTIMPL;
    }
}

} // namespace host
