#include "CliProcess.h"
#include "GeneratedSite.h"

#include "jobs/JobTypes.h"
#include "support/RunCli.h"
#include "support/TempDir.h"
#include "support/TestWebServer.h"
#include "web/StartingURL.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <set>

namespace fs = std::filesystem;
using clitest::TCliProcess;
using clitest::TGeneratedSite;
using testsupport::TTempDir;
using testsupport::TTestWebServer;

namespace {

constexpr auto Patience = std::chrono::seconds(60);
constexpr int SitePages = 300;

// A site on 127.0.0.1 whose start page also links to another host (localhost).
struct TSiteFixture {
    TTempDir Data, Dest;
    TTestWebServer Server, Elsewhere;
    TGeneratedSite Site;

    explicit TSiteFixture(int Pages = SitePages)
        : Site(Server, Pages, "http://localhost:" + std::to_string(Elsewhere.Port())) {
        for (int k = 0; k < TGeneratedSite::ExternalLinks; ++k)
            Elsewhere.Serve("/ext" + std::to_string(k) + ".html", 200, "<p>elsewhere</p>");
    }
    // The location rule needs a page's type, so other hosts are asked for
    // headers; nothing of theirs may be saved.
    bool SavedFromElsewhere() const { return fs::exists(Dest.Path() + "/localhost"); }

    std::map<std::string, std::string> Env() const {
        return {{"HARVEXIS_DATA_DIR", Data.Path()}, {"XDG_DATA_HOME", Data.Path()}, {"HOME", Data.Path()}};
    }
    testsupport::TCliResult Copy(std::vector<std::string> Options = {}) const {
        std::vector<std::string> args{"copy", Server.URL("/"), Dest.Path()};
        args.insert(args.end(), Options.begin(), Options.end());
        return testsupport::RunCli(args, "", Env());
    }
    std::string Root() const { return Dest.Path() + "/127.0.0.1"; }
    std::string Local(const std::string& Path) const { return Root() + Path; }
    // Every file saved, as paths below the host folder.
    std::set<std::string> SavedFiles() const {
        std::set<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(Dest.Path()))
            if (entry.is_regular_file()) files.insert(entry.path().string().substr(Root().size()));
        return files;
    }
};

std::set<std::string> ExpectedFiles(const TGeneratedSite& Site, int Pages) {
    std::set<std::string> files{"/index.html", TGeneratedSite::ImagePath(0)};
    for (int i = 0; i < Pages; ++i) files.insert({TGeneratedSite::PagePath(i), TGeneratedSite::ImagePath(i)});
    return files;
}

// A summary line such as "  Files saved: 12", or "" when absent.
std::string SummaryLine(const std::string& Out, const std::string& Key) {
    const auto at = Out.find(Key + ": ");
    if (at == std::string::npos) return "";
    return Out.substr(at, Out.find('\n', at) - at);
}

// Problems with the links of every saved page, browsed offline: a link to the
// site that still points at the server, or a local link to a missing file.
std::vector<std::string> BrokenOfflineLinks(const TSiteFixture& F) {
    std::vector<std::string> broken;
    for (const auto& file : F.SavedFiles()) {
        if (fs::path(file).extension() != ".html") continue;
        const fs::path page = F.Local(file);
        for (std::string link : clitest::LinksOf(testsupport::ReadFileText(page.string()))) {
            if (link.rfind(F.Server.BaseURL(), 0) == 0) broken.push_back(file + ": not rewritten: " + link);
            if (link.find("://") != std::string::npos) continue;  // another host, never copied
            link = link.substr(0, link.find_first_of("#?"));
            const fs::path target = (page.parent_path() / link).lexically_normal();
            if (!fs::is_regular_file(link.empty() ? page : target)) broken.push_back(file + ": missing: " + link);
        }
    }
    return broken;
}

