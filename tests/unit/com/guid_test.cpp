#include "com/guid.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(Guid, NewGuidStringsAreFreshAndInRegistryForm)
{
    std::set<WideString> seen;
    for (int i = 0; i < 100; ++i) {
        const WideString guid = com::NewGuidString();
        ASSERT_EQ(guid.size(), 38u);
        EXPECT_EQ(guid.front(), OLECHAR('{'));
        EXPECT_EQ(guid.back(), OLECHAR('}'));
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 100u);
}

TEST(Guid, RegistryFormIsUpperCaseHexInBraces)
{
    const GUID guid{0x0123abcd, 0x4567, 0x89ef, {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef}};
    EXPECT_EQ(com::GuidToString(guid), WideString(OLESTR("{0123ABCD-4567-89EF-0123-456789ABCDEF}")));
}

} // namespace
