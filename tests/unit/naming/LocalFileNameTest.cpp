#include "web/URLType.h"

#include "support/TraceLogCapture.h"

#include <gtest/gtest.h>

using web::TURL;

namespace {

const std::string Dest = "/dest";

struct NameRow {
    std::string Url;
    bool Recreate;
    bool AssumeWWW;
    std::string Name;
};

std::string LocalName(const std::string& Url, bool Recreate, bool AssumeWWW,
                      const std::string& Base = Dest) {
    TURL url;
    if (!url.SetFullURL(Url)) return "(invalid)";
    return url.GetLocalFileName(Base, Recreate, AssumeWWW);
}

void ExpectNames(const std::vector<NameRow>& Rows) {
    for (const auto& row : Rows)
        EXPECT_EQ(LocalName(row.Url, row.Recreate, row.AssumeWWW), row.Name)
            << row.Url << " recreate " << row.Recreate << " www " << row.AssumeWWW;
}

} // namespace

TEST(LocalFileName, FollowsHostAndPathUnderTheDestination) {
    ExpectNames({
        {"http://site.test/dir/page.html?x=1#top", true, false, "/dest/site.test/dir/page.html_x=1"},
        {"http://site.test/", true, true, "/dest/www.site.test/index.html"},
        {"http://a.site.test/", true, true, "/dest/a.site.test/index.html"},
        {"http://localhost/", true, true, "/dest/localhost/index.html"},
        {"http://Site.Test/Dir/", true, false, "/dest/Site.Test/Dir/index.html"},
        {"http://site.test//x.htm", true, false, "/dest/site.test/x.htm"},
        {"http://site.test///x.htm", true, false, "/dest/site.test/x.htm"},
        {"http://site.test/a/b/c.gif", false, false, "/dest/c.gif"},
        {"http://site.test/a/b/", false, false, "/dest/index.html"},
        {"http://site.test/a/b/?p=2", false, false, "/dest/_p=2"},
        {"http://site.test/a?b/c", true, false, "/dest/site.test/a_b/c"},
        {"http://site.test/a?b/", true, false, "/dest/site.test/a_b/index.html"},
        {"http://[::1]:8080/x", true, false, "/dest/[__1]/x"},
    });
}

TEST(LocalFileName, LeavesSchemePortAndCredentialsOut) {
    for (const char* url : {"http://site.test:8080/a.htm", "https://site.test/a.htm",
                            "ftp://site.test/a.htm", "http://me:pw@site.test/a.htm"})
        EXPECT_EQ(LocalName(url, true, false), "/dest/site.test/a.htm") << url;
}

TEST(LocalFileName, DecodesOnlyHarmlessEscapes) {
    ExpectNames({
        {"http://site.test/my%20file%3F.htm", true, false, "/dest/site.test/my file_.htm"},
        {"http://site.test/a%2Fb.htm", true, false, "/dest/site.test/a%2Fb.htm"},
        {"http://site.test/%e9%E9", true, false, "/dest/site.test/%e9%E9"},
        {"http://site.test/%41%61%30%7E%5F%2D", true, false, "/dest/site.test/Aa0~_-"},
        {"http://site.test/%22%2A%3A%3C%3E%7C", true, false, "/dest/site.test/______"},
        {"http://site.test/%2E%5C%25%23%3B%3D%00%0A%7F", true, false,
         "/dest/site.test/%2E%5C%25%23%3B%3D%00%0A%7F"},
        {"http://site.test/%4%zz%", true, false, "/dest/site.test/%4%zz%"},
        {"http://site.test/%2541", true, false, "/dest/site.test/%2541"},
        {"http://site.test/a%20b?c%20d", true, false, "/dest/site.test/a b_c d"},
    });
}

// The destination is the user's own folder name; only what follows it comes
// from the address and is decoded or replaced.
TEST(LocalFileName, LeavesTheDestinationPrefixUntouched) {
    const std::string base = "/data/my%20site:a?b";
    EXPECT_EQ(LocalName("http://site.test/a%20b%3F", true, false, base),
              "/data/my%20site:a?b/site.test/a b_");
}

TEST(LocalFileName, CapsTheWholePathKeepingAShortExtension) {
    testsupport::TTraceLogCapture trace;
    const std::string prefix = "/dest/site.test/";
    const std::string html = "http://site.test/" + std::string(300 - prefix.size() - 5, 'n') + ".html";
    const std::string capped = LocalName(html, true, false);
    EXPECT_EQ(capped.size(), 248u);
    EXPECT_EQ(capped, prefix + std::string(243 - prefix.size(), 'n') + ".html");
    EXPECT_EQ(trace.Count("Message", "Truncating long filename " + prefix + "nnn"), 1);

    const std::string longExt = "http://site.test/" + std::string(250, 'n') + ".longextension";
    EXPECT_EQ(LocalName(longExt, true, false), prefix + std::string(248 - prefix.size(), 'n'));
    const std::string seven = "http://site.test/" + std::string(250, 'n') + ".abcdef";
    EXPECT_EQ(LocalName(seven, true, false), prefix + std::string(241 - prefix.size(), 'n') + ".abcdef");

    const std::string exact = "http://site.test/" + std::string(248 - prefix.size(), 'n');
    EXPECT_EQ(LocalName(exact, true, false).size(), 248u);
    const std::string shorter = "http://site.test/" + std::string(247 - prefix.size(), 'n');
    EXPECT_EQ(LocalName(shorter, true, false).size(), 247u);
    EXPECT_EQ(trace.Count("Message", "Truncating long filename"), 4);
}

TEST(LocalFileName, GivesFileAddressesTheirOwnPath) {
    ExpectNames({
        {"file:///home/me/a.htm", true, false, "/home/me/a.htm"},
        {"FILE:///home/me/My%20a.htm", false, true, "/home/me/My%20a.htm"},
        {"file:///C:/Docs/a.htm", true, false, "/C:/Docs/a.htm"},
        {"file:///C|/Docs/a.htm", true, false, "/C:/Docs/a.htm"},
        {"C:\\Docs\\a.htm", true, false, "/C:/Docs/a.htm"},
        {"C:/Docs/a.htm", true, false, "/C:/Docs/a.htm"},
        {"file:///home/a|b\\c", true, false, "/home/a|b\\c"},
    });
}

TEST(LocalFileName, IsEmptyForSchemesNeverSaved) {
    testsupport::TTraceLogCapture trace;
    for (const char* url : {"mailto:someone", "gopher://g.test/1", "news://n.test:119/x",
                            "socks://s.test/"})
        EXPECT_EQ(LocalName(url, true, true), "") << url;
    EXPECT_EQ(TURL().GetLocalFileName(Dest, true, true), "");
    EXPECT_EQ(trace.Count("Warning"), 0);
}
