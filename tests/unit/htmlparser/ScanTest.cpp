// Finding tags, comments and attribute values with their exact byte positions.
#include "web/HTMLParser.h"
#include "web/LinkType.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using web::THTMLParser;
using web::TWebLinkList;

namespace {

constexpr const char* Page = "http://site.test/p/index.htm";

// One found link as "TAG ATTRIBUTE=Value @offset+length #tagindex".
std::vector<std::string> Scan(const std::string& Html) {
    THTMLParser parser;
    TWebLinkList links;
    EXPECT_TRUE(parser.GetLinksInHTMLText(Html, Page, &links));
    std::vector<std::string> found;
    for (int i = 0; i < links.Count(); ++i) {
        const auto& l = *links.Get(i);
        found.push_back(l.TagName + " " + l.AttributeName + "=" + l.Value + " @" +
                        std::to_string(l.ValueOffset) + "+" + std::to_string(l.ValueLength) + " #" +
                        std::to_string(l.TagIndex));
        // The offsets must point at the value as written in the page.
        const std::string written = Html.substr(l.ValueOffset, l.ValueLength);
        EXPECT_NE(written.find(l.Value), std::string::npos) << Html << " / " << written;
        EXPECT_EQ(Html.substr(l.TagOffset, l.TagLength), l.TagText) << Html;
    }
    return found;
}

} // namespace

