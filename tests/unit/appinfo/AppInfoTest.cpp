#include "jobs/IniFile.h"
#include "jobs/RegisterFileType.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace jobs;
using testsupport::TTempDir;

// The program's path goes into a desktop entry's Exec line: no path may add
// arguments or run a shell expansion.
TEST(RegisterFileType, ExecArgumentsSurviveAnyPath) {
    struct Row { const char *Path, *Written; } rows[] = {
        {"/opt/My Apps/harvexis", R"("/opt/My Apps/harvexis")"}, {R"(/a"b)", R"("/a\\"b")"},
        {R"(/a\b)", R"("/a\\\\b")"}, {"/a$b`c", R"("/a\\$b\\`c")"}, {"/100%", R"("/100%%")"}, {"/a\nb", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(DesktopExecArgument(row.Path), row.Written) << row.Path;
}

TEST(RegisterFileType, WritesTheTypeAndAnEntryThenUnregisteringKeepsOnlyTheType) {
    TTempDir home;
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_DATA_HOME", home.Path().c_str(), 1);
    ASSERT_TRUE(RegisterFileType("/opt/Harvexis Dir/harvexis"));
    const std::string entry = home.File("applications/harvexis-jobfile.desktop");
    const TIniText desktop = TIniFile(entry).Load();
    EXPECT_EQ(desktop.ReadString("Desktop Entry", "Exec", ""), R"("/opt/Harvexis Dir/harvexis" %f)");
    EXPECT_EQ(desktop.ReadString("Desktop Entry", "MimeType", ""), "application/x-harvexis-job;");
    EXPECT_EQ(desktop.ReadString("Desktop Action edit", "Exec", ""), R"("/opt/Harvexis Dir/harvexis" /edit %f)");
    const std::string package = home.File("mime/packages/harvexis-jobfile.xml");
    EXPECT_NE(testsupport::ReadFileText(package).find(R"(<glob pattern="*.hcj"/>)"), std::string::npos);
    ASSERT_TRUE(UnregisterFileType());
    EXPECT_FALSE(testsupport::FileExists(entry));
    EXPECT_TRUE(testsupport::FileExists(package));
    old ? ::setenv("XDG_DATA_HOME", saved.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
}