std::vector<std::string> FilesEndingWith(const std::string& Folder, const std::string& Suffix) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(Folder)) {
        const std::string name = entry.path().string();
        if (name.size() >= Suffix.size() && name.compare(name.size() - Suffix.size(), Suffix.size(), Suffix) == 0)
            found.push_back(name);
    }
    return found;
}

// A copy whose four downloads hang in the middle of their pages (from page 10
// on), so that signals fall into a running job.
std::unique_ptr<TCliProcess> StartStuckCopy(TSiteFixture& F, const std::vector<std::string>& Options = {}) {
    F.Site.BlockFrom(10);
    std::vector<std::string> args{"copy", F.Server.URL("/"), F.Dest.Path()};
    args.insert(args.end(), Options.begin(), Options.end());
    auto copy = std::make_unique<TCliProcess>(args, F.Env());
    if (!F.Site.WaitForBlocked(4, Patience)) ADD_FAILURE() << "downloads never hung\n" << copy->Out();
    return copy;
}

} // namespace

TEST(CliCopy, CopiesTheWholeSiteAndEveryLinkWorksOffline) {
    TSiteFixture f;
    const auto result = f.Copy();
    ASSERT_EQ(result.ExitStatus, 0) << result.Err << result.Out.substr(0, 2000);
    EXPECT_EQ(f.SavedFiles(), ExpectedFiles(f.Site, SitePages));
    EXPECT_EQ(BrokenOfflineLinks(f), std::vector<std::string>{});
    EXPECT_FALSE(f.SavedFromElsewhere()) << "the other host lies outside the start folder";

    EXPECT_NE(result.Out.find("Job 1 Complete: " + f.Server.URL("/")), std::string::npos) << result.Out;
    EXPECT_EQ(SummaryLine(result.Out, "Files saved"), "Files saved: " + std::to_string(SitePages + 1 + 10));
    EXPECT_EQ(SummaryLine(result.Out, "Filtered: Location"), "Filtered: Location: 5");
    EXPECT_EQ(SummaryLine(result.Out, "Failures"), "Failures: 0");
    EXPECT_EQ(SummaryLine(result.Out, "Start page"), "Start page: " + f.Local("/index.html"));
    EXPECT_NE(result.Out.find("OK                       " + f.Local(TGeneratedSite::PagePath(7))), std::string::npos)
        << "one line per finished file";
    EXPECT_EQ(result.Out.find('\r'), std::string::npos) << "no status line when not on a terminal";
    EXPECT_EQ(result.Out.find('\033'), std::string::npos);
}

TEST(CliCopy, UpdateRefreshesOnlyWhatChangedWithConditionalRequests) {
    TSiteFixture f(40);
    ASSERT_EQ(f.Copy().ExitStatus, 0);
    const std::set<int> changed{4, 17, 33};
    for (int page : changed) f.Site.Change(page);
    const std::string unchangedCopy = testsupport::ReadFileText(f.Local(TGeneratedSite::PagePath(5)));
    f.Server.ClearRequests();

    const auto result = f.Copy({"--update"});
    ASSERT_EQ(result.ExitStatus, 0) << result.Err << result.Out;
    int fullAnswers = 0;
    for (const auto& request : f.Server.Requests()) {
        EXPECT_TRUE(request.HasHeader("If-Modified-Since")) << request.Target << " asked unconditionally";
        for (int page : changed) fullAnswers += request.Target == TGeneratedSite::PagePath(page) ? 1 : 0;
    }
    EXPECT_EQ(fullAnswers, 3);
    for (int page : changed)
        EXPECT_NE(testsupport::ReadFileText(f.Local(TGeneratedSite::PagePath(page))).find("version 2"), std::string::npos)
            << page;
    EXPECT_EQ(testsupport::ReadFileText(f.Local(TGeneratedSite::PagePath(5))), unchangedCopy);
    EXPECT_EQ(SummaryLine(result.Out, "Files saved"), "Files saved: 3") << result.Out;
    EXPECT_EQ(BrokenOfflineLinks(f), std::vector<std::string>{});
}

