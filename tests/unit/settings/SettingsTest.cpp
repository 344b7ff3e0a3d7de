#include "jobs/IniFile.h"
#include "jobs/SavedOptions.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>


using namespace jobs;
using testsupport::FileExists;
using testsupport::TTempDir;
using testsupport::WriteFileText;

namespace {

// Settings in a fresh data folder.
struct TOptions {
    TTempDir Data;
    TSavedOptions Options;
    TOptions() { Options.Initialize(Data.Path()); }
    TIniText Text() const { return TIniFile(Options.IniFileName()).Load(); }
};

} // namespace

TEST(SettingsFile, ProxyPasswordsMakeTheFileSecretAndItStaysSo) {
    TOptions o;
    o.Options.Write(Settings::StayOnTop, true);
    o.Options.Write(Settings::FTPProxy.Password, "hunter2");
    o.Options.Write(Settings::StayOnTop, false); // a later plain write must not open it up again
    struct stat info {};
    ASSERT_EQ(::stat(o.Options.IniFileName().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(History, SwitchingHistoryOffEmptiesTheListsAndDeletesTheLastJob) {
    TOptions o;
    o.Options.AddToHistory(Settings::StartingAddressHistory, "http://a.test/");
    o.Options.AddToHistory(Settings::AgentNameHistory, "Agent");
    o.Options.WriteString("Other", "Keep", "me");
    WriteFileText(o.Options.LastJobFileName(), "[Job]\n");
    o.Options.SetEnableHistory(false);
    o.Options.AddToHistory(Settings::AgentNameHistory, "Agent/1.0");
    for (const char* section : {"StartingAddressHistory", "AgentNameHistory"})
        EXPECT_FALSE(o.Text().SectionExists(section)) << section;
    EXPECT_EQ(o.Text().ReadString("Other", "Keep", ""), "me");
    EXPECT_FALSE(FileExists(o.Options.LastJobFileName()));
    TSavedOptions later;
    later.Initialize(o.Data.Path());
    EXPECT_FALSE(later.EnableHistory());
}
