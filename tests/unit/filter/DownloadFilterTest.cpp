#include "engine/DownloadFilter.h"
#include "engine/RestrictionList.h"
#include "engine/Wildcard.h"

#include "base/AsciiText.h"
#include "web/StartingURL.h"
#include "support/TempDir.h"
#include "support/TraceLogCapture.h"
#include "unit/CaseTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

using namespace engine;
using namespace std::chrono_literals;
using jobs::TCopyJob;

namespace {

constexpr const char* Start = "http://www.site.test/dir/index.html";

// A job that restricts nothing, copying from Start into Destination.
TCopyJob OpenJob(const std::string& Destination) {
    TCopyJob job;
    job.Reset();
    job.SetDestinationFolder(Destination);
    EXPECT_TRUE(web::SetStartingURL(job, Start));
    job.RestrictLocation = jobs::lrAnywhere;
    job.RestrictLocationOfWebPagesOnly = false;
    job.MaxDistance = -1;
    job.AssumeWWWWhenNoThirdLevelDomain = false;
    job.DownloadHTTPS = job.DownloadFTP = true;
    return job;
}

web::TURL Address(const std::string& Text) {
    web::TURL url;
    EXPECT_TRUE(url.SetFullURL(Text)) << Text;
    return url;
}

// The changes the table of decisions names.
const std::map<std::string, std::function<void(TCopyJob&)>> Changes = {
    {"addresses", [](TCopyJob& j) { j.AddressStrings = "SITE.test", j.AddressStringsPurpose = jobs::lpDoNotCopy; }},
    {"addressPattern", [](TCopyJob& j) { j.AddressStrings = "*/dir/*.html", j.AddressStringsPurpose = jobs::lpCopyOnly; }},
    {"addressManual", [](TCopyJob& j) { j.AddressStrings = "manual", j.AddressStringsPurpose = jobs::lpCopyOnly; }},
    {"belowSite", [](TCopyJob& j) { j.Hosts = "*.site.test", j.HostsPurpose = jobs::lpCopyOnly; }},
    {"otherHostOnly", [](TCopyJob& j) { j.Hosts = "other.test", j.HostsPurpose = jobs::lpCopyOnly; }},
    {"noFTPSite", [](TCopyJob& j) { j.Hosts = "ftp.site.test", j.HostsPurpose = jobs::lpDoNotCopy; }},
    {"excludeAds", [](TCopyJob& j) { j.ExcludeHost("ads.test"); }},
    {"noGifs", [](TCopyJob& j) { j.Extensions = ".GIF", j.ExtensionsPurpose = jobs::lpDoNotCopy; }},
    {"noGifsWithoutDot", [](TCopyJob& j) { j.Extensions = "gif", j.ExtensionsPurpose = jobs::lpDoNotCopy; }},
    {"onlyPages", [](TCopyJob& j) { j.Extensions = ".htm*", j.ExtensionsPurpose = jobs::lpCopyOnly; }},
    {"textOnly", [](TCopyJob& j) { j.Types = "text/*", j.TypesPurpose = jobs::lpCopyOnly; }},
    {"anyType", [](TCopyJob& j) { j.Types = "*", j.TypesPurpose = jobs::lpCopyOnly; }},
    {"saveQueries", [](TCopyJob& j) { j.SaveQueryResults = true; }},
    {"noHTTP", [](TCopyJob& j) { j.DownloadHTTP = false; }},
    {"noFTP", [](TCopyJob& j) { j.DownloadFTP = false; }},
    {"httpOnly", [](TCopyJob& j) { j.DownloadHTTPS = j.DownloadFTP = false; }},
    {"depth0", [](TCopyJob& j) { j.MaxDistance = 0; }},
    {"noFiles", [](TCopyJob& j) { j.MaxFileCount = 0; }},
    {"noTime", [](TCopyJob& j) { j.MaxSecondsForAllDownloads = 0; }},
    {"inFolder", [](TCopyJob& j) { j.RestrictLocation = jobs::lrWithinFolder; }},
    {"pagesOnly", [](TCopyJob& j) { j.RestrictLocationOfWebPagesOnly = true; }},
    {"atServer", [](TCopyJob& j) { j.RestrictLocation = jobs::lrAtServer; }},
    {"sizes", [](TCopyJob& j) { j.MinFileSize = 100, j.MaxFileSize = 1000; }},
    {"min100", [](TCopyJob& j) { j.MinFileSize = 100; }},
    {"largest32Bit", [](TCopyJob& j) { j.MaxFileSize = 0x7fffffff; }},
    {"jobSize", [](TCopyJob& j) { j.MaxJobDownloadSize = 1000; }},
    {"noAuth", [](TCopyJob& j) { j.DownloadOptions.AllowAuthentication = false; }},
};

const char* const CodeNames[] = {"", "Location", "Depth", "Address", "DomainName", "FileCount",
                                 "FileSize", "JobDownloadSize", "FileExtension", "MimeType", "Query",
                                 "Password", "Protocol", "JobTime", "PreviouslyDownloaded", "Passed"};

} // namespace

TEST(DownloadFilter, DecidesByTheJobsRestrictionsInTheirOrder) {
    testsupport::TTempDir dir;
    for (const auto& row : unittest::ReadCases("filter/decisions.tsv", 7)) {
        TCopyJob job = OpenJob(dir.Path());
        std::istringstream names(row[0]);
        for (std::string name; std::getline(names, name, '+');)
            if (!name.empty()) Changes.at(name)(job);
        TDownloadFilter filter;
        filter.SetJob(job, true, true);
        const web::TURL url = Address(row[1]);
        const TDownloadFilterCode code =
            row[3] == "after" ? filter.CheckAfterHeaders(url, row[4], row.Number(2), std::stoull(row[5]))
                              : filter.CheckBeforeDownload(url, row.Number(2));
        EXPECT_STREQ(CodeNames[code], row[6].c_str()) << row.Where;
    }
}

