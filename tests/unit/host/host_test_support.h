// Helpers shared by the page host tests: calling BinaryRead and server-variable lookups the way
// the component does, and reading the answers back.
#pragma once

#include "com/bstr.h"
#include "com/com_ptr.h"
#include "com/variant.h"
#include "platform/win.h"

#include <asptlb.h>

#include <gtest/gtest.h>

#include <string>

namespace host_test {

/// The outcome of one BinaryRead call.
struct TRead {
    HRESULT hr = E_FAIL;
    VARTYPE countType = VT_EMPTY;
    LONG count = -1;
    VARTYPE dataType = VT_EMPTY;
    std::string bytes;
};

/// The bytes of a VT_ARRAY|VT_UI1 VARIANT.
inline std::string BytesOf(const VARIANT& v)
{
    if (v.vt != (VT_ARRAY | VT_UI1))
        return {};
    LONG lower = 0, upper = -1;
    EXPECT_EQ(S_OK, ::SafeArrayGetLBound(v.parray, 1, &lower));
    EXPECT_EQ(S_OK, ::SafeArrayGetUBound(v.parray, 1, &upper));
    void* data = nullptr;
    EXPECT_EQ(S_OK, ::SafeArrayAccessData(v.parray, &data));
    std::string bytes(static_cast<const char*>(data), static_cast<std::size_t>(upper - lower + 1));
    ::SafeArrayUnaccessData(v.parray);
    return bytes;
}

/// BinaryRead with a count of the given type, as the component (VT_UI4) or a script would.
inline TRead BinaryRead(IRequest* request, LONGLONG wanted, VARTYPE type = VT_UI4)
{
    com::Variant count;
    count.Get()->vt = type;
    switch (type) {
    case VT_I2: count.Get()->iVal = static_cast<SHORT>(wanted); break;
    case VT_I4: count.Get()->lVal = static_cast<LONG>(wanted); break;
    case VT_I8: count.Get()->llVal = wanted; break;
    default: count.Get()->ulVal = static_cast<ULONG>(wanted); break;
    }
    com::Variant data;
    TRead read;
    read.hr = request->BinaryRead(count.Get(), data.Get());
    read.countType = count.Type();
    if (count.Type() == VT_I4)
        read.count = count.Get()->lVal;
    read.dataType = data.Type();
    read.bytes = BytesOf(*data.Get());
    return read;
}

/// A server variable as the component reads it: Item with a VT_BSTR name, then the answer
/// converted to a string in place.
inline WideString ServerVariable(IRequest* request, const OLECHAR* name)
{
    com::ComPtr<IRequestDictionary> variables;
    EXPECT_EQ(S_OK, request->get_ServerVariables(variables.Receive()));
    com::Variant key;
    key.Get()->vt = VT_BSTR;
    key.Get()->bstrVal = ::SysAllocString(name);
    com::Variant value;
    EXPECT_EQ(S_OK, variables->get_Item(*key.Get(), value.Receive()));
    EXPECT_EQ(VT_DISPATCH, value.Type());
    EXPECT_EQ(S_OK, ::VariantChangeType(value.Get(), value.Get(), 0, VT_BSTR));
    return com::Bstr::ToWide(value.Get()->bstrVal);
}

/// The Request of a scripting context.
inline com::ComPtr<IRequest> RequestOf(IScriptingContext* context)
{
    com::ComPtr<IRequest> request;
    EXPECT_EQ(S_OK, context->get_Request(request.Receive()));
    return request;
}

/// A body whose bytes differ from their neighbours, so a misplaced byte shows.
inline std::string PatternBody(std::size_t size)
{
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>((i * 7) % 251);
    return body;
}

inline WideString W(const char* ascii)
{
    return WideString(ascii, ascii + std::char_traits<char>::length(ascii));
}

} // namespace host_test
