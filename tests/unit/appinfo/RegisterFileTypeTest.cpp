#include "jobs/IniFile.h"
#include "jobs/RegisterFileType.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace jobs;
using testsupport::TTempDir;

namespace {

// Points $XDG_DATA_HOME at a temporary folder for the life of the object.
class TScratchDataHome {
public:
    TScratchDataHome() {
        if (const char* old = std::getenv("XDG_DATA_HOME")) Old = old;
        ::setenv("XDG_DATA_HOME", Folder.Path().c_str(), 1);
    }
    ~TScratchDataHome() {
        if (Old.empty())
            ::unsetenv("XDG_DATA_HOME");
        else
            ::setenv("XDG_DATA_HOME", Old.c_str(), 1);
    }
    std::string File(const std::string& Name) const { return Folder.File(Name); }

private:
    TTempDir Folder;
    std::string Old;
};

bool ToolInstalled(const char* Name) {
    for (const char* folder : {"/usr/bin/", "/bin/", "/usr/local/bin/"})
        if (std::filesystem::exists(std::string(folder) + Name)) return true;
    return false;
}

} // namespace

TEST(RegisterFileType, ExecArgumentsSurviveAnyPath) {
    struct Row {
        const char* Path;
        const char* Written;
    } rows[] = {
        {"/usr/bin/harvexis", R"("/usr/bin/harvexis")"},
        {"/opt/My Apps/harvexis", R"("/opt/My Apps/harvexis")"},
        {R"(/a"b)", R"("/a\\"b")"},
        {R"(/a\b)", R"("/a\\\\b")"},
        {"/a$b`c", R"("/a\\$b\\`c")"},
        {"/100%", R"("/100%%")"},
        {"/a\nb", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(DesktopExecArgument(row.Path), row.Written) << row.Path;
}

TEST(RegisterFileType, WritesTheTypeAndAnEntryWithQueueAndEditActions) {
    TScratchDataHome home;
    ASSERT_TRUE(RegisterFileType("/opt/Harvexis Dir/harvexis"));
    const std::string entry = home.File("applications/harvexis-jobfile.desktop");
    const TIniText desktop = TIniFile(entry).Load();
    EXPECT_EQ(desktop.ReadString("Desktop Entry", "Exec", ""), R"("/opt/Harvexis Dir/harvexis" %f)");
    EXPECT_EQ(desktop.ReadString("Desktop Entry", "MimeType", ""), "application/x-harvexis-job;");
    EXPECT_EQ(desktop.ReadString("Desktop Entry", "Actions", ""), "queue;edit;");
    EXPECT_EQ(desktop.ReadString("Desktop Action queue", "Name", ""), "Add to Queue");
    EXPECT_EQ(desktop.ReadString("Desktop Action queue", "Exec", ""),
              R"("/opt/Harvexis Dir/harvexis" %f)");
    EXPECT_EQ(desktop.ReadString("Desktop Action edit", "Name", ""), "Edit");
    EXPECT_EQ(desktop.ReadString("Desktop Action edit", "Exec", ""),
              R"("/opt/Harvexis Dir/harvexis" /edit %f)");
    EXPECT_EQ(testsupport::ReadFileText(entry).find('\r'), std::string::npos);

    const std::string package = testsupport::ReadFileText(home.File("mime/packages/harvexis-jobfile.xml"));
    EXPECT_NE(package.find(R"(<mime-type type="application/x-harvexis-job">)"), std::string::npos);
    EXPECT_NE(package.find(R"(<glob pattern="*.hcj"/>)"), std::string::npos);
    if (ToolInstalled("update-mime-database")) {
        const std::string globs = testsupport::ReadFileText(home.File("mime/globs2"));
        EXPECT_NE(globs.find("application/x-harvexis-job:*.hcj"), std::string::npos)
            << "the MIME database was refreshed";
    }
}

TEST(RegisterFileType, UnregisteringRemovesTheVerbsButKeepsTheType) {
    TScratchDataHome home;
    ASSERT_TRUE(RegisterFileType("/usr/bin/harvexis"));
    ASSERT_TRUE(UnregisterFileType());
    EXPECT_FALSE(testsupport::FileExists(home.File("applications/harvexis-jobfile.desktop")));
    EXPECT_TRUE(testsupport::FileExists(home.File("mime/packages/harvexis-jobfile.xml")));
    EXPECT_TRUE(UnregisterFileType()) << "nothing to remove is no failure";
}

TEST(RegisterFileType, AnUnwritableDataHomeFailsQuietly) {
    TScratchDataHome home;
    testsupport::WriteFileText(home.File("applications"), "a file in the way");
    EXPECT_FALSE(RegisterFileType("/usr/bin/harvexis"));
}