TEST(DownloadFilter, CountsFilesAndBytesWithoutWrappingAndANewRunStartsAnew) {
    testsupport::TTempDir dir;
    TCopyJob job = OpenJob(dir.Path());
    job.MaxFileCount = 2;
    job.MaxJobDownloadSize = 4'000'000'000;
    TDownloadFilter filter;
    filter.SetJob(job, true, true);
    const web::TURL file = Address("http://www.site.test/dir/f.bin");
    filter.CountFile(3'000'000'000);
    EXPECT_EQ(filter.CheckAfterHeaders(file, "", 1, 1'000'000'000), dfPassed);
    EXPECT_EQ(filter.CheckAfterHeaders(file, "", 1, 1'000'000'001), dfJobDownloadSize);
    filter.CountFile(1'500'000'000);
    EXPECT_EQ(filter.TotalBytes(), 4'500'000'000);
    EXPECT_EQ(filter.CheckBeforeDownload(file, 1), dfFileCount);
    job.MinFileSize = 10;
    filter.SetJob(job, false, false);
    EXPECT_EQ(filter.CheckAfterHeaders(file, "", 1, 0), dfFileCount) << "a changed job keeps its counts";
    job.MaxFileCount = 10;
    filter.SetJob(job, false, false);
    EXPECT_EQ(filter.CheckAfterHeaders(file, "", 1, 0), dfJobDownloadSize) << "no size announced";
    filter.SetJob(job, true, true);
    EXPECT_EQ(filter.CheckBeforeDownload(file, 1), dfPassed);
    EXPECT_EQ(filter.FileCount(), 0);
}

TEST(DownloadFilter, TimeLimitCountsStartedSeconds) {
    testsupport::TTempDir dir;
    auto now = std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
    TCopyJob job = OpenJob(dir.Path());
    job.MaxSecondsForAllDownloads = 5;
    TDownloadFilter filter([now] { return *now; });
    filter.SetJob(job, true, true);
    const auto started = *now;
    const std::pair<std::chrono::milliseconds, bool> steps[] = {{3999ms, false}, {4000ms, false}, {4001ms, true}};
    for (const auto& [elapsed, usedUp] : steps) {
        *now = started + elapsed;
        EXPECT_EQ(filter.TimeLimitUsedUp(), usedUp) << elapsed.count() << " ms";
        EXPECT_EQ(filter.CheckBeforeDownload(Address(Start), -1), usedUp ? dfJobTime : dfPassed);
    }
    filter.SetJob(job, true, false);
    EXPECT_FALSE(filter.TimeLimitUsedUp()) << "resetting the counters restarts the clock";
}

// Four download threads check and count while the spider thread changes the
// job: nothing is lost, and the nested check does not deadlock.
TEST(DownloadFilter, SharedByDownloadThreads) {
    testsupport::TTempDir dir;
    TCopyJob job = OpenJob(dir.Path());
    job.RestrictLocation = jobs::lrWithinFolder;
    TDownloadFilter filter;
    filter.SetJob(job, true, true);
    std::atomic<int> refused = 0; // checks that did not pass, from all four threads
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            const web::TURL page = Address("http://www.site.test/dir/p.html");
            for (int i = 0; i < 500; ++i) {
                if (filter.CheckAfterHeaders(page, "text/html", 1, 100) != dfPassed) ++refused;
                filter.CountFile(100);
            }
        });
    for (int i = 0; i < 200; ++i) {
        job.ExcludeHost("host" + std::to_string(i) + ".test");
        filter.SetJob(job, false, false);
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(filter.FileCount(), 2000);
    EXPECT_EQ(filter.TotalBytes(), 200000);
}

TEST(Wildcard, MatchesTheWholeValueIgnoringCase) {
    const char* names[] = {"Match", "NoMatch", "BadPattern"};
    for (const auto& row : unittest::ReadCases("filter/wildcards.tsv", 3))
        EXPECT_EQ(names[int(MatchWildcard(row[0], row[1]))], row[2]) << row.Where;
    // A long value against many stars stays quick: only the last star is retried.
    const std::string value(20000, 'a');
    EXPECT_EQ(MatchWildcard("*a*a*a*a*a*a*a*a*a*a*b", value), TWildcardMatch::NoMatch);
}

TEST(RestrictionList, SplitsAtCommasAndBlanksKeepingQuotedMembers) {
    const struct { const char* Text; std::vector<std::string> Expected; } rows[] = {
        {".gif, .jpg,.png", {".gif", ".jpg", ".png"}}, {"  a  b\tc\r\nd  ", {"a", "b", "c", "d"}},
        {"\"a,b\",c", {"a,b", "c"}}, {"\"say \"\"hi\"\"\"", {"say \"hi\""}}, {"\"  padded  \"", {"padded"}},
        {"a,,b,", {"a", "b"}}, {"\"\"", {}}, {"\"unclosed, quote", {"unclosed, quote"}}, {"\"a\"b", {"a", "b"}},
    };
    for (const auto& row : rows) EXPECT_EQ(SplitCommaText(row.Text), row.Expected) << row.Text;
}
