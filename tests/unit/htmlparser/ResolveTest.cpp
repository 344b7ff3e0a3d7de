// Resolving links against the page, BASE and CODEBASE; META refresh and
// robots; the "saved from url" mark; reading page files.
#include "web/HTMLParser.h"
#include "web/LinkType.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using testsupport::TTempDir;
using testsupport::WriteFileText;
using web::THTMLParser;
using web::TWebLinkInfo;
using web::TWebLinkList;

namespace {

constexpr const char* Page = "http://site.test/p/index.htm";

// The resolved address of the first link with this attribute, or "(invalid)".
std::string Resolved(const std::string& Html, const std::string& Attribute,
                     const std::string& PageURL = Page) {
    THTMLParser parser;
    TWebLinkList links;
    EXPECT_TRUE(parser.GetLinksInHTMLText(Html, PageURL, &links));
    for (int i = 0; i < links.Count(); ++i)
        if (links.Get(i)->AttributeName == Attribute)
            return links.Get(i)->URL.IsValid() ? links.Get(i)->URL.GetFullURL() : "(invalid)";
    return "(missing)";
}

} // namespace

TEST(HTMLResolve, ResolvesAgainstThePageItsBaseOrTheTagsCodebase) {
    const struct {
        std::string Html, Attribute, Expected;
    } rows[] = {
        {"<img src=pic.gif>", "SRC", "http://site.test/p/pic.gif"},
        {"<img src=../pic.gif>", "SRC", "http://site.test/pic.gif"},
        {"<img src=pic.gif><base href='http://site.test/dir/'>", "SRC",
         "http://site.test/dir/pic.gif"},
        {"<base href='http://one.test/'><base href='http://two.test/x/'><img src=pic.gif>", "SRC",
         "http://two.test/x/pic.gif"},
        // A relative BASE is no base: the page's own address counts.
        {"<base href='dir/'><img src=pic.gif>", "SRC", "http://site.test/p/pic.gif"},
        {"<applet code='A.class' codebase='classes/'>", "CODE",
         "http://site.test/p/classes/A.class"},
        {"<applet code='A.class' codebase='classes/'>", "CODEBASE", "http://site.test/p/classes/"},
        {"<applet code='A.class'>", "CODE", "http://site.test/p/A.class"},
        {"<object data=movie.swf codebase=/media/>", "DATA", "http://site.test/media/movie.swf"},
        {"<a href='javascript:void(0)'>", "HREF", "(invalid)"},
        {"<a href='mailto:someone@site.test'>", "HREF", "mailto:someone@site.test"},
        {"<meta name=description content=pic.gif>", "CONTENT", "(invalid)"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Resolved(row.Html, row.Attribute), row.Expected) << "page: " << row.Html;
}

TEST(HTMLResolve, NothingResolvesWhenNeitherBaseNorPageIsAnAddress) {
    EXPECT_EQ(Resolved("<img src=pic.gif>", "SRC", "not an address"), "(invalid)");
    EXPECT_EQ(Resolved("<base href=http://b.test/><img src=pic.gif>", "SRC", "not an address"),
              "http://b.test/pic.gif");
}

TEST(HTMLResolve, RefreshTargetIsFoundInsideTheContentValue) {
    const struct {
        std::string Html;
        int RefreshOffset, RefreshLength;
        std::string Expected;
    } rows[] = {
        {"<meta http-equiv='refresh' content='5; URL=http://site.test/next.htm'>", 8, 25,
         "http://site.test/next.htm"},
        {"<META HTTP-EQUIV=Refresh CONTENT=\"0;url= http://site.test/n.htm \">", 8, 22,
         "http://site.test/n.htm"},
        // Only absolute targets are addresses.
        {"<meta http-equiv=refresh content='5; URL=next.htm'>", 8, 8, "(invalid)"},
        // The target's twin before the "=" is not taken for it.
        {"<meta http-equiv=refresh content=http://a.test/;url=http://a.test/>", 19, 14,
         "http://a.test/"},
        {"<meta http-equiv=refresh content='5'>", 0, 0, "(invalid)"},
    };
    for (const auto& row : rows) {
        THTMLParser parser;
        TWebLinkList links;
        ASSERT_TRUE(parser.GetLinksInHTMLText(row.Html, Page, &links));
        const TWebLinkInfo* content = nullptr;
        for (int i = 0; i < links.Count(); ++i)
            if (links.Get(i)->AttributeName == "CONTENT") content = links.Get(i);
        ASSERT_NE(content, nullptr) << row.Html;
        EXPECT_EQ(content->RefreshOffset, row.RefreshOffset) << row.Html;
        EXPECT_EQ(content->RefreshLength, row.RefreshLength) << row.Html;
        EXPECT_EQ(content->URL.IsValid() ? content->URL.GetFullURL() : "(invalid)", row.Expected)
            << row.Html;
    }
}

TEST(HTMLResolve, RobotsDirectivesSetTheFlags) {
    const struct {
        std::string Html;
        bool NoIndex, NoFollow;
    } rows[] = {
        {"<meta name='robots' content='noindex'>", true, false},
        {"<meta name='robots' content='nofollow'>", false, true},
        {"<meta name='robots' content='index, follow'>", false, false},
        {"<meta name='ROBOTS' content='all'>", true, true},
        // Only the first matching directive counts for one value.
        {"<meta name='robots' content='NOINDEX, NOFOLLOW'>", true, false},
        {"<meta http-equiv=robots content=nofollow>", false, true},
        {"<meta name='robots' content='noindex'><meta name=robots content=nofollow>", true, true},
        {"<meta name='author' content='noindex'>", false, false},
        {"<!-- <meta name='robots' content='noindex'> -->", false, false},
    };
    for (const auto& row : rows) {
        THTMLParser parser;
        TWebLinkList links;
        ASSERT_TRUE(parser.GetLinksInHTMLText(row.Html, Page, &links));
        EXPECT_EQ(parser.NoIndex(), row.NoIndex) << row.Html;
        EXPECT_EQ(parser.NoFollow(), row.NoFollow) << row.Html;
    }
}

TEST(HTMLResolve, SavedFromMarkCountsOnlyWithinTheFirst2048Bytes) {
    const std::string mark = "<!-- saved from url=(0023)http://site/a/page.html -->";
    const struct {
        std::string Html;
        bool Marked;
    } rows[] = {
        {mark + "\r\n<html>", true},
        {"<!-- SAVED FROM URL=(0004)http -->", true},
        {std::string(2047 - mark.size(), ' ') + mark, true}, // ends at byte 2046
        {std::string(2048 - mark.size(), ' ') + mark, false},
        {std::string(3000 - mark.size(), ' ') + mark, false},
        {"<!--saved from url=(0004)http -->", false},
        {"<!-- saved from url=(0004)http >", false},
    };
    for (const auto& row : rows) {
        THTMLParser parser;
        TWebLinkList links;
        ASSERT_TRUE(parser.GetLinksInHTMLText(row.Html, Page, &links));
        EXPECT_EQ(parser.HasSavedFromMark(), row.Marked)
            << "page of " << row.Html.size() << " bytes";
    }
}

TEST(HTMLPageFile, ReadsThePageFromItsFile) {
    TTempDir dir;
    WriteFileText(dir.File("index.htm"), "<meta name=robots content=noindex><img src=a.gif>");
    THTMLParser parser;
    TWebLinkList links;
    ASSERT_TRUE(parser.GetLinksInHTMLFile(dir.File("index.htm"), Page, &links));
    EXPECT_TRUE(parser.NoIndex());
    ASSERT_EQ(links.Count(), 3);
    EXPECT_EQ(links.Get(2)->URL.GetFullURL(), "http://site.test/p/a.gif");
}

TEST(HTMLPageFile, AMissingPageIsEmptyAndClearsTheLastPagesState) {
    TTempDir dir;
    WriteFileText(dir.File("old.htm"), "<meta name=robots content=all><a href=x>");
    THTMLParser parser;
    TWebLinkList links;
    ASSERT_TRUE(parser.GetLinksInHTMLFile(dir.File("old.htm"), Page, &links));
    ASSERT_TRUE(parser.NoFollow());

    EXPECT_TRUE(parser.GetLinksInHTMLFile(dir.File("gone.htm"), Page, &links));
    EXPECT_EQ(links.Count(), 0);
    EXPECT_FALSE(parser.NoFollow());
    EXPECT_FALSE(parser.NoIndex());
}

TEST(HTMLPageFile, AnUnreadablePageFailsWithTheSystemsMessage) {
    TTempDir dir;
    std::filesystem::create_directory(dir.File("folder.htm"));
    THTMLParser parser;
    TWebLinkList links;
    const auto result = parser.GetLinksInHTMLFile(dir.File("folder.htm"), Page, &links);
    EXPECT_FALSE(result);
    EXPECT_FALSE(result.ErrorText.empty());
    EXPECT_EQ(links.Count(), 0);
}
