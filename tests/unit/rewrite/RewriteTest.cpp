// Rewriting the links of a saved page so that the copy works offline.
#include "web/HTMLParser.h"
#include "web/LinkType.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>

using testsupport::FileExists;
using testsupport::ReadFileText;
using testsupport::TTempDir;
using testsupport::WriteFileText;
using web::THTMLParser;
using web::TLinkReplaceOptions;
using web::TWebLinkList;

namespace {

constexpr const char* PageURL = "http://site/a/page.html";

// A job's destination "<temp>/D" holding the page saved from PageURL and
// whatever other files a case asks for.
class TSavedSite {
  public:
    TSavedSite() {
        Options.DestinationPath = Dest;
        std::filesystem::create_directories(Dest + "/site/a");
    }
    void Save(const std::string& RelativeName, const std::string& Text = "x") {
        const std::string path = Dest + "/" + RelativeName;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFileText(path, Text);
    }
    // Reads the page as link rewriting does, then rewrites it in place.
    web::TPageResult Rewrite() {
        TWebLinkList links;
        EXPECT_TRUE(Parser.GetLinksInHTMLFile(PagePath, PageURL, &links));
        return Parser.ReplaceLinksInFile(PagePath, PageURL, Options, links);
    }
    std::string RewriteText(const std::string& Html) {
        WriteFileText(PagePath, Html);
        const auto result = Rewrite();
        EXPECT_TRUE(result) << result.ErrorText;
        return ReadFileText(PagePath);
    }

    TTempDir Dir;
    const std::string Dest = Dir.Path() + "/D";
    const std::string PagePath = Dest + "/site/a/page.html";
    TLinkReplaceOptions Options;
    THTMLParser Parser;
};

} // namespace

TEST(Rewrite, SavedFilesBecomeRelativeLinksOthersAbsoluteAddresses) {
    const struct {
        std::string Html;
        std::vector<std::string> Saved; // under the destination
        std::string Expected;
    } rows[] = {
        {"<a href=\"../img/x.gif\">", {"site/img/x.gif"}, "<a href=\"../img/x.gif\">"},
        {"<img src=x.gif>", {"site/a/x.gif"}, "<img src=\"x.gif\">"},
        {"<a href=\"b.html#part\">", {"site/a/b.html"}, "<a href=\"b.html#part\">"},
        {"<a href=\"b.html#part\">", {}, "<a href=\"http://site/a/b.html#part\">"},
        {"<a href='/top.htm'>", {"site/top.htm"}, "<a href=\"../top.htm\">"},
        {"<a href=http://other/q.htm>", {"other/q.htm"}, "<a href=\"../../other/q.htm\">"},
        {"<a href=\"mailto:someone\">", {}, "<a href=\"mailto:someone\">"},
        {"<a href='javascript:go()'>", {}, "<a href='javascript:go()'>"},
        {"<p><base href=\"http://site/a/\"><img src=x.gif>",
         {"site/a/x.gif"},
         "<p><img src=\"x.gif\">"},
        {"<meta http-equiv=refresh content='5; URL=http://site/a/next.html'>",
         {"site/a/next.html"},
         "<meta http-equiv=refresh content='5; URL=next.html'>"},
        {"<meta http-equiv=refresh content='5; URL=http://site/a/next.html'>",
         {},
         "<meta http-equiv=refresh content='5; URL=http://site/a/next.html'>"},
        // CODE and DATA name the file alone; CODEBASE stays an address.
        {"<applet code=A.class codebase=cls/>",
         {"site/a/cls/A.class"},
         "<applet code=\"A.class\" codebase=\"http://site/a/cls/\">"},
        // "SRC" found inside "lowsrc" names the same text: it is replaced once.
        {"<img lowsrc=b.gif src=a.gif>", {"site/a/b.gif"}, "<img lowsrc=\"b.gif\" src=a.gif>"},
        // "HREF" matched inside the SRC value is no attribute of its own.
        {"<embed src=a.php?href=b.gif>", {}, "<embed src=\"http://site/a/a.php?href=b.gif\">"},
        {"<embed src=a.php?href='b c'>", {}, "<embed src=\"http://site/a/a.php?href='b\" c'>"},
        // A "%" that stayed in the file name must not be decoded by the browser.
        {"<a href=caf%C3%A9.htm>", {"site/a/caf%C3%A9.htm"}, "<a href=\"caf%25C3%25A9.htm\">"},
        {"<a href='my%20file.htm'>", {"site/a/my file.htm"}, "<a href=\"my%20file.htm\">"},
    };
    for (const auto& row : rows) {
        TSavedSite site;
        for (const auto& name : row.Saved)
            site.Save(name);
        EXPECT_EQ(site.RewriteText(row.Html), row.Expected) << "page: " << row.Html;
    }
}

