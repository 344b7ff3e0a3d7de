// Addresses chosen by a web page or a server, written to escape the
// destination. Each must map strictly below the destination or to no name.

#include "web/URLType.h"

#include "support/TraceLogCapture.h"

#include <gtest/gtest.h>

using web::TURL;

namespace {

const std::string Dest = "/dest";
const std::string Refused = "";

// A name is safe when it is empty, or lies below Base with every level after it
// a real name, and holds no NUL byte.
bool IsSafeName(const std::string& Base, const std::string& Name) {
    if (Name.empty()) return true;
    if (Name.find('\0') != std::string::npos || !Name.starts_with(Base + "/")) return false;
    std::size_t start = Base.size() + 1;
    while (start <= Name.size()) {
        const auto end = std::min(Name.find('/', start), Name.size());
        const auto segment = Name.substr(start, end - start);
        if (segment.empty() || segment == "." || segment == "..") return false;
        start = end + 1;
    }
    return true;
}

struct HostileRow {
    std::string Link;  // resolved against Page when Page is set, else taken as absolute
    std::string Page;
    bool Recreate;
    std::string Name;  // expected; Refused means no name and one warning
};

// "/dest/site.test/" is 16 characters: padding of 229 puts a cut at 248 right after "/..".
const std::string Pad(229, 'a');

const std::vector<HostileRow> Rows = {
    // Dot segments in absolute addresses are not resolved by parsing.
    {"http://site.test/../../etc/passwd", "", true, Refused},
    {"http://site.test/../../etc/passwd", "", false, "/dest/passwd"},
    {"http://site.test/a/..", "", false, Refused},
    {"http://site.test/a/.", "", false, Refused},
    {"ftp://site.test/./x", "", true, Refused},
    // Hosts that are no folder name.
    {"http://../x", "", true, Refused},
    {"http://./x", "", true, Refused},
    {"http://.../x", "", true, "/dest/.../x"},
    {"http://%2e%2e/x", "", true, "/dest/%2e%2e/x"},
    {"http://site.test./x", "", true, "/dest/site.test./x"},
    // Slashes in the query become folders: dot segments there are refused.
    {"http://site.test/p?x=/../../../etc/cron.d/evil", "", true, Refused},
    {"http://site.test/p?x=/../../../etc/cron.d/evil", "", false, Refused},
    {"http://site.test/p?/..", "", true, Refused},
    {"http://site.test/p?a/./b", "", true, Refused},
    {"http://site.test/p?..", "", true, "/dest/site.test/p_.."},
    // Encoded separators and dots stay encoded.
    {"http://site.test/%2e%2e/%2E%2E/x", "", true, "/dest/site.test/%2e%2e/%2E%2E/x"},
    {"http://site.test/..%2F..%2Fx", "", true, "/dest/site.test/..%2F..%2Fx"},
    {"http://site.test/..%5C..%5Cx", "", true, "/dest/site.test/..%5C..%5Cx"},
    {"http://site.test/..\\..\\x", "", true, "/dest/site.test/.._.._x"},
    {"http://site.test/p?..%2F..%2F", "", true, "/dest/site.test/p_..%2F..%2F"},
    // NUL and control characters.
    {"http://site.test/a%00b", "", true, "/dest/site.test/a%00b"},
    {"http://site.test/a\x01\x1f\x7f" "b", "", true, "/dest/site.test/a___b"},
    {"http://site.test/a\nb", "", true, "/dest/site.test/a_b"},
    {std::string("http://site.test/a\0/../../b", 27), "", true, "(invalid)"},
    // Links and redirect targets resolved against a page: dot segments vanish.
    {"../../../../etc/passwd", "http://site.test/a/b.htm", true, "/dest/site.test/etc/passwd"},
    {"/..", "http://site.test/a/", true, "/dest/site.test/index.html"},
    {"..\\..\\..\\x", "http://site.test/a/b/", true, "/dest/site.test/x"},
    {"//../x", "http://site.test/", true, Refused},
    {"http://../../x", "http://site.test/", true, Refused},
    {"..%2f..%2fetc", "http://site.test/a/", true, "/dest/site.test/a/..%2f..%2fetc"},
    {".%2e/.%2e/x", "http://site.test/a/", true, "/dest/site.test/a/.%2e/.%2e/x"},
    {"?/../../x", "http://site.test/p", true, Refused},
    // Very long names: the length cap must not cut a name down to a dot segment.
    {"http://site.test/" + Pad + "/.." + std::string(30, 'z'), "", true, Refused},
    {"http://site.test/" + Pad + "/." + std::string(30, 'y') + ".", "", true, Refused},
    {"http://site.test/" + Pad + "/" + std::string(30, 'y'), "", true,
     "/dest/site.test/" + Pad + "/" + std::string(2, 'y')},
};

std::string NameOf(const HostileRow& Row, const std::string& Base) {
    TURL url;
    if (Row.Page.empty()) {
        if (!url.SetFullURL(Row.Link)) return "(invalid)";
    } else {
        TURL page;
        if (!page.SetFullURL(Row.Page) || !url.SetRelativeURL(Row.Link, page)) return "(invalid)";
    }
    return url.GetLocalFileName(Base, Row.Recreate, false);
}

} // namespace