TEST(CliCopy, DepthOneKeepsTheStartPageItsContentAndTheLinkedPages) {
    TSiteFixture f;
    const auto result = f.Copy({"--depth", "1"});
    ASSERT_EQ(result.ExitStatus, 0) << result.Err << result.Out;
    std::set<std::string> expected{"/index.html", TGeneratedSite::ImagePath(0)};
    for (int page : f.Site.PagesAtDistance(1))
        expected.insert({TGeneratedSite::PagePath(page), TGeneratedSite::ImagePath(page)});
    EXPECT_EQ(f.SavedFiles(), expected);
    const auto further = f.Site.PagesAtDistance(2);
    EXPECT_EQ(SummaryLine(result.Out, "Filtered: Depth"), "Filtered: Depth: " + std::to_string(further.size()));
    EXPECT_EQ(SummaryLine(result.Out, "Filtered: Location"), "Filtered: Location: 5");
    for (int page : further) EXPECT_TRUE(f.Server.RequestsFor(TGeneratedSite::PagePath(page)).empty()) << page;
}

TEST(CliCopy, LocationServerTakesOtherFoldersButKeepsOtherHostsOut) {
    TSiteFixture f(30);
    testsupport::TCliResult result;
    {
        std::vector<std::string> args{"copy", f.Server.URL(TGeneratedSite::PagePath(1)), f.Dest.Path(), "--location",
                                      "server", "--depth", "-1"};
        result = testsupport::RunCli(args, "", f.Env());
    }
    ASSERT_EQ(result.ExitStatus, 0) << result.Err << result.Out;
    // From page 1 the start page and, through it, every page and the other host's links are reachable.
    EXPECT_EQ(f.SavedFiles(), ExpectedFiles(f.Site, 30));
    EXPECT_FALSE(f.SavedFromElsewhere());
    EXPECT_EQ(SummaryLine(result.Out, "Filtered: Location"), "Filtered: Location: 5");
}

TEST(CliCopy, AnInvalidStartingAddressIsRefusedWithItsTextAndStatusTwo) {
    TTempDir data, dest;
    const std::string folder = dest.File("x");
    const auto result = testsupport::RunCli({"copy", "javascript:void(0)", folder}, "",
                                            {{"HARVEXIS_DATA_DIR", data.Path()}, {"XDG_DATA_HOME", data.Path()}});
    EXPECT_EQ(result.ExitStatus, 2);
    EXPECT_EQ(result.Err, "harvexis-cli: javascript:void(0) is an invalid starting address.\n");
    EXPECT_FALSE(fs::exists(folder)) << "nothing is created for a refused job";
}

TEST(CliCopy, UsageErrorsExitWithStatusTwo) {
    TTempDir data;
    const std::map<std::string, std::string> env{{"HARVEXIS_DATA_DIR", data.Path()}};
    const std::vector<std::vector<std::string>> rows = {
        {"copy"},
        {"copy", "http://127.0.0.1:1/"},
        {"copy", "http://127.0.0.1:1/", data.Path(), "--depth", "many"},
        {"copy", "http://127.0.0.1:1/", data.Path(), "--depth", "-2"},
        {"copy", "http://127.0.0.1:1/", data.Path(), "--location", "moon"},
        {"copy", "http://127.0.0.1:1/", data.Path(), "--header", "no colon"},
        {"copy", "http://127.0.0.1:1/", data.Path(), "--set", "NoSuchKey=1"},
        {"copy", "http://127.0.0.1:1/", data.Path(), "--bogus"},
        {"copy", "", data.Path()},
        {"run"},
    };
    for (const auto& args : rows) {
        const auto result = testsupport::RunCli(args, "", env);
        EXPECT_EQ(result.ExitStatus, 2) << args.back();
        EXPECT_EQ(result.Err.rfind("harvexis-cli: ", 0), 0u) << args.back() << ": " << result.Err;
    }
}

