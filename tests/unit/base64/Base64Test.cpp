#include "jobs/Base64.h"

#include <gtest/gtest.h>

using jobs::Base64ToStr;
using jobs::StrToBase64;

TEST(Base64, EncodesAsStoredFilesExpect) {
    struct Row { std::string In, Out; } rows[] = {
        {"a", "YQ=="}, {"ab", "YWI="}, {"abc", "YWJj"}, {"", "A==="},
        {"user:pw", "dXNlcjpwdw=="}, {std::string("\0\xff", 2), "AP8="},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(StrToBase64(row.In), row.Out) << "input " << row.In;
        EXPECT_EQ(Base64ToStr(row.Out), row.In) << "round trip of " << row.Out;
    }
}

TEST(Base64, RefusesLengthsThatAreNoMultipleOfFour) {
    for (const char* text : {"", "YQ=", "abcde", "Zm9vY"})
        EXPECT_FALSE(Base64ToStr(text).has_value()) << text;
}

TEST(Base64, DecodesForeignCharactersSilentlyAsSixtyOne) {
    // '!' is outside the alphabet and counts as 61 ('9'), so no error is raised.
    EXPECT_EQ(Base64ToStr("YQ!!"), Base64ToStr("YQ99"));
}
