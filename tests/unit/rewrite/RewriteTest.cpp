// Rewriting the links of a saved page so that the copy works offline.
#include "base/AtomicReplace.h"
#include "web/HTMLParser.h"
#include "web/LinkType.h"
#include "web/SavedFileLookup.h"

#include "support/TempDir.h"
#include "unit/CaseTable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include <fcntl.h>


using testsupport::FileExists;
using testsupport::ReadFileText;
using testsupport::WriteFileText;

namespace {

constexpr const char* PageURL = "http://site/a/page.html";

// A job's destination "<temp>/D" holding the page saved from PageURL and
// whatever other files a case asks for.
struct TSavedSite {
    TSavedSite() {
        Options.DestinationPath = Dest;
        std::filesystem::create_directories(Dest + "/site/a");
    }
    void Save(const std::string& RelativeName) {
        const std::string path = Dest + "/" + RelativeName;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFileText(path, "x");
    }
    // Reads the page as link rewriting does, open for writing too, then
    // rewrites it in place; its descriptor may become the next scratch.
    web::TPageResult Rewrite() {
        base::TReplacedFile opened;
        opened.File = base::TFileDescriptor(::open(PagePath.c_str(), O_RDWR | O_CLOEXEC));
        std::string page;
        EXPECT_TRUE(::fstat(opened.File.Get(), &opened.Status) == 0 &&
                    base::ReadUpTo(opened.File.Get(), static_cast<std::size_t>(opened.Status.st_size), page));
        web::TWebLinkList links;
        EXPECT_TRUE(Parser.GetLinksInHTMLText(page, PageURL, &links));
        opened.Content = page;
        Options.Page = &opened;
        const auto result = Parser.ReplaceLinksInFile(PagePath, page, PageURL, Options, links);
        Options.Page = nullptr;
        return result;
    }
    std::string RewriteText(const std::string& Html) {
        WriteFileText(PagePath, Html);
        const auto result = Rewrite();
        EXPECT_TRUE(result) << result.ErrorText;
        return ReadFileText(PagePath);
    }

    testsupport::TTempDir Dir;
    const std::string Dest = Dir.Path() + "/D";
    const std::string PagePath = Dest + "/site/a/page.html";
    web::TLinkReplaceOptions Options;
    web::THTMLParser Parser;
};

} // namespace

TEST(RelativePath, LeadsFromOnePageToAnotherFile) {
    const struct { const char *From, *To, *Expected; } rows[] = {
        {"/D/site/a/page.html", "/D/site/img/x.gif", "../img/x.gif"},
        {"/D/site/a/page.html", "/D/site/a/page.html", "page.html"},
        {"/D/site/a/page.html", "/D/site/a/deeper/c.htm", "deeper/c.htm"},
        {"/D/site/page.html", "/E/x.htm", "../../E/x.htm"},
        {"/D//site/a/page.html", "/D/site/img/x.gif", "../img/x.gif"},
        {"/D/Site/page.html", "/D/site/b.html", "../site/b.html"}, // two folders on this file system
        {"/D/site/page.html", "relative/x.htm", "relative/x.htm"},  // no common root
    };
    for (const auto& row : rows) EXPECT_EQ(web::MakeRelativePath(row.From, row.To), row.Expected) << row.To;
    EXPECT_EQ(web::MakeOrigFileName("/D/site.test/a.b.htm"), "/D/site.test/a.b_orig.htm");
    EXPECT_EQ(web::MakeOrigFileName("/D/site.test/page"), "/D/site.test/page_orig");
}

