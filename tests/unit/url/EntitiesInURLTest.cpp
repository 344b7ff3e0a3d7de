#include "web/URLType.h"

#include <gtest/gtest.h>

TEST(DecodeEntity, ReadsNamedAndNumericReferences) {
    const struct {
        const char* Entity;
        bool Reads;
        char Ch;
    } rows[] = {
        {"&amp;", true, '&'},   {"&lt;", true, '<'},     {"&gt;", true, '>'},
        {"&apos;", true, '\''}, {"&quot;", true, '"'},   {"&#32;", true, ' '},
        {"&#x41;", true, 'A'},  {"&#x4a;", true, 'J'},   {"&#321;", true, 'A'},  // low byte
        {"&#X41;", false, 0},   {"&AMP;", false, 0},     {"&nbsp;", false, 0},
        {"&#;", false, 0},      {"&#x;", false, 0},      {"&#1a;", false, 0},
        {"&#-1;", false, 0},    {"&;", false, 0},        {"&#99999999999;", false, 0},
    };
    for (const auto& row : rows) {
        char ch = 0;
        EXPECT_EQ(web::DecodeEntity(row.Entity, ch), row.Reads) << row.Entity;
        if (row.Reads) EXPECT_EQ(ch, row.Ch) << row.Entity;
    }
}

TEST(DecodeEntitiesInURL, ReplacesShortReferencesOnly) {
    const struct {
        const char* In;
        const char* Out;
    } rows[] = {
        {"a.asp?x=1&amp;y=2", "a.asp?x=1&y=2"},
        {"q=&quot;a&quot;", "q=%22a%22"},
        {"a&#32;b", "a%20b"},
        {"a&#x41;b", "aAb"},
        {"&nbsp;x", "&nbsp;x"},
        {"&#1234;", "&#1234;"},  // seven characters: too long to be looked at
        {"a&b=c;d", "a&b=c;d"},
        {"&amp;amp;", "&amp;"},  // one level only
        {"&lt;&gt;", "%3C%3E"},
        {"&#0;", "%00"},
        {"x&", "x&"},
        {"", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(web::DecodeEntitiesInURL(row.In), row.Out) << row.In;
}

TEST(IsURLChar, AcceptsTheUnescapedSetOnly) {
    for (const char c : std::string("azAZ09;/?:@&=+$,-_.!~*'()")) EXPECT_TRUE(web::IsURLChar(c)) << c;
    for (const char c : std::string(" \"#%<>[]\\^`{|}\x7f\x80\xff"))
        EXPECT_FALSE(web::IsURLChar(c)) << static_cast<int>(c);
    EXPECT_FALSE(web::IsURLChar('\0'));
}
