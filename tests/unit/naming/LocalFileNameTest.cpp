#include "web/URLType.h"

#include "support/TraceLogCapture.h"
#include "unit/CaseTable.h"

#include <gtest/gtest.h>

using testsupport::TTraceLogCapture;
using web::TURL;

namespace {

const std::string Dest = "/dest";

// A name is safe when it is empty, or lies below Base with every level after it
// a real name, and holds no NUL byte.
bool IsSafeName(const std::string& Base, const std::string& Name) {
    if (Name.empty()) return true;
    if (Name.find('\0') != std::string::npos || !Name.starts_with(Base + "/")) return false;
    for (std::size_t start = Base.size() + 1; start <= Name.size();) {
        const auto end = std::min(Name.find('/', start), Name.size());
        const auto segment = Name.substr(start, end - start);
        if (segment.empty() || segment == "." || segment == "..") return false;
        start = end + 1;
    }
    return true;
}

std::string NameOf(const std::string& Link, const std::string& Page, bool Recreate, bool AssumeWWW = false) {
    TURL url, page;
    if (Page.empty() ? !url.SetFullURL(Link) : !page.SetFullURL(Page) || !url.SetRelativeURL(Link, page))
        return "(invalid)";
    return url.GetLocalFileName(Dest, Recreate, AssumeWWW);
}

TURL WithHost(const std::string& Host) {
    TURL url;
    EXPECT_TRUE(url.SetFullURL("http://site.test/x.htm"));
    url.SetHostName(Host);
    return url;
}

} // namespace

TEST(HostileAddress, IsContainedOrRefusedWithAWarning) {
    for (const auto& row : unittest::ReadCases("naming/hostile.tsv", 4)) {
        TTraceLogCapture trace;
        const std::string name = NameOf(row[0], row[1], row.Flag(2));
        EXPECT_EQ(name, row[3]) << row.Where;
        EXPECT_TRUE(name == "(invalid)" || IsSafeName(Dest, name)) << row.Where;
        EXPECT_EQ(trace.Count("Warning", "GetLocalFileName"), row[3].empty() ? 1 : 0) << row.Where;
    }
}

// "/dest/site.test/" is 16 characters: padding of 229 puts the length cap
// right after "/..", which must not leave a dot segment behind.
TEST(HostileAddress, TheLengthCapNeverCutsANameDownToADotSegment) {
    const std::string pad = "http://site.test/" + std::string(229, 'a');
    EXPECT_EQ(NameOf(pad + "/.." + std::string(30, 'z'), "", true), "");
    EXPECT_EQ(NameOf(pad + "/." + std::string(30, 'y') + ".", "", true), "");
    EXPECT_EQ(NameOf(pad + "/" + std::string(30, 'y'), "", true), "/dest/site.test/" + std::string(229, 'a') + "/yy");
    for (const char* url : {"http://./x", "http://../x", "http://.x/y", "http://x./y"})
        for (const bool recreate : {true, false})
            EXPECT_TRUE(IsSafeName(Dest, NameOf(url, "", recreate, true))) << url << " with www";
}

// The dispatcher may give an object another host name; a host that is no
// single folder name must not place the file elsewhere.
TEST(HostileAddress, RefusesHostNamesThatAreNoFolderNameAndNulBytesInFileAddresses) {
    for (const char* host : {"", ".", "..", "../..", "a/b", "a/../../b"}) {
        TTraceLogCapture trace;
        EXPECT_EQ(WithHost(host).GetLocalFileName(Dest, true, false), "") << host;
        EXPECT_EQ(trace.Count("Warning", "GetLocalFileName"), 1) << host;
        EXPECT_EQ(WithHost(host).GetLocalFileName(Dest, false, false), "/dest/x.htm") << host;
    }
    TURL file;
    ASSERT_TRUE(file.SetFullURL(std::string("file:///tmp/a\0b", 15)));
    EXPECT_EQ(file.GetLocalFileName(Dest, true, false), "");
}

// A destination so long that the length cap reaches into it cannot hold any name.
TEST(HostileAddress, RefusesEveryNameWhenTheCapCutsIntoTheDestination) {
    const TURL url = WithHost("site.test");
    EXPECT_EQ(url.GetLocalFileName("/d/" + std::string(250, 'b'), true, false), "");
    EXPECT_EQ(url.GetLocalFileName("", true, false), "");
    const std::string fitting = "/d/" + std::string(200, 'b');
    EXPECT_EQ(url.GetLocalFileName(fitting, true, false), fitting + "/site.test/x.htm");
}

TEST(LocalFileName, FollowsHostAndPathUnderTheDestination) {
    TTraceLogCapture trace;
    for (const auto& row : unittest::ReadCases("naming/local.tsv", 4))
        EXPECT_EQ(NameOf(row[0], "", row.Flag(1), row.Flag(2)), row[3]) << row.Where;
    EXPECT_EQ(trace.Count("Warning"), 0);
    // Only what follows the user's own destination comes from the address.
    EXPECT_EQ(WithHost("site.test").GetLocalFileName("/data/my%20site:a?b", true, false),
              "/data/my%20site:a?b/site.test/x.htm");
}

TEST(LocalFileName, CapsTheWholePathKeepingAShortExtension) {
    TTraceLogCapture trace;
    const std::string prefix = "/dest/site.test/", site = "http://site.test/";
    const struct { std::string Url, Name; } rows[] = {
        {site + std::string(279, 'n') + ".html", prefix + std::string(227, 'n') + ".html"},
        {site + std::string(250, 'n') + ".longextension", prefix + std::string(232, 'n')},
        {site + std::string(250, 'n') + ".abcdef", prefix + std::string(225, 'n') + ".abcdef"},
        {site + std::string(232, 'n'), prefix + std::string(232, 'n')},
    };
    for (const auto& row : rows) EXPECT_EQ(NameOf(row.Url, "", true), row.Name) << row.Url.size();
    EXPECT_EQ(trace.Count("Message", "Truncating long filename " + prefix + "nnn"), 4);
}
