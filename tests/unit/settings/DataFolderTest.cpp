#include "jobs/IniFile.h"
#include "jobs/SavedOptions.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

using namespace jobs;
using testsupport::TTempDir;

namespace {

// Sets or clears one environment variable for the life of the object.
class TEnvironmentVariable {
public:
    TEnvironmentVariable(const char* Name, const char* Value) : Name(Name) {
        if (const char* old = std::getenv(Name)) Old = old;
        if (Value)
            ::setenv(Name, Value, 1);
        else
            ::unsetenv(Name);
    }
    ~TEnvironmentVariable() {
        if (Old)
            ::setenv(Name, Old->c_str(), 1);
        else
            ::unsetenv(Name);
    }

private:
    const char* Name;
    std::optional<std::string> Old;
};

bool HoldsTestValue(const std::string& Folder) {
    return TIniFile(Folder + "Harvexis.INI").ReadString("Test", "Name", "") == "Value";
}

} // namespace

TEST(DataFolder, OverrideFromTheEnvironmentIsTakenAndCreated) {
    TTempDir root;
    const std::string folder = root.File("nested/data");
    TEnvironmentVariable data("HARVEXIS_DATA_DIR", folder.c_str());
    const auto choice = ChooseDataFolder(DataFolderPlacesFromEnvironment());
    EXPECT_EQ(choice.Folder, folder + "/");
    EXPECT_EQ(choice.Kind, TDataFolderKind::Override);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST(DataFolder, PerUserFolderFollowsXdgDataHomeOrTheHomeFolder) {
    TTempDir home;
    TEnvironmentVariable noOverride("HARVEXIS_DATA_DIR", nullptr);
    TEnvironmentVariable homeVar("HOME", home.Path().c_str());
    struct Row {
        const char* Xdg;  // nullptr: unset
        std::string Expected;
    } rows[] = {
        {nullptr, home.Path() + "/.local/share/Harvexis"},
        {"", home.Path() + "/.local/share/Harvexis"},
        {"relative/share", home.Path() + "/.local/share/Harvexis"},  // relative: ignored
        {"/xdg/data/", "/xdg/data/Harvexis"},
    };
    for (const auto& row : rows) {
        TEnvironmentVariable xdg("XDG_DATA_HOME", row.Xdg);
        EXPECT_EQ(DataFolderPlacesFromEnvironment().PerUser, row.Expected)
            << "XDG_DATA_HOME=" << (row.Xdg ? row.Xdg : "(unset)");
    }
}

TEST(DataFolder, EachPlaceIsTriedByWritingAndReadingBack) {
    TTempDir root;
    // A file where a folder should be makes a place unusable, even for root.
    testsupport::WriteFileText(root.File("blocked"), "");
    std::filesystem::create_directories(root.File("badini/Harvexis.INI"));  // cannot be written
    struct Row {
        const char* Name;
        std::string PerUser, Program;
        TDataFolderKind Kind;
        std::string Folder;
    } rows[] = {
        {"per-user folder works", root.File("user/Harvexis"), root.File("prog"),
         TDataFolderKind::PerUser, root.File("user/Harvexis/")},
        {"per-user folder blocked", root.File("blocked/Harvexis"), root.File("badini"),
         TDataFolderKind::TempFolder, root.File("tmp/")},
        {"settings file unwritable", root.File("badini"), root.File("prog"),
         TDataFolderKind::ProgramFolder, root.File("prog/")},
    };
    std::filesystem::create_directories(root.File("prog"));
    for (const auto& row : rows) {
        const auto choice = ChooseDataFolder({"", row.PerUser, row.Program, root.File("tmp")});
        EXPECT_EQ(choice.Kind, row.Kind) << row.Name;
        EXPECT_EQ(choice.Folder, row.Folder) << row.Name;
        EXPECT_EQ(HoldsTestValue(choice.Folder), row.Kind != TDataFolderKind::TempFolder)
            << row.Name << ": a tried folder keeps the test value";
    }
}
