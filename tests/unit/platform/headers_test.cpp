// The platform header and the generated interface header compile together, and GUIDs compare by
// all 16 bytes. The sizes and constants of the Windows types are facts of the SDK on Windows; the
// stand-in's are checked at compile time (platform/posix/windows_abi_checks.cpp).
#include "platform/win.h"
#include "kestrune_idl.h"

#include <gtest/gtest.h>

TEST(PlatformHeaders, GuidsCompareByAllSixteenBytes)
{
    GUID copy = IID_IUpload;
    EXPECT_TRUE(IsEqualGUID(copy, IID_IUpload));
    EXPECT_TRUE(copy == IID_IUpload);
    copy.Data4[7] ^= 1;
    EXPECT_FALSE(IsEqualGUID(copy, IID_IUpload)) << "the last byte counts";
    EXPECT_FALSE(copy == IID_IUpload);
    copy = IID_IUpload;
    copy.Data1 ^= 0x80000000u;
    EXPECT_FALSE(IsEqualGUID(copy, IID_IUpload)) << "the first byte counts";
    EXPECT_FALSE(IsEqualGUID(IID_IUpload, IID_IProgress));
}
