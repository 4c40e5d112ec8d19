// How an HRESULT is shown, in reason lines and by the tools: eight upper-case hexadecimal digits,
// whatever the width of the platform's long.
#include "com/failure_reason.h"

#include <gtest/gtest.h>

namespace {

TEST(HResultText, IsEightUpperCaseHexDigitsForFailuresAndSuccesses)
{
    EXPECT_EQ(com::HResult{E_FAIL}.Text(), "0x80004005");
    EXPECT_EQ(com::HResult{static_cast<HRESULT>(0x800A01A8)}.Text(), "0x800A01A8");
    EXPECT_EQ(com::HResult{S_OK}.Text(), "0x00000000");
    EXPECT_EQ(com::HResult{S_FALSE}.Text(), "0x00000001");
}

} // namespace