TEST(HTMLScan, FindsValuesWithTheirPositionsAsWritten) {
    const struct {
        std::string Html;
        std::vector<std::string> Links;
    } rows[] = {
        {"<a href=x.htm>", {"A HREF=x.htm @8+5 #1"}},
        {"<A HREF='x.htm'>", {"A HREF=x.htm @8+7 #1"}},
        {"text <a href=\"x.htm\">", {"A HREF=x.htm @13+7 #1"}},
        {"<a href = ' x.htm ' >", {"A HREF=x.htm @10+9 #1"}},
        {"<a\r\nhref=x.htm>", {"A HREF=x.htm @9+5 #1"}},
        {"<img src='a.gif' lowsrc='b.gif'>",
         {"IMG SRC=a.gif @9+7 #1", "IMG LOWSRC=b.gif @24+7 #1"}},
        // "SRC" is also found as the tail of "lowsrc": both name the same value.
        {"<img lowsrc=b.gif src=a.gif>", {"IMG SRC=b.gif @12+5 #1", "IMG LOWSRC=b.gif @12+5 #1"}},
        {"<img usemap=#m longdesc=d.htm src=a.gif>",
         {"IMG SRC=a.gif @34+5 #1", "IMG LONGDESC=d.htm @24+5 #1", "IMG USEMAP=#m @12+2 #1"}},
        {"<a title='see href=y' href='x.htm'>", {"A HREF=x.htm @27+7 #1"}},
        {"<a href='x.htm?a>b'>", {"A HREF=x.htm?a @8+8 #1"}},
        {"<a href=''><a name=top><a href><a href=><a href x=1>", {}},
        {"<!-- <a href=x.htm> -->", {}},
        {"<!-- a > b --><a href=y>", {"A HREF=y @22+1 #2"}},
        {"<!--><a href=z>", {"A HREF=z @13+1 #2"}},
        {"<!---><a href=z>", {"A HREF=z @14+1 #2"}},
        {"<a <b href=x>", {"A HREF=x @11+1 #1"}},
        {"< a href=x>", {}},
        {"</a href=x><p href=x><ahref=x>", {}},
        {"<a href=x", {}},
        {"<td background=t.gif><FORM action=/go><Q cite=c>",
         {"TD BACKGROUND=t.gif @15+5 #1", "FORM ACTION=/go @34+3 #2", "Q CITE=c @46+1 #3"}},
        {"<embed src=a.swf pluginurl=p href=h>",
         {"EMBED SRC=a.swf @11+5 #1", "EMBED PLUGINURL=p @27+1 #1", "EMBED HREF=h @34+1 #1"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Scan(row.Html), row.Links) << "page: " << row.Html;
}

TEST(HTMLScan, KeepsTheWholeTagOfEachLink) {
    THTMLParser parser;
    TWebLinkList links;
    const std::string html = "<p>one</p>\n<IMG Src=\"a.gif\" alt=x>";
    ASSERT_TRUE(parser.GetLinksInHTMLText(html, Page, &links));
    ASSERT_EQ(links.Count(), 1);
    const auto& link = *links.Get(0);
    EXPECT_EQ(link.TagText, "<IMG Src=\"a.gif\" alt=x>");
    EXPECT_EQ(link.TagOffset, 11);
    EXPECT_EQ(link.TagLength, 23);
    EXPECT_EQ(link.TagIndex, 3); // <p>, </p>, <IMG>
    EXPECT_EQ(link.TagName, "IMG");
    EXPECT_EQ(link.AttributeName, "SRC");
}

TEST(HTMLScan, TellsEmbeddingTagsFromLinksThatLeaveThePage) {
    THTMLParser parser;
    TWebLinkList links;
    ASSERT_TRUE(parser.GetLinksInHTMLText(
        "<img src=a.gif><a href=b.htm><frame src=f.htm><link href=s.css><body background=g.gif>",
        Page, &links));
    const bool expected[] = {true, false, true, false, true};
    ASSERT_EQ(links.Count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(THTMLParser::IsEmbeddingTag(*links.Get(i)), expected[i]) << links.Get(i)->TagName;
}

TEST(HTMLScan, ReportsProgressAfterTheFirstByteAndEvery3001Bytes) {
    THTMLParser parser;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> calls;
    parser.OnParseProgress = [&](std::uint32_t Position, std::uint32_t Size) {
        calls.emplace_back(Position, Size);
        return false;
    };
    TWebLinkList links;
    ASSERT_TRUE(parser.GetLinksInHTMLText(std::string(9004, 'x'), Page, &links));
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> expected = {
        {1, 9004}, {3002, 9004}, {6003, 9004}, {9004, 9004}};
    EXPECT_EQ(calls, expected);

    calls.clear();
    ASSERT_TRUE(parser.GetLinksInHTMLText("", Page, &links));
    EXPECT_TRUE(calls.empty());
}

TEST(HTMLScan, AbortStopsTheScanAndKeepsTheLinksFoundSoFar) {
    // One link before byte 3002, one after it.
    std::string html = "<a href=first.htm>" + std::string(4000, ' ') + "<a href=second.htm>";
    THTMLParser parser;
    int calls = 0;
    parser.OnParseProgress = [&](std::uint32_t Position, std::uint32_t) {
        ++calls;
        return Position >= 3002;
    };
    TWebLinkList links;
    ASSERT_TRUE(parser.GetLinksInHTMLText(html, Page, &links));
    EXPECT_EQ(calls, 2);
    ASSERT_EQ(links.Count(), 1);
    EXPECT_EQ(links.Get(0)->Value, "first.htm");
    EXPECT_EQ(links.Get(0)->URL.GetPlainURL(), "http://site.test/p/first.htm");
}

TEST(HTMLScan, ATagCutByAProgressStepIsStillFoundWhole) {
    // The tag spans byte 3002, where the scan pauses for the progress call.
    std::string html = std::string(2995, ' ') + "<a href=across.htm>";
    THTMLParser parser;
    parser.OnParseProgress = [](std::uint32_t, std::uint32_t) { return false; };
    TWebLinkList links;
    ASSERT_TRUE(parser.GetLinksInHTMLText(html, Page, &links));
    ASSERT_EQ(links.Count(), 1);
    EXPECT_EQ(links.Get(0)->Value, "across.htm");
    EXPECT_EQ(links.Get(0)->ValueOffset, 2995 + 8);
}

TEST(HTMLScan, WithoutAListOnlyTheMarkIsNoted) {
    THTMLParser parser;
    ASSERT_TRUE(parser.GetLinksInHTMLText(
        "<!-- saved from url=(0016)http://site.test -->\r\n<a href=x>", Page, nullptr));
    EXPECT_TRUE(parser.HasSavedFromMark());
}
