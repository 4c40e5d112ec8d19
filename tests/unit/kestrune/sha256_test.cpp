#include "tools/kestrune/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Sha256, MatchesTheStandardVectors)
{
    EXPECT_EQ(kestrune::Sha256::Of(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(kestrune::Sha256::Of("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(kestrune::Sha256::Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(kestrune::Sha256::Of(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, GivesTheSameDigestWhateverTheFeedSizes)
{
    std::string data;
    for (int i = 0; i < 1000; ++i)
        data += static_cast<char>(i * 31);
    const std::string whole = kestrune::Sha256::Of(data);
    for (std::size_t step : {1u, 55u, 56u, 63u, 64u, 65u, 999u}) {
        kestrune::Sha256 hash;
        for (std::size_t at = 0; at < data.size(); at += step)
            hash.Update(data.data() + at, std::min(step, data.size() - at));
        EXPECT_EQ(hash.HexDigest(), whole) << step;
    }
}

} // namespace