TEST(Rewrite, LinksFollowTheNameTheFileWasReallySavedUnder) {
    TSavedSite site;
    site.Save("site/a/list.asp.htm");
    site.Options.LookUpSavedName = [](const std::string& Local) {
        return Local.ends_with(".asp") ? Local + ".htm" : Local;
    };
    EXPECT_EQ(site.RewriteText("<a href=list.asp>"), "<a href=\"list.asp.htm\">");
}

TEST(Rewrite, MarkOfTheWebIsAddedOnce) {
    TSavedSite site;
    site.Options.AddMarkOfWeb = true;
    const std::string mark = "<!-- saved from url=(0023)http://site/a/page.html -->\r\n";
    const std::string first = site.RewriteText("<a href=b.html>");
    EXPECT_EQ(first, mark + "<a href=\"http://site/a/b.html\">");
    // A second run reads the mark and adds none.
    ASSERT_TRUE(site.Rewrite());
    EXPECT_EQ(ReadFileText(site.PagePath), first);
}

TEST(Rewrite, KeepsTheFirstUnchangedPageAsOrig) {
    TSavedSite site;
    site.Options.KeepRewriteInputFiles = true;
    site.Save("site/a/b.html");
    const std::string original = "<a href=b.html>";
    EXPECT_EQ(site.RewriteText(original), "<a href=\"b.html\">");
    const std::string orig = site.Dest + "/site/a/page_orig.html";
    EXPECT_EQ(ReadFileText(orig), original);

    WriteFileText(site.PagePath, "<a href=c.html>");
    ASSERT_TRUE(site.Rewrite());
    EXPECT_EQ(ReadFileText(orig), original) << "a later run must leave the first _orig alone";
    EXPECT_FALSE(FileExists(site.PagePath + ".tmp"));
}

TEST(Rewrite, StopDuringWritingLeavesAWholePageWithTheRestUnchanged) {
    TSavedSite site;
    site.Save("site/a/1.htm");
    site.Save("site/a/2.htm");
    int calls = 0;
    site.Parser.OnRewriteProgress = [&](std::uint32_t Position, std::uint32_t Size) {
        EXPECT_LE(Position, Size);
        return ++calls == 1;
    };
    EXPECT_EQ(site.RewriteText("<a href=1.htm> and <a href=2.htm> end"),
              "<a href=\"1.htm\"> and <a href=2.htm> end");
    EXPECT_EQ(calls, 1);
}

TEST(Rewrite, KeepsThePagesPermissions) {
    TSavedSite site;
    WriteFileText(site.PagePath, "<a href=b.html>");
    ASSERT_EQ(::chmod(site.PagePath.c_str(), 0640), 0);
    ASSERT_TRUE(site.Rewrite());
    struct stat info {};
    ASSERT_EQ(::stat(site.PagePath.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(RewriteFailure, APageThatCannotBeRewrittenStaysAsItWas) {
    TSavedSite site;
    const std::string html = "<a href=b.html>";
    WriteFileText(site.PagePath, html);

    TWebLinkList none;
    auto result =
        site.Parser.ReplaceLinksInFile(site.Dest + "/missing.html", PageURL, site.Options, none);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.ErrorText, "File does not exist");

    // A leftover temporary file is removed; one that cannot be removed stops the rewrite.
    WriteFileText(site.PagePath + ".tmp", "half");
    EXPECT_TRUE(site.Rewrite());
    EXPECT_FALSE(FileExists(site.PagePath + ".tmp"));
    WriteFileText(site.PagePath, html);
    std::filesystem::create_directories(site.PagePath + ".tmp/in-the-way");
    result = site.Rewrite();
    EXPECT_FALSE(result);
    EXPECT_EQ(result.ErrorText, "Cannot delete temporary file");
    EXPECT_EQ(ReadFileText(site.PagePath), html);
}

TEST(RewriteFailure, ALinkPastTheEndFailsWithoutTouchingThePage) {
    TSavedSite site;
    const std::string html = "<a href=b.html><a href=c.html>";
    WriteFileText(site.PagePath, html);
    TWebLinkList links;
    ASSERT_TRUE(site.Parser.GetLinksInHTMLFile(site.PagePath, PageURL, &links));
    ASSERT_EQ(links.Count(), 2);
    links.Get(1)->ValueOffset = 100; // the file changed since it was read
    const auto result = site.Parser.ReplaceLinksInFile(site.PagePath, PageURL, site.Options, links);
    EXPECT_FALSE(result);
    EXPECT_NE(result.ErrorText.find("past the end"), std::string::npos) << result.ErrorText;
    EXPECT_EQ(ReadFileText(site.PagePath), html);
    EXPECT_FALSE(FileExists(site.PagePath + ".tmp"));
}
