#include "engine/Wildcard.h"
#include "engine/RestrictionList.h"

#include "support/TraceLogCapture.h"

#include <gtest/gtest.h>

using engine::MatchWildcard;
using engine::TWildcardMatch;

TEST(Wildcard, MatchesTheWholeValueIgnoringCase) {
    constexpr auto M = TWildcardMatch::Match;
    constexpr auto N = TWildcardMatch::NoMatch;
    constexpr auto B = TWildcardMatch::BadPattern;
    struct Row {
        const char* Pattern;
        const char* Value;
        TWildcardMatch Expected;
    } rows[] = {
        {"*.example.com", "www.example.com", M},
        {"*.example.com", "a.b.EXAMPLE.com", M},
        {"*.example.com", "example.com", N},
        {"*.example.com", "www.example.com.evil.test", N},
        {".gif", ".GIF", M},
        {"gif", ".gif", N},
        {"image/*", "image/png", M},
        {"image/*", "text/html", N},
        {"*", "", M},
        {"", "", M},
        {"", "a", N},
        {"?", "", N},
        {"?", "x", M},
        {"a?c", "abc", M},
        {"a?c", "ac", N},
        {"*a*b*c*", "xxaxxbxxcxx", M},
        {"*a*b*c*", "xxcxxbxxaxx", N},
        {"**", "anything", M},
        {"a*", "A", M},
        {"*z", "abcz", M},
        {"*z", "abzc", N},
        {"[abc]", "B", M},
        {"[abc]", "d", N},
        {"[a-c]x", "bX", M},
        {"[A-C]x", "bx", M},
        {"[!a-c]", "d", M},
        {"[!a-c]", "b", N},
        {"file[0-9][0-9].htm", "file42.htm", M},
        {"file[0-9][0-9].htm", "file4x.htm", N},
        {"[a-]", "-", M},
        {"*[.]gif", "x.gif", M},
        {"[abc", "a", B},
        {"[]", "a", B},
        {"[!]", "a", B},
        {"[z-a]", "m", B},
        {"ok*[", "okay", B},
    };
    for (const auto& row : rows)
        EXPECT_EQ(MatchWildcard(row.Pattern, row.Value), row.Expected)
            << "pattern '" << row.Pattern << "' value '" << row.Value << "'";
}

// A long value against many stars stays quick: only the last star is retried.
TEST(Wildcard, ManyStarsDoNotBacktrackExponentially) {
    const std::string value(20000, 'a');
    EXPECT_EQ(MatchWildcard("*a*a*a*a*a*a*a*a*a*a*b", value), TWildcardMatch::NoMatch);
    EXPECT_EQ(MatchWildcard("*a*a*a*a*a*a*a*a*a*a*", value), TWildcardMatch::Match);
}

TEST(RestrictionList, SplitsAtCommasAndBlanksKeepingQuotedMembers) {
    struct Row {
        const char* Text;
        std::vector<std::string> Expected;
    } rows[] = {
        {".gif, .jpg,.png", {".gif", ".jpg", ".png"}},
        {"  a  b\tc\r\nd  ", {"a", "b", "c", "d"}},
        {"\"two words\", x", {"two words", "x"}},
        {"\"a,b\",c", {"a,b", "c"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"\"  padded  \"", {"padded"}},
        {"a,,b,", {"a", "b"}},
        {",", {}},
        {"\"\"", {}},
        {"", {}},
        {"\"unclosed, quote", {"unclosed, quote"}},
        {"\"a\"b", {"a", "b"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(engine::SplitCommaText(row.Text), row.Expected) << "list '" << row.Text << "'";
}

TEST(RestrictionList, FoundInStringTakesSubstringsOrPatterns) {
    engine::TRestrictionList list;
    list.SetText("Private, *.cgi?id=*", "CSVMemberFoundInString");
    struct Row {
        const char* Text;
        bool Found;
    } rows[] = {
        {"http://site.test/PRIVATE/a.html", true},
        {"http://site.test/show.cgi?id=4", true},
        {"http://site.test/show.cgi", false},
        {"http://site.test/public/a.html", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(list.FoundInString(row.Text), row.Found) << row.Text;
}

TEST(RestrictionList, ABadPatternIsLoggedOnceAndOnlyThatMemberFails) {
    testsupport::TTraceLogCapture trace;
    engine::TRestrictionList list;
    list.SetText("[abc, www.site.test", "CSVMemberEqualsString");
    EXPECT_EQ(trace.CountRows("\"Exception\",\"Invalid mask: [abc\",\"CSVMemberEqualsString\""),
              1u);
    EXPECT_TRUE(list.EqualsString("WWW.site.test"));
    EXPECT_FALSE(list.EqualsString("a"));
    EXPECT_FALSE(list.EqualsString("[abc"));
    // As a plain text the member can still occur in an address.
    list.SetText("[abc", "CSVMemberFoundInString");
    EXPECT_TRUE(list.FoundInString("http://site.test/[abc]/"));
}
