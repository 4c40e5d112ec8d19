// CErrorInfoObject: the page item `ErrorInfo`, standing for another component of the server that
// fails with a description. A page calls ErrorInfo.Leave "text" to leave an error object with that
// description on the thread, as such a component does, and then checks that a later, unrelated
// failure does not carry that text into Err.Description.
//
//   ErrorInfo.Leave "a description left by another component"
//   up.Save dir                                  ' fails
//   Response.Write Err.Description               ' must not be the text above
#pragma once

#include "host/host_object.h"

namespace pagerun {

class CErrorInfoObject : public host::CHostObject<IDispatch, &IID_IDispatch> {
public:
    CErrorInfoObject();

private:
    /// Leave(description): creates an error object with that description and source "pagerun",
    /// and makes it the thread's.
    HRESULT InvokeMember(DISPID id, const host::CDispArgs& args, VARIANT* result) override;
};

} // namespace pagerun
