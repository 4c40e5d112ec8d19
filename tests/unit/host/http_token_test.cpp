// The HTTP token rule that request methods, request header names and Response.AddHeader names
// share: letters, digits and !#$%&'*+-.^_`|~, nothing else, at least one.
#include "host/http_token.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(HttpToken, AcceptsEveryTokenCharacterAndNothingElse)
{
    EXPECT_TRUE(host::IsHttpToken("POST"));
    EXPECT_TRUE(host::IsHttpToken("X-Upload_Id.v2"));
    EXPECT_TRUE(host::IsHttpToken("!#$%&'*+-.^_`|~"));
    EXPECT_FALSE(host::IsHttpToken(""));
    for (const char* separator : {" ", "\t", "(", ")",  ",", "/", ":", ";",  "<",    "=",    ">",
                                  "?", "@",  "[", "\\", "]", "{", "}", "\"", "\x7F", "\x01", "\xE9"})
        EXPECT_FALSE(host::IsHttpToken(std::string("a") + separator + "b")) << int(separator[0]);
    EXPECT_FALSE(host::IsHttpToken(std::string("a\0b", 3)));
}

} // namespace
