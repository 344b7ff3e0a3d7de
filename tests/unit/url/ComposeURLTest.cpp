#include "web/URLType.h"

#include "support/TraceLogCapture.h"

#include <gtest/gtest.h>

using web::TURL;

TEST(GetURL, ComposesTheChosenParts) {
    TURL url;
    ASSERT_TRUE(url.SetFullURL("http://me:pw@site.test:8080/dir/page.htm?x=1#top"));
    const struct {
        bool User, Host, Path, Query, Fragment;
        const char* Text;
    } rows[] = {
        {true, true, true, true, true, "http://me:pw@site.test:8080/dir/page.htm?x=1#top"},
        {false, true, true, true, false, "http://site.test:8080/dir/page.htm?x=1"},
        {false, true, true, true, true, "http://site.test:8080/dir/page.htm?x=1#top"},
        {false, true, false, false, false, "http://site.test:8080"},
        {false, false, true, false, false, "/dir/page.htm"},
        {false, false, true, true, true, "/dir/page.htm?x=1#top"},
        {false, true, true, false, true, "http://site.test:8080/dir/page.htm#top"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(url.GetURL(row.User, row.Host, row.Path, row.Query, row.Fragment), row.Text)
            << row.Text;
    EXPECT_EQ(url.GetFullURL(), rows[0].Text);
    EXPECT_EQ(url.GetPlainURL(), rows[1].Text);
}

TEST(GetURL, OmitsOnlyTheSchemeDefaultPort) {
    const struct {
        const char* In;
        const char* Out;
    } rows[] = {
        {"http://h.test:80/", "http://h.test/"},     {"http://h.test:443/", "http://h.test:443/"},
        {"https://h.test:443/", "https://h.test/"},  {"https://h.test:80/", "https://h.test:80/"},
        {"ftp://h.test:21/a", "ftp://h.test/a"},     {"ftp://h.test:2121/a", "ftp://h.test:2121/a"},
        {"gopher://h.test:70/", "gopher://h.test/"}, {"HTTP://H.test", "http://H.test/"},
        {"http://[::1]:8080", "http://[::1]:8080/"},
    };
    for (const auto& row : rows) {
        TURL url;
        ASSERT_TRUE(url.SetFullURL(row.In)) << row.In;
        EXPECT_EQ(url.GetFullURL(), row.Out) << row.In;
        TURL again;
        ASSERT_TRUE(again.SetFullURL(url.GetFullURL())) << row.In;
        EXPECT_EQ(again.GetPort(), url.GetPort()) << row.In;
    }
}

// User names and passwords come from the password store and may hold any
// character; composed into an address they must not move the host.
TEST(GetURL, EscapesCredentialsThatWouldMoveTheHost) {
    TURL url;
    ASSERT_TRUE(url.SetFullURL("http://site.test/"));
    url.SetCredentials("a:b@c", "p@ss/w#rd?:x");
    EXPECT_EQ(url.GetFullURL(), "http://a%3Ab%40c:p%40ss%2Fw%23rd%3F:x@site.test/");
    TURL parsed;
    ASSERT_TRUE(parsed.SetFullURL(url.GetFullURL()));
    EXPECT_EQ(parsed.GetHostName(), "site.test");
}

TEST(GetURL, IsEmptyForAnInvalidAddressAndForAnOverlongOne) {
    TURL url;
    EXPECT_EQ(url.GetFullURL(), "");
    EXPECT_EQ(url.GetURL(false, false, true, false, false), "");
    // Host, path and query each fit, but together they outgrow the composition room.
    ASSERT_TRUE(url.SetFullURL("http://h.test/" + std::string(1500, 'p') + "?" +
                               std::string(1000, 'q')));
    testsupport::TTraceLogCapture trace;
    EXPECT_EQ(url.GetFullURL(), "");
    EXPECT_EQ(trace.Count("API Error", "InternetCreateUrl h.test/ppp"), 1);
    EXPECT_EQ(url.GetURL(false, false, true, true, false).size(), 1 + 1500 + 1 + 1000u);
}

TEST(GetExtension, TakesTheLastDotOfTheLastSegment) {
    const struct {
        const char* Url;
        const char* Ext;
    } rows[] = {
        {"http://h.test/a.htm", ".htm"},     {"http://h.test/a.b.HTML", ".HTML"},
        {"http://h.test/a.b/c", ""},         {"http://h.test/", ""},
        {"http://h.test/x.gif?y=a.htm", ".gif"}, {"http://h.test/x?y=a.htm", ""},
        {"http://h.test/dir.d/", ""},        {"http://h.test/end.", "."},
    };
    for (const auto& row : rows) {
        TURL url;
        ASSERT_TRUE(url.SetFullURL(row.Url));
        EXPECT_EQ(url.GetExtension(), row.Ext) << row.Url;
    }
}

TEST(IsHTML, LooksAtTheMimeTypeFirstThenTheExtension) {
    const struct {
        const char* Url;
        const char* Mime;
        bool Html;
    } rows[] = {
        {"http://h.test/a.gif", "text/html; charset=utf-8", true},
        {"http://h.test/a.gif", "TEXT/HTML", true},
        {"http://h.test/a.gif", "text/htm", false},
        {"http://h.test/a.HTM", "", true},
        {"http://h.test/a.html", "image/gif", true},
        {"http://h.test/a.asp", "text/plain", false},
        {"http://h.test/", "", false},
    };
    for (const auto& row : rows) {
        TURL url;
        ASSERT_TRUE(url.SetFullURL(row.Url));
        EXPECT_EQ(url.IsHTML(row.Mime), row.Html) << row.Url << " " << row.Mime;
    }
    EXPECT_TRUE(web::IsHTMLExtension(".Html"));
    EXPECT_FALSE(web::IsHTMLExtension("htm"));
    EXPECT_FALSE(web::IsHTMLExtension(".shtml"));
}
