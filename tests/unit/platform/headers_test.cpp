// The platform header and the generated interface header compile together, and the Windows types
// behave as the product relies on: 32-bit DWORD and LONG arithmetic (tick counts wrap modulo 2^32
// and deadlines compare through the signed difference), UTF-16 OLECHAR strings, VARIANT_BOOL true
// as -1, HRESULT failures as negative values, GUIDs compared by all 16 bytes. On Windows these are
// the SDK's types; elsewhere the stand-in (platform/posix) defines them.
#include "platform/win.h"
#include "kestrune_idl.h"

#include <cstddef>

#include <gtest/gtest.h>

// Layouts that the stand-in builds itself (a union, a packed decimal, a GUID): a change to one of
// its structures that moves away from the Windows layout stops the build here.
static_assert(sizeof(GUID) == 16 && offsetof(GUID, Data4) == 8);
static_assert(sizeof(VARIANT) == (sizeof(void*) == 8 ? 24 : 16) && offsetof(VARIANT, lVal) == 8);
static_assert(sizeof(DECIMAL) == 16);

TEST(PlatformHeaders, TickAndLongArithmeticIs32Bits)
{
    DWORD tick = 0xFFFFFF00u;
    tick += 0x200;
    EXPECT_EQ(tick, DWORD{0x100}) << "a tick count wraps modulo 2^32";
    const DWORD deadline = 0x00000010u;
    const DWORD now = 0xFFFFFFF0u;
    EXPECT_GT(static_cast<LONG>(deadline - now), 0) << "a deadline just past the wrap is still ahead";
    ULONG count = 0;
    --count;
    EXPECT_EQ(count, ULONG{0xFFFFFFFFu});
}

TEST(PlatformHeaders, OleStringsAreUtf16)
{
    const WideString text = OLESTR("\u00E9\U0001F600");
    ASSERT_EQ(text.size(), 3u) << "one unit for U+00E9, a surrogate pair for U+1F600";
    EXPECT_EQ(static_cast<unsigned>(text[0]), 0x00E9u);
    EXPECT_EQ(static_cast<unsigned>(text[1]), 0xD83Du);
    EXPECT_EQ(static_cast<unsigned>(text[2]), 0xDE00u);
}

TEST(PlatformHeaders, AutomationBooleansAndFailureCodes)
{
    const VARIANT_BOOL yes = VARIANT_TRUE;
    EXPECT_EQ(yes, -1);
    EXPECT_EQ(static_cast<unsigned short>(yes), 0xFFFFu);
    EXPECT_LT(E_FAIL, 0);
    EXPECT_TRUE(FAILED(E_FAIL));
    EXPECT_TRUE(SUCCEEDED(S_FALSE));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_EXISTS), static_cast<HRESULT>(0x80070050));
}

TEST(PlatformHeaders, GuidsCompareByAllSixteenBytes)
{
    GUID copy = IID_IUpload;
    EXPECT_TRUE(IsEqualGUID(copy, IID_IUpload));
    EXPECT_TRUE(copy == IID_IUpload);
    copy.Data4[7] ^= 1;
    EXPECT_FALSE(IsEqualGUID(copy, IID_IUpload)) << "the last byte counts";
    EXPECT_FALSE(copy == IID_IUpload);
    EXPECT_FALSE(IsEqualGUID(IID_IUpload, IID_IProgress));
}
