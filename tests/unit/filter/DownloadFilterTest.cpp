#include "engine/DownloadFilter.h"

#include "base/AsciiText.h"
#include "support/TempDir.h"
#include "web/StartingURL.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

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

web::TURL Address(const char* Text) {
    web::TURL url;
    EXPECT_TRUE(url.SetFullURL(Text)) << Text;
    return url;
}

// A clock the test moves by hand.
struct TManualClock {
    std::shared_ptr<std::chrono::steady_clock::time_point> Now =
        std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
    TDownloadFilter::TClock Reader() const {
        return [now = Now] { return *now; };
    }
};

struct Row {
    const char* Case;
    std::function<void(TCopyJob&)> Restrict;
    const char* Url;
    std::int32_t Distance;
    bool AfterHeaders; // else the check before download
    const char* ContentType;
    std::uint64_t Size;
    TDownloadFilterCode Expected;
};

void RunRows(const std::vector<Row>& Rows) {
    testsupport::TTempDir dir;
    for (const auto& row : Rows) {
        TCopyJob job = OpenJob(dir.Path());
        if (row.Restrict) row.Restrict(job);
        TDownloadFilter filter;
        filter.SetJob(job, true, true);
        const web::TURL url = Address(row.Url);
        const TDownloadFilterCode code =
            row.AfterHeaders
                ? filter.CheckAfterHeaders(url, row.ContentType, row.Distance, row.Size)
                : filter.CheckBeforeDownload(url, row.Distance);
        EXPECT_EQ(int(code), int(row.Expected)) << row.Case;
    }
}

constexpr bool Before = false, After = true;

} // namespace

TEST(DownloadFilter, ListsSpareTheStartingAddressOnly) {
    auto addressStrings = [](TCopyJob& j) {
        j.AddressStrings = "SITE.test";
        j.AddressStringsPurpose = jobs::lpDoNotCopy;
    };
    auto onlyBelowSite = [](TCopyJob& j) {
        j.Hosts = "*.site.test";
        j.HostsPurpose = jobs::lpCopyOnly;
    };
    auto noGifs = [](TCopyJob& j) {
        j.Extensions = ".GIF";
        j.ExtensionsPurpose = jobs::lpDoNotCopy;
    };
    auto noGifsWithoutDot = [](TCopyJob& j) {
        j.Extensions = "gif";
        j.ExtensionsPurpose = jobs::lpDoNotCopy;
    };
    auto onlyPages = [](TCopyJob& j) {
        j.Extensions = ".htm*";
        j.ExtensionsPurpose = jobs::lpCopyOnly;
    };
    RunRows({
        {"nothing restricted", nullptr, "http://www.site.test/a.gif", 3, Before, "", 0, dfPassed},
        {"address string, start", addressStrings, Start, -1, Before, "", 0, dfPassed},
        {"address string, any case", addressStrings, "http://www.site.test/a.html", 0, Before, "",
         0, dfAddress},
        {"address string, pattern",
         [](TCopyJob& j) {
             j.AddressStrings = "*/dir/*.html";
             j.AddressStringsPurpose = jobs::lpCopyOnly;
         },
         "http://other.test/dir/b.html", 1, Before, "", 0, dfPassed},
        {"address string, copy only, missing",
         [](TCopyJob& j) {
             j.AddressStrings = "manual";
             j.AddressStringsPurpose = jobs::lpCopyOnly;
         },
         "http://www.site.test/a.html", 1, Before, "", 0, dfAddress},
        {"host below the domain", onlyBelowSite, "http://img.site.test/a.gif", 1, Before, "", 0,
         dfPassed},
        {"bare domain of the host pattern", onlyBelowSite, "http://site.test/a.gif", 1, Before, "",
         0, dfDomainName},
        {"host list spares the start",
         [](TCopyJob& j) {
             j.Hosts = "other.test";
             j.HostsPurpose = jobs::lpCopyOnly;
         },
         Start, -1, Before, "", 0, dfPassed},
        {"excluded host", [](TCopyJob& j) { j.ExcludeHost("ads.test"); }, "http://ADS.test/x.js", 1,
         Before, "", 0, dfDomainName},
        {"extension in capitals", noGifs, "http://www.site.test/A.GIF", 0, Before, "", 0,
         dfFileExtension},
        {"extension lower, list upper", noGifs, "http://www.site.test/a.gif", 0, Before, "", 0,
         dfFileExtension},
        {"extension member without dot", noGifsWithoutDot, "http://www.site.test/a.gif", 0, Before,
         "", 0, dfPassed},
        {"folder address has no extension", onlyPages, "http://www.site.test/dir/", 1, Before, "",
         0, dfFileExtension},
        {"extension pattern", onlyPages, "http://www.site.test/dir/a.html", 1, Before, "", 0,
         dfPassed},
        {"query", nullptr, "http://www.site.test/find?q=1", 1, Before, "", 0, dfQuery},
        {"query of the start", nullptr, "http://www.site.test/find?q=1", -1, Before, "", 0,
         dfPassed},
        {"query saved", [](TCopyJob& j) { j.SaveQueryResults = true; },
         "http://www.site.test/find?q=1", 1, Before, "", 0, dfPassed},
    });
}