TEST(CliCopy, FirstInterruptStopsTheJobRewritesWhatWasSavedAndExitsThree) {
    TSiteFixture f(60);
    auto process = StartStuckCopy(f);
    TCliProcess& copy = *process;
    copy.Signal(SIGINT);
    EXPECT_EQ(copy.Wait(), 3) << copy.Err();
    f.Site.Release();
    EXPECT_NE(copy.Err().find("stopping"), std::string::npos);
    EXPECT_NE(copy.Out().find("Job 1 Stopped"), std::string::npos) << copy.Out();

    const std::string index = testsupport::ReadFileText(f.Local("/index.html"));
    EXPECT_NE(index.find("href=\"s0/d0/p0.html\""), std::string::npos) << "links to saved pages are local\n" << index;
    EXPECT_TRUE(fs::is_regular_file(f.Local(TGeneratedSite::PagePath(0))));
    EXPECT_FALSE(fs::exists(f.Local(TGeneratedSite::PagePath(40))));
    // Page 3 was saved; its children (10-12) were cut off.
    const std::string page3 = testsupport::ReadFileText(f.Local(TGeneratedSite::PagePath(3)));
    EXPECT_NE(page3.find(f.Server.URL(TGeneratedSite::PagePath(10))), std::string::npos)
        << "a link to a page not copied points at the server\n" << page3;
    EXPECT_EQ(FilesEndingWith(f.Dest.Path(), ".tmp"), std::vector<std::string>{});
}

TEST(CliCopy, SecondInterruptAbortsAndExitsFour) {
    TSiteFixture f(60);
    auto process = StartStuckCopy(f);
    TCliProcess& copy = *process;
    copy.Signal(SIGINT);
    // The second signal goes once the first was taken, or the system merges the two.
    ASSERT_TRUE(copy.WaitForError("stopping", Patience)) << copy.Err();
    copy.Signal(SIGINT);
    EXPECT_EQ(copy.Wait(), 4) << copy.Err() << copy.Out();
    f.Site.Release();
    EXPECT_NE(copy.Out().find("Job 1 Aborted"), std::string::npos) << copy.Out();
    EXPECT_EQ(FilesEndingWith(f.Dest.Path(), ".tmp"), std::vector<std::string>{});
}

TEST(CliCopy, TerminationAbortsAndExitsFour) {
    TSiteFixture f(60);
    auto process = StartStuckCopy(f, {"--verbose"});
    TCliProcess& copy = *process;
    copy.Signal(SIGTERM);
    EXPECT_EQ(copy.Wait(), 4) << copy.Err();
    f.Site.Release();
    EXPECT_NE(copy.Out().find("Job 1 Aborted"), std::string::npos) << copy.Out();
    EXPECT_NE(copy.Out().find("download started: "), std::string::npos) << "verbose lists every step";
    EXPECT_EQ(FilesEndingWith(f.Dest.Path(), ".tmp"), std::vector<std::string>{});
    EXPECT_FALSE(FilesEndingWith(f.Dest.Path(), ".part").empty()) << "interrupted downloads stay resumable";
}

TEST(CliCopy, QuietPrintsTheSummaryOnly) {
    TSiteFixture f(10);
    const auto result = f.Copy({"--quiet", "--save-job", f.Data.File("copy.hcj")});
    ASSERT_EQ(result.ExitStatus, 0) << result.Err;
    EXPECT_EQ(result.Out.find("OK "), std::string::npos) << result.Out;
    EXPECT_EQ(SummaryLine(result.Out, "Files saved"), "Files saved: 21");
    jobs::TCopyJob saved;
    ASSERT_TRUE(saved.LoadFromFile(f.Data.File("copy.hcj")));
    EXPECT_EQ(web::GetStartingURL(saved).GetFullURL(), f.Server.URL("/"));
    EXPECT_EQ(saved.DestinationFolder, f.Dest.Path());
}
