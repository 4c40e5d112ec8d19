// The platform header and the generated interface header compile together and agree on the
// Windows ABI sizes that callers rely on.
#include "platform/win.h"
#include "kestrune_idl.h"

#include <gtest/gtest.h>

TEST(PlatformHeaders, TypesHaveWindowsSizes)
{
    static_assert(sizeof(OLECHAR) == 2);
    static_assert(sizeof(LONG) == 4 && sizeof(ULONG) == 4 && sizeof(DWORD) == 4);
    static_assert(sizeof(HRESULT) == 4);
    static_assert(sizeof(VARIANT_BOOL) == 2);
    static_assert(sizeof(GUID) == 16);
    static_assert(sizeof(VARIANT) == (sizeof(void*) == 8 ? 24 : 16));
    static_assert(sizeof(DECIMAL) == 16);
    EXPECT_TRUE(IsEqualGUID(IID_IUpload, IID_IUpload));
    EXPECT_FALSE(IsEqualGUID(IID_IUpload, IID_IProgress));
    EXPECT_TRUE(IID_IDispatch == IID_IDispatch);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_EXISTS), static_cast<HRESULT>(0x80070050));
}
