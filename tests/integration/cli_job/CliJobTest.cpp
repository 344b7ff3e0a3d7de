#include "jobs/IniFile.h"
#include "support/RunCli.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::HasSubstr;
using testsupport::RunCli;
using testsupport::TTempDir;

namespace {

// Every run gets its own data folder: the real home folder is never touched.
struct TCli {
    TTempDir Data;
    testsupport::TCliResult Run(const std::vector<std::string>& Args) {
        return RunCli(Args, "", {{"HARVEXIS_DATA_DIR", Data.Path()}, {"XDG_DATA_HOME", Data.Path()}});
    }
};

} // namespace

TEST(CliJob, VersionAndHelp) {
    TCli cli;
    EXPECT_EQ(cli.Run({"--version"}).Out, "Harvexis 4.1.0.53\n");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"job", "--help"}, {"job", "create", "--help"}}) {
        const auto result = cli.Run(args);
        EXPECT_EQ(result.ExitStatus, 0) << args.back();
        EXPECT_THAT(result.Out, HasSubstr("Usage: harvexis-cli")) << args.back();
    }
}

TEST(CliJob, CreateThenShowKeepsA3GbLimitAndHidesCredentials) {
    TCli cli;
    TTempDir dir;
    const std::string file = dir.File("j.hcj");
    const auto created = cli.Run({"job", "create", file, "--url", "http://user:pw@site.test/a/", "--dest",
                                  dir.File("d"), "--set", "MaxJobDownloadSize=3221225472", "--name", "Site"});
    ASSERT_EQ(created.ExitStatus, 0) << created.Err;
    const auto text = jobs::TIniFile(file).Load();
    EXPECT_EQ(text.ReadString("Start", "SU", ""), "dXNlcg==");
    EXPECT_EQ(text.ReadString("Start", "SP", ""), "cHc=");

    const auto shown = cli.Run({"job", "show", file});
    ASSERT_EQ(shown.ExitStatus, 0) << shown.Err;
    EXPECT_THAT(shown.Out, HasSubstr("\nMaxJobDownloadSize=3221225472\n"));
    EXPECT_THAT(shown.Out, HasSubstr("\nStartingWebAddress=http://site.test/a/\n"));
    EXPECT_THAT(shown.Out, HasSubstr("\nUser=user\nPassword=***\n"));
    EXPECT_THAT(shown.Out, HasSubstr("JobName=Site\n"));
    EXPECT_THAT(shown.Out, HasSubstr("\nDestinationFolder=" + dir.File("d") + "\n"));
    EXPECT_THAT(shown.Out, testing::Not(HasSubstr("pw")));
    EXPECT_THAT(shown.Out, testing::Not(HasSubstr("SchemaVersion")));
    EXPECT_THAT(shown.Out, testing::EndsWith("UseReferrer=1\nLineCount=0\n"));
}

TEST(CliJob, SetReachesEveryKindOfKeyAndRefusesBadValues) {
    TCli cli;
    TTempDir dir;
    const std::string file = dir.File("s.hcj");
    const auto created = cli.Run({"job", "create", file, "--url", "http://site.test/", "--dest", dir.Path(),
                                  "--set", "maxdistance=0x10", "--set", "UsePassiveFTP=1", "--set",
                                  "Hosts=a.test, b.test", "--set", "LineCount=1", "--set", "Line0=X-A: b"});
    ASSERT_EQ(created.ExitStatus, 0) << created.Err;
    const auto shown = cli.Run({"job", "show", file}).Out;
    EXPECT_THAT(shown, HasSubstr("\nMaxDistance=16\n"));
    EXPECT_THAT(shown, HasSubstr("\nUsePassiveFTP=1\n"));
    EXPECT_THAT(shown, HasSubstr("\nHosts=a.test, b.test\n"));
    EXPECT_THAT(shown, HasSubstr("\nLine0=X-A: b\nLineCount=1\n"));

    struct Row { std::string Setting, Problem; } rows[] = {
        {"NoSuchKey=1", "NoSuchKey"},
        {"MaxDistance=far", "MaxDistance=far"},
        {"RewriteLinks=yes", "RewriteLinks=yes"},
        {"SchemaVersion=2", "SchemaVersion"},
        {"SU=abc", "SU=abc"},
        {"SP=abc", "SP=abc"},
        {"=1", "Key=Value"},
    };
    for (const auto& row : rows) {
        const auto result = cli.Run({"job", "create", dir.File("bad.hcj"), "--url", "http://site.test/",
                                     "--dest", dir.Path(), "--set", row.Setting});
        EXPECT_EQ(result.ExitStatus, 2) << row.Setting;
        EXPECT_THAT(result.Err, HasSubstr(row.Problem)) << row.Setting;
        EXPECT_EQ(std::count(result.Err.begin(), result.Err.end(), '\n'), 1) << "one line: " << result.Err;
        EXPECT_FALSE(testsupport::FileExists(dir.File("bad.hcj"))) << row.Setting;
    }
}

TEST(CliJob, UsageErrorsAndUnreadableFilesNameTheProblemAndExitWith2) {
    TCli cli;
    TTempDir dir;
    testsupport::WriteFileText(dir.File("v2.hcj"), "[FileInfo]\nSchemaVersion=2\n");
    struct Row { std::vector<std::string> Args; std::string Problem; } rows[] = {
        {{"job", "show", dir.File("missing.hcj")}, "Unable to read job file " + dir.File("missing.hcj")},
        {{"job", "show", dir.File("v2.hcj")}, "Unable to read job file " + dir.File("v2.hcj")},
        {{"job", "show"}, "job show needs"},
        {{"job", "create", dir.File("x.hcj"), "--dest", "d"}, "--url"},
        {{"job", "create", dir.File("x.hcj"), "--url", "javascript:void(0)", "--dest", "d"}, "javascript:void(0)"},
        {{"job", "create", dir.File("x.hcj"), "--url"}, "--url needs a value"},
        {{"job", "create", dir.File("no/such/folder/x.hcj"), "--url", "http://a.test/", "--dest", "d"},
         "Unable to write job file"},
        {{"job", "frobnicate"}, "frobnicate"},
        {{"frobnicate"}, "frobnicate"},
        {{}, "Usage"},
    };
    for (const auto& row : rows) {
        const auto result = cli.Run(row.Args);
        EXPECT_EQ(result.ExitStatus, 2) << row.Problem;
        EXPECT_THAT(result.Err, HasSubstr(row.Problem));
    }
}