TEST(DownloadFilter, ProtocolDistanceAndTheirOrder) {
    auto httpOnly = [](TCopyJob& j) { j.DownloadHTTPS = j.DownloadFTP = false; };
    auto depthZero = [](TCopyJob& j) { j.MaxDistance = 0; };
    RunRows({
        {"start refused for protocol", [](TCopyJob& j) { j.DownloadHTTP = false; }, Start, -1,
         Before, "", 0, dfProtocol},
        {"https not allowed", httpOnly, "https://www.site.test/a.html", 1, Before, "", 0,
         dfProtocol},
        {"ftp not allowed", httpOnly, "ftp://ftp.site.test/a.zip", 1, Before, "", 0, dfProtocol},
        {"ftp allowed", nullptr, "ftp://ftp.site.test/a.zip", 1, Before, "", 0, dfPassed},
        {"mailto never", nullptr, "mailto:someone@site.test", 1, Before, "", 0, dfProtocol},
        {"file never", nullptr, "file:///etc/hosts", 1, Before, "", 0, dfProtocol},
        {"depth 0 passes the start", depthZero, Start, -1, Before, "", 0, dfPassed},
        {"depth 0 passes embedded", depthZero, "http://www.site.test/dir/a.gif", 0, Before, "", 0,
         dfPassed},
        {"depth 0 refuses links", depthZero, "http://www.site.test/dir/b.html", 1, Before, "", 0,
         dfDepth},
        {"no depth limit", nullptr, "http://www.site.test/dir/b.html", 100000, Before, "", 0,
         dfPassed},
        {"lists before protocol",
         [](TCopyJob& j) {
             j.DownloadFTP = false;
             j.Hosts = "ftp.site.test";
             j.HostsPurpose = jobs::lpDoNotCopy;
         },
         "ftp://ftp.site.test/a.zip", 1, Before, "", 0, dfDomainName},
        {"protocol before depth",
         [](TCopyJob& j) {
             j.DownloadFTP = false;
             j.MaxDistance = 0;
         },
         "ftp://ftp.site.test/a.zip", 5, Before, "", 0, dfProtocol},
        {"file count before protocol",
         [](TCopyJob& j) {
             j.MaxFileCount = 0;
             j.DownloadHTTP = false;
         },
         Start, -1, Before, "", 0, dfFileCount},
        {"time before nothing else", [](TCopyJob& j) { j.MaxSecondsForAllDownloads = 0; }, Start,
         -1, Before, "", 0, dfJobTime},
        {"depth before time",
         [](TCopyJob& j) {
             j.MaxSecondsForAllDownloads = 0;
             j.MaxDistance = 0;
         },
         "http://www.site.test/b.html", 1, Before, "", 0, dfDepth},
    });
}

