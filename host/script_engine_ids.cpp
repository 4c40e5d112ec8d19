// Defines the interface IDs of the script engine (IID_IActiveScript, IID_IActiveScriptParse,
// IID_IActiveScriptSite, ...) once for the page host: they are not in any import library.
#include "platform/win.h"

#include <initguid.h>

#include <activscp.h>