TEST(Rewrite, SavedFilesBecomeRelativeLinksOthersAbsoluteAddresses) {
    for (const auto& row : unittest::ReadCases("rewrite/links.tsv", 3)) {
        TSavedSite site;
        std::istringstream saved(row[1]);
        for (std::string name; std::getline(saved, name, ',');) site.Save(name);
        EXPECT_EQ(site.RewriteText(row[0]), row[2]) << row.Where;
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

TEST(Rewrite, MarkOfTheWebIsAddedOnceAndTheFirstPageIsKeptAsOrig) {
    TSavedSite site;
    site.Options.AddMarkOfWeb = site.Options.KeepRewriteInputFiles = true;
    const std::string first = site.RewriteText("<a href=b.html>");
    EXPECT_EQ(first, "<!-- saved from url=(0023)http://site/a/page.html -->\r\n<a href=\"http://site/a/b.html\">");
    ASSERT_TRUE(site.Rewrite()) << "a second run reads the mark and adds none";
    EXPECT_EQ(ReadFileText(site.PagePath), first);
    EXPECT_EQ(ReadFileText(site.Dest + "/site/a/page_orig.html"), "<a href=b.html>")
        << "a later run must leave the first _orig alone";
}

// One scratch file serves a whole pass: every page is replaced, a shorter
// page leaves nothing of the longer one the scratch held, an original kept
// beside its page (a second link to the old file) is never reused as the
// scratch, and nothing but the pages is left when the pass ends.
TEST(Rewrite, OneScratchReplacesEveryPageAndLeavesNothingBehind) {
    const struct { bool Keep; std::set<std::string> Left; } rows[] = {
        {false, {"page.html"}},
        {true, {"page.html", "page_orig.html"}},
    };
    const std::string page = "<a href=b.html>" + std::string(300, '.');
    for (const auto& row : rows) {
        TSavedSite site;
        site.Options.KeepRewriteInputFiles = row.Keep;
        {
            base::TReplaceScratch scratch;
            site.Options.Scratch = &scratch;
            EXPECT_EQ(site.RewriteText(page), "<a href=\"http://site/a/b.html\">" + page.substr(15));
            EXPECT_EQ(site.RewriteText("<img src=c.gif>"), "<img src=\"http://site/a/c.gif\">");
        }
        std::set<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(site.Dest + "/site/a"))
            left.insert(entry.path().filename().string());
        EXPECT_EQ(left, row.Left) << row.Keep;
        if (row.Keep) {
            EXPECT_EQ(ReadFileText(site.Dest + "/site/a/page_orig.html"), page);
        }
    }
}

// A page whose links all stay as they were is not written at all: it keeps
// its file and its time, whatever scratch the pass holds.
TEST(Rewrite, APageWhoseLinksStayAsTheyWereIsLeftUntouched) {
    TSavedSite site;
    site.Save("site/a/b.html");
    base::TReplaceScratch scratch;
    site.Options.Scratch = &scratch;
    EXPECT_EQ(site.RewriteText("<img src=c.gif>"), "<img src=\"http://site/a/c.gif\">");
    const std::string unchanged = "<a href=\"b.html\">" + std::string(100, '.');
    WriteFileText(site.PagePath, unchanged);
    const timespec old[2] = {{1700000000, 0}, {1700000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, site.PagePath.c_str(), old, 0), 0);
    struct stat before {};
    ASSERT_EQ(::stat(site.PagePath.c_str(), &before), 0);
    ASSERT_TRUE(site.Rewrite());
    struct stat after {};
    ASSERT_EQ(::stat(site.PagePath.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtime, 1700000000);
    EXPECT_EQ(ReadFileText(site.PagePath), unchanged);
}

// A page that is a symbolic link is replaced by the rewritten page; the link
// never becomes the scratch, which would lead the next page's writing to
// whatever file it names.
TEST(Rewrite, AScratchNeverWritesThroughASymbolicLinkThatItTookThePlaceOf) {
    TSavedSite site;
    const std::string outside = site.Dir.Path() + "/outside.html";
    WriteFileText(outside, "<a href=b.html> outside the copy");
    std::filesystem::create_symlink(outside, site.PagePath);
    base::TReplaceScratch scratch;
    site.Options.Scratch = &scratch;
    ASSERT_TRUE(site.Rewrite());
    EXPECT_EQ(site.RewriteText("<img src=c.gif>"), "<img src=\"http://site/a/c.gif\">");
    EXPECT_EQ(ReadFileText(outside), "<a href=b.html> outside the copy");
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
    EXPECT_EQ(site.RewriteText("<a href=1.htm> and <a href=2.htm> end"), "<a href=\"1.htm\"> and <a href=2.htm> end");
    EXPECT_EQ(calls, 1);
}

TEST(RewriteFailure, APageThatCannotBeRewrittenStaysAsItWas) {
    TSavedSite site;
    const std::string html = "<a href=b.html><a href=c.html>";
    // A file of the site that bears a temporary-looking name is no leftover: it stays.
    WriteFileText(site.PagePath + ".tmp", "a file of the site");
    EXPECT_EQ(site.RewriteText(html), "<a href=\"http://site/a/b.html\"><a href=\"http://site/a/c.html\">");
    EXPECT_EQ(ReadFileText(site.PagePath + ".tmp"), "a file of the site");
    WriteFileText(site.PagePath, html);
    // A link past the end of the page read fails without touching the file.
    web::TWebLinkList links;
    ASSERT_TRUE(site.Parser.GetLinksInHTMLText(html, PageURL, &links));
    links.Get(1)->ValueOffset = 100;
    const auto result = site.Parser.ReplaceLinksInFile(site.PagePath, html, PageURL, site.Options, links);
    EXPECT_NE(result.ErrorText.find("past the end"), std::string::npos) << result.ErrorText;
    EXPECT_EQ(ReadFileText(site.PagePath), html);
    for (const auto& entry : std::filesystem::directory_iterator(site.Dest + "/site/a"))
        EXPECT_NE(entry.path().filename().string().front(), '.') << "temporary file left: " << entry.path();
}

// Links are rewritten to the files really saved, whose names may differ in
// letter case; a folder found missing answers for everything under it, but
// a file missing from a folder says nothing of the folder's other files.
TEST(SavedFileCache, FindsFilesLetterCaseAsideAndRemembersMissingFolders) {
    testsupport::TTempDir dir;
    const std::string root = dir.Path() + "/D";
    std::filesystem::create_directories(root + "/a");
    std::filesystem::create_directories(root + "/B");
    WriteFileText(root + "/a/Page.html", "p");
    WriteFileText(root + "/B/c.gif", "c");
    const struct { const char* Path; const char* Found; } rows[] = {
        {"/a/Page.html", "/a/Page.html"},
        {"/A/page.HTML", "/a/Page.html"},
        {"/a/none.html", nullptr},
        {"/a/Page.html", "/a/Page.html"},
        {"/other.test/x.html", nullptr},
        {"/other.test/deep/y.html", nullptr},
        {"/b/c.gif", "/B/c.gif"},
        {"/a", nullptr},
    };
    web::TSavedFileCache cache;
    for (const auto& row : rows) {
        const auto found = cache.Find(root, root + row.Path);
        EXPECT_EQ(found.value_or("none"), row.Found ? root + row.Found : "none") << row.Path;
    }
}