TEST(HostileAddress, IsContainedOrRefusedWithAWarning) {
    for (const auto& row : Rows) {
        testsupport::TTraceLogCapture trace;
        const std::string name = NameOf(row, Dest);
        EXPECT_EQ(name, row.Name) << "row " << row.Link << " on " << row.Page;
        if (name != "(invalid)") EXPECT_TRUE(IsSafeName(Dest, name)) << row.Link;
        EXPECT_EQ(trace.Count("Warning", "GetLocalFileName"), row.Name == Refused ? 1 : 0)
            << row.Link;
    }
}

TEST(HostileAddress, AssumeWWWNeverTurnsAHostIntoADotSegment) {
    for (const char* url : {"http://./x", "http://../x", "http://.x/y", "http://x./y"}) {
        TURL address;
        ASSERT_TRUE(address.SetFullURL(url));
        for (const bool recreate : {true, false})
            EXPECT_TRUE(IsSafeName(Dest, address.GetLocalFileName(Dest, recreate, true))) << url;
    }
}

// The dispatcher may give an object another host name; a host that is no
// single folder name must not place the file elsewhere.
TEST(HostileAddress, RefusesHostNamesThatAreNoFolderName) {
    for (const char* host : {"", ".", "..", "../..", "a/b", "a/../../b"}) {
        testsupport::TTraceLogCapture trace;
        TURL url;
        ASSERT_TRUE(url.SetFullURL("http://site.test/x.htm"));
        url.SetHostName(host);
        EXPECT_EQ(url.GetLocalFileName(Dest, true, false), "") << host;
        EXPECT_EQ(trace.Count("Warning", "GetLocalFileName"), 1) << host;
        EXPECT_EQ(url.GetLocalFileName(Dest, false, false), "/dest/x.htm") << host;
    }
}

// A destination so long that the length cap reaches into it cannot hold any name.
TEST(HostileAddress, RefusesEveryNameWhenTheCapCutsIntoTheDestination) {
    const std::string longBase = "/d/" + std::string(250, 'b');
    TURL url;
    ASSERT_TRUE(url.SetFullURL("http://site.test/x.htm"));
    EXPECT_EQ(url.GetLocalFileName(longBase, true, false), "");
    EXPECT_EQ(url.GetLocalFileName("", true, false), "");
    const std::string fitting = "/d/" + std::string(200, 'b');
    EXPECT_EQ(url.GetLocalFileName(fitting, true, false), fitting + "/site.test/x.htm");
}

TEST(HostileAddress, RefusesNulBytesInFileAddresses) {
    testsupport::TTraceLogCapture trace;
    TURL url;
    ASSERT_TRUE(url.SetFullURL(std::string("file:///tmp/a\0b", 15)));
    EXPECT_EQ(url.GetLocalFileName(Dest, true, false), "");
    EXPECT_EQ(trace.Count("Warning", "GetLocalFileName"), 1);
}
