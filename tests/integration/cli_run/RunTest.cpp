#include "jobs/JobTypes.h"
#include "support/RunCli.h"
#include "support/TempDir.h"
#include "support/TestWebServer.h"
#include "web/StartingURL.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using testsupport::TTempDir;

namespace {

// Two small sites on one server, and job files for them.
struct TRunFixture {
    TTempDir Data, Dest;
    testsupport::TTestWebServer Server;

    TRunFixture() {
        for (const char* site : {"/a/", "/b/"}) {
            const std::string folder = site;
            Server.Serve(folder, 200, "<a href=\"one.html\">one</a><img src=\"pic.gif\">");
            Server.Serve(folder + "one.html", 200, "<a href=\"./\">back</a>");
            Server.Serve(folder + "pic.gif", 200, "GIF89a", {{"Content-Type", "image/gif"}});
        }
    }
    std::string JobFile(const std::string& Name, const std::string& Address) const {
        jobs::TCopyJob job;
        job.Reset();
        job.JobName = Name;
        web::SetStartingURL(job, Address);
        job.SetDestinationFolder(Dest.File(Name));
        const std::string file = Data.File(Name + ".hcj");
        EXPECT_TRUE(job.SaveToFile(file));
        return file;
    }
    testsupport::TCliResult Run(const std::vector<std::string>& Files) const {
        std::vector<std::string> args{"run", "--eventlog"};
        args.insert(args.end(), Files.begin(), Files.end());
        return testsupport::RunCli(args, "", {{"HARVEXIS_DATA_DIR", Data.Path()}, {"XDG_DATA_HOME", Data.Path()}});
    }
    bool Copied(const std::string& Name, const std::string& Site) const {
        return fs::is_regular_file(Dest.File(Name) + "/127.0.0.1" + Site + "one.html");
    }
};

} // namespace

TEST(CliRun, RunsTheJobFilesOneAfterAnotherInOrder) {
    TRunFixture f;
    const auto result = f.Run({f.JobFile("first", f.Server.URL("/a/")), f.JobFile("second", f.Server.URL("/b/"))});
    ASSERT_EQ(result.ExitStatus, 0) << result.Err << result.Out;
    EXPECT_TRUE(f.Copied("first", "/a/"));
    EXPECT_TRUE(f.Copied("second", "/b/"));
    const auto first = result.Out.find("Job 1 Complete: " + f.Server.URL("/a/"));
    const auto second = result.Out.find("Job 2 Complete: " + f.Server.URL("/b/"));
    ASSERT_NE(first, std::string::npos) << result.Out;
    ASSERT_NE(second, std::string::npos) << result.Out;
    EXPECT_LT(first, second);
    EXPECT_EQ(f.Server.RequestsFor("/b/").size(), 1u);
}

TEST(CliRun, UnreadableAndRefusedJobFilesAreReportedAndTheOthersStillRun) {
    TRunFixture f;
    const std::string missing = f.Data.File("missing.hcj");
    const std::string mail = f.JobFile("mail", "mailto:me@site.test");
    const auto result = f.Run({missing, mail, f.JobFile("good", f.Server.URL("/a/"))});
    EXPECT_EQ(result.ExitStatus, 2);
    EXPECT_NE(result.Err.find("harvexis-cli: Unable to read job file " + missing + "\n"), std::string::npos)
        << result.Err;
    EXPECT_NE(result.Err.find("harvexis-cli: mailto:me@site.test is an invalid starting address.\n"),
              std::string::npos)
        << result.Err;
    EXPECT_TRUE(f.Copied("good", "/a/"));
    EXPECT_NE(result.Out.find("Job 1 Complete"), std::string::npos) << "refused jobs get no number\n" << result.Out;
}

TEST(CliRun, AMissingDestinationFolderIsCreatedWithoutAsking) {
    TRunFixture f;
    jobs::TCopyJob job;
    job.Reset();
    web::SetStartingURL(job, f.Server.URL("/b/"));
    job.SetDestinationFolder(f.Dest.File("new/deeper"));
    ASSERT_TRUE(job.SaveToFile(f.Data.File("deep.hcj")));
    const auto result = f.Run({f.Data.File("deep.hcj")});
    EXPECT_EQ(result.ExitStatus, 0) << result.Err;
    EXPECT_TRUE(fs::is_regular_file(f.Dest.File("new/deeper") + "/127.0.0.1/b/one.html"));
}

TEST(CliRun, EventLogRecordsEachJobInTheDataFolder) {
    TRunFixture f;
    ASSERT_EQ(f.Run({f.JobFile("first", f.Server.URL("/a/")), f.JobFile("second", f.Server.URL("/b/"))}).ExitStatus, 0);
    const std::string log = testsupport::ReadFileText(f.Data.File("HarvexisEventLog.csv"));
    for (const char* entry : {"Started job 1", "Stopped job 1", "Started job 2", "Stopped job 2"})
        EXPECT_NE(log.find(entry), std::string::npos) << entry << "\n" << log;
}
