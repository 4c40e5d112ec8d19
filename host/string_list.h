// CStringList: the value of one server variable as the web server returns it, an object whose
// default value (DISPID 0, Item without an index) is its strings joined with ", ".
//
//   com::ComPtr<CStringList> list = CStringList::Create({OLESTR("POST")});
//   VariantChangeType(&v, &v, 0, VT_BSTR);   // on a VT_DISPATCH holding it gives "POST"
#pragma once

#include "com/com_ptr.h"
#include "host/host_object.h"
#include "platform/win.h"

#include <asptlb.h>

#include <vector>

namespace host {

class CStringList : public CHostObject<IStringList, &IID_IStringList> {
public:
    /// A new list holding items; an empty list's default value is the empty string.
    static com::ComPtr<CStringList> Create(std::vector<WideString> items);

    /// Without an index (VT_EMPTY or a missing argument): all strings joined with ", ".
    /// With a 1-based index: that string; DISP_E_BADINDEX outside 1..Count.
    STDMETHODIMP get_Item(VARIANT i, VARIANT* pVariantReturn) override;
    STDMETHODIMP get_Count(int* cStrRet) override;
    /// An IEnumVARIANT over the strings, for For Each.
    STDMETHODIMP get__NewEnum(IUnknown** ppEnumReturn) override;

protected:
    explicit CStringList(std::vector<WideString> items);

private:
    HRESULT InvokeMember(DISPID id, const CDispArgs& args, VARIANT* result) override;

    const std::vector<WideString> items_;
};

} // namespace host