TEST(DownloadFilter, ChecksAfterHeaders) {
    auto inFolder = [](TCopyJob& j) { j.RestrictLocation = jobs::lrWithinFolder; };
    auto pagesInFolder = [](TCopyJob& j) {
        j.RestrictLocation = jobs::lrWithinFolder;
        j.RestrictLocationOfWebPagesOnly = true;
    };
    auto atServer = [](TCopyJob& j) { j.RestrictLocation = jobs::lrAtServer; };
    auto sizes = [](TCopyJob& j) {
        j.MinFileSize = 100;
        j.MaxFileSize = 1000;
    };
    auto textOnly = [](TCopyJob& j) {
        j.Types = "text/*";
        j.TypesPurpose = jobs::lpCopyOnly;
    };
    auto noAuth = [](TCopyJob& j) { j.DownloadOptions.AllowAuthentication = false; };
    RunRows({
        {"below the folder", inFolder, "http://www.site.test/dir/sub/p.html", 1, After, "text/html",
         0, dfPassed},
        {"folder in other case", inFolder, "http://www.site.test/DIR/Sub/p.html", 1, After,
         "text/html", 0, dfPassed},
        {"beside the folder", inFolder, "http://www.site.test/other/p.html", 1, After, "text/html",
         0, dfLocation},
        {"folder name as prefix", inFolder, "http://www.site.test/dirx/p.html", 1, After,
         "text/html", 0, dfLocation},
        {"image outside, pages only", pagesInFolder, "http://www.site.test/img/a.gif", 0, After,
         "image/gif", 0, dfPassed},
        {"page outside, pages only", pagesInFolder, "http://www.site.test/other/p.php", 1, After,
         "text/html; charset=utf-8", 0, dfLocation},
        {"page by extension, pages only", pagesInFolder, "http://www.site.test/other/p.htm", 1,
         After, "", 0, dfLocation},
        {"image outside, every file", inFolder, "http://www.site.test/img/a.gif", 0, After,
         "image/gif", 0, dfLocation},
        {"same server, other case", atServer, "http://WWW.Site.Test/elsewhere/x.html", 1, After,
         "text/html", 0, dfPassed},
        {"other server", atServer, "http://cdn.site.test/dir/x.html", 1, After, "text/html", 0,
         dfLocation},
        {"too small", sizes, "http://www.site.test/a.gif", 1, After, "image/gif", 99, dfFileSize},
        {"smallest", sizes, "http://www.site.test/a.gif", 1, After, "image/gif", 100, dfPassed},
        {"largest", sizes, "http://www.site.test/a.gif", 1, After, "image/gif", 1000, dfPassed},
        {"too large", sizes, "http://www.site.test/a.gif", 1, After, "image/gif", 1001, dfFileSize},
        {"no size announced", sizes, "http://www.site.test/a.gif", 1, After, "image/gif", 0,
         dfPassed},
        {"beyond 4 GiB is not wrapped", [](TCopyJob& j) { j.MaxFileSize = 0x7fffffff; },
         "http://www.site.test/a.iso", 1, After, "application/octet-stream", 0x140000000ull,
         dfFileSize},
        {"job size", [](TCopyJob& j) { j.MaxJobDownloadSize = 1000; }, "http://www.site.test/a.gif",
         1, After, "image/gif", 1001, dfJobDownloadSize},
        {"job size reached exactly", [](TCopyJob& j) { j.MaxJobDownloadSize = 1000; },
         "http://www.site.test/a.gif", 1, After, "image/gif", 1000, dfPassed},
        {"type outside the list", textOnly, "http://www.site.test/a.gif", 1, After, "image/gif", 0,
         dfMimeType},
        {"type in the list", textOnly, "http://www.site.test/a.txt", 1, After, "TEXT/plain", 0,
         dfPassed},
        {"empty type (direct FTP)", textOnly, "ftp://www.site.test/a.txt", 1, After, "", 0,
         dfMimeType},
        {"empty type matches a lone star",
         [](TCopyJob& j) {
             j.Types = "*";
             j.TypesPurpose = jobs::lpCopyOnly;
         },
         "ftp://www.site.test/a.txt", 1, After, "", 0, dfPassed},
        {"credentials refused", noAuth, "http://u:p@www.site.test/dir/a.html", 1, After,
         "text/html", 0, dfPassword},
        {"credentials allowed", nullptr, "http://u:p@www.site.test/dir/a.html", 1, After,
         "text/html", 0, dfPassed},
        {"check before download comes first", inFolder, "http://www.site.test/other/p.html?x", 1,
         After, "text/html", 0, dfQuery},
        {"location before size",
         [](TCopyJob& j) {
             j.RestrictLocation = jobs::lrAtServer;
             j.MinFileSize = 100;
         },
         "http://other.test/a.html", 1, After, "text/html", 5, dfLocation},
        {"size before type",
         [](TCopyJob& j) {
             j.MinFileSize = 100;
             j.Types = "text/*";
             j.TypesPurpose = jobs::lpCopyOnly;
         },
         "http://www.site.test/a.gif", 1, After, "image/gif", 5, dfFileSize},
        {"type before credentials",
         [](TCopyJob& j) {
             j.DownloadOptions.AllowAuthentication = false;
             j.Types = "text/*";
             j.TypesPurpose = jobs::lpCopyOnly;
         },
         "http://u:p@www.site.test/a.gif", 1, After, "image/gif", 0, dfMimeType},
    });
}

