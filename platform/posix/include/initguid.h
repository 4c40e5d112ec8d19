// Stand-in for the SDK header: from here on DEFINE_GUID defines the GUIDs it names.
#define INITGUID
#include "platform/posix/guid.h"
