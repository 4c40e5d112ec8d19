#include "host/html_text.h"
#include "host/url_encoding.h"

#include "host_test_support.h"

#include <gtest/gtest.h>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST(UrlEncoding, PercentDecodingTurnsEscapesIntoBytesAndRefusesBrokenOnes)
{
    EXPECT_EQ("/a b/\xC3\xA9", host::PercentDecode("/a%20b/%c3%A9", false));
    EXPECT_EQ("a+b", host::PercentDecode("a+b", false));
    EXPECT_EQ("a b", host::PercentDecode("a+b", true));
    EXPECT_EQ(std::string("x\0y", 3), host::PercentDecode("x%00y", false));
    EXPECT_EQ(std::nullopt, host::PercentDecode("50%", false));
    EXPECT_EQ(std::nullopt, host::PercentDecode("%4", false));
    EXPECT_EQ(std::nullopt, host::PercentDecode("%zz", false));
}

TEST(UrlEncoding, FormBodiesSplitIntoDecodedPairsInOrder)
{
    EXPECT_EQ((Pairs{{"a", "1"}, {"b", "x y!"}, {"a", "2"}}), host::ParseUrlEncoded("a=1&b=x+y%21&a=2"));
    EXPECT_EQ((Pairs{{"flag", ""}, {"e", ""}, {"k", "v=w"}}), host::ParseUrlEncoded("&flag&&e=&k=v=w&"));
    EXPECT_EQ((Pairs{{"bad", "100%"}}), host::ParseUrlEncoded("bad=100%"));
    EXPECT_TRUE(host::ParseUrlEncoded("").empty());
}

TEST(UrlEncoding, EncodingKeepsOnlyUnreservedCharactersAndRoundTrips)
{
    EXPECT_EQ("a+b%26c%3D%2F%C3%A9-_.*", host::UrlEncode("a b&c=/\xC3\xA9-_.*"));
    const std::string all = [] {
        std::string bytes;
        for (int i = 0; i < 256; ++i)
            bytes.push_back(static_cast<char>(i));
        return bytes;
    }();
    EXPECT_EQ(all, host::PercentDecode(host::UrlEncode(all), true));
}

TEST(HtmlText, MarkupCharactersBecomeReferencesAndTheRestStays)
{
    using host_test::W;
    EXPECT_EQ(W("&lt;a href=&quot;x&quot;&gt;&amp;&#39;&lt;/a&gt; plain"),
              host::HtmlEncode(W("<a href=\"x\">&'</a> plain")));
    const WideString beyond = {OLECHAR(0xD83D), OLECHAR(0xDE00), OLECHAR(0xE9)};
    EXPECT_EQ(beyond, host::HtmlEncode(beyond));
}

} // namespace