TEST(DownloadFilter, FileCountReachedAfterCompletedFiles) {
    testsupport::TTempDir dir;
    TCopyJob job = OpenJob(dir.Path());
    job.MaxFileCount = 10;
    TDownloadFilter filter;
    filter.SetJob(job, true, true);
    const web::TURL page = Address("http://www.site.test/dir/p.html");
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(filter.CheckBeforeDownload(page, 1), dfPassed) << "check " << i + 1;
        filter.CountFile(10);
    }
    EXPECT_EQ(filter.CheckBeforeDownload(page, 1), dfFileCount) << "the eleventh";
    EXPECT_EQ(filter.CheckAfterHeaders(page, "text/html", 1, 10), dfFileCount);
    EXPECT_EQ(filter.FileCount(), 10);
    EXPECT_EQ(filter.TotalBytes(), 100);
    filter.SetJob(job, true, true);
    EXPECT_EQ(filter.CheckBeforeDownload(page, 1), dfPassed) << "a new run starts counting anew";
}

TEST(DownloadFilter, UnannouncedSizeStillFailsAnExceededJobSize) {
    testsupport::TTempDir dir;
    TCopyJob job = OpenJob(dir.Path());
    job.MaxJobDownloadSize = 1000;
    job.MinFileSize = 10;
    TDownloadFilter filter;
    filter.SetJob(job, true, true);
    const web::TURL file = Address("http://www.site.test/dir/f.bin");
    EXPECT_EQ(filter.CheckAfterHeaders(file, "", 1, 0), dfPassed);
    filter.CountFile(1500);
    EXPECT_EQ(filter.CheckAfterHeaders(file, "", 1, 0), dfJobDownloadSize);
    // Three gigabytes so far do not wrap around a 32-bit count.
    job.MaxJobDownloadSize = 4'000'000'000;
    filter.SetJob(job, false, false);
    filter.CountFile(3'000'000'000);
    EXPECT_EQ(filter.TotalBytes(), 3'000'001'500);
    EXPECT_EQ(filter.CheckAfterHeaders(file, "", 1, 999'998'500), dfPassed);
    EXPECT_EQ(filter.CheckAfterHeaders(file, "", 1, 999'998'501), dfJobDownloadSize);
}

TEST(DownloadFilter, TimeLimitCountsStartedSeconds) {
    testsupport::TTempDir dir;
    TManualClock clock;
    TCopyJob job = OpenJob(dir.Path());
    job.MaxSecondsForAllDownloads = 5;
    TDownloadFilter filter(clock.Reader());
    filter.SetJob(job, true, true);
    const web::TURL start = Address(Start);
    struct Step {
        std::chrono::milliseconds Elapsed;
        bool UsedUp;
    } steps[] = {{0ms, false}, {3999ms, false}, {4000ms, false}, {4001ms, true}, {9000ms, true}};
    const auto started = *clock.Now;
    for (const auto& step : steps) {
        *clock.Now = started + step.Elapsed;
        EXPECT_EQ(filter.TimeLimitUsedUp(), step.UsedUp) << step.Elapsed.count() << " ms";
        EXPECT_EQ(filter.CheckBeforeDownload(start, -1), step.UsedUp ? dfJobTime : dfPassed)
            << step.Elapsed.count() << " ms";
    }
    job.MaxSecondsForAllDownloads = -1;
    filter.SetJob(job, false, false);
    EXPECT_FALSE(filter.TimeLimitUsedUp());
    job.MaxSecondsForAllDownloads = 5;
    filter.SetJob(job, true, false);
    EXPECT_FALSE(filter.TimeLimitUsedUp()) << "resetting the counters restarts the clock";
}

TEST(DownloadFilter, ARedirectedStartMovesTheBaseFolder) {
    testsupport::TTempDir dir;
    TCopyJob job = OpenJob(dir.Path());
    job.RestrictLocation = jobs::lrWithinFolder;
    TDownloadFilter filter;
    filter.SetJob(job, true, true);
    EXPECT_EQ(filter.BaseFolder(), base::LowerAscii(dir.Path()) + "/www.site.test/dir/");
    const web::TURL moved = Address("http://www.site.test/new/a.html");
    EXPECT_EQ(filter.CheckAfterHeaders(moved, "text/html", 1, 0), dfLocation);
    filter.SetStartAddress(Address("http://www.site.test/new/index.html"));
    EXPECT_EQ(filter.CheckAfterHeaders(moved, "text/html", 1, 0), dfPassed);
    EXPECT_EQ(
        filter.CheckAfterHeaders(Address("http://www.site.test/dir/a.html"), "text/html", 1, 0),
        dfLocation);
}

TEST(DownloadFilter, AChangedJobKeepsCountersAndBase) {
    testsupport::TTempDir dir;
    TCopyJob job = OpenJob(dir.Path());
    job.RestrictLocation = jobs::lrWithinFolder;
    TDownloadFilter filter;
    filter.SetJob(job, true, true);
    filter.CountFile(7);
    const std::string base = filter.BaseFolder();
    job.ExcludeFileExtension(".zip");
    ASSERT_TRUE(web::SetStartingURL(job, "http://elsewhere.test/"));
    filter.SetJob(job, false, false);
    EXPECT_EQ(filter.BaseFolder(), base);
    EXPECT_EQ(filter.FileCount(), 1);
    EXPECT_EQ(filter.TotalBytes(), 7);
    EXPECT_EQ(filter.CheckBeforeDownload(Address("http://www.site.test/dir/a.ZIP"), 1),
              dfFileExtension);
}

TEST(DownloadFilter, LocalFileNameFollowsTheJobsLayout) {
    testsupport::TTempDir dir;
    TCopyJob job = OpenJob(dir.Path());
    TDownloadFilter filter;
    filter.SetJob(job, true, true);
    const web::TURL page = Address("http://www.site.test/dir/sub/p.html");
    EXPECT_EQ(filter.LocalFileName(page), dir.Path() + "/www.site.test/dir/sub/p.html");
    job.RecreateFolderStructure = false;
    filter.SetJob(job, false, false);
    EXPECT_EQ(filter.LocalFileName(page), dir.Path() + "/p.html");
    // The base folder always assumes the folder tree.
    filter.SetJob(job, false, true);
    EXPECT_EQ(filter.BaseFolder(), base::LowerAscii(dir.Path()) + "/www.site.test/dir/");
}

// Four download threads check and count while the spider thread changes the
// job: nothing is lost, and the nested check does not deadlock.
TEST(DownloadFilter, SharedByDownloadThreads) {
    testsupport::TTempDir dir;
    TCopyJob job = OpenJob(dir.Path());
    job.RestrictLocation = jobs::lrWithinFolder;
    TDownloadFilter filter;
    filter.SetJob(job, true, true);
    constexpr int PerThread = 500;
    std::atomic<int> refused = 0; // checks that did not pass, from all four threads
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            const web::TURL page = Address("http://www.site.test/dir/p.html");
            for (int i = 0; i < PerThread; ++i) {
                if (filter.CheckAfterHeaders(page, "text/html", 1, 100) != dfPassed) ++refused;
                filter.CountFile(100);
            }
        });
    for (int i = 0; i < 200; ++i) {
        job.ExcludeHost("host" + std::to_string(i) + ".test");
        filter.SetJob(job, false, false);
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(filter.FileCount(), 4 * PerThread);
    EXPECT_EQ(filter.TotalBytes(), 4 * PerThread * 100);
}
