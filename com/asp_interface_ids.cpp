// Defines the interface IDs of the ASP intrinsic objects (IID_IScriptingContext, IID_IRequest,
// ...) once for the product: they are not in any import library.
#include "platform/win.h"

#include <initguid.h>

#include <asptlb.h>
