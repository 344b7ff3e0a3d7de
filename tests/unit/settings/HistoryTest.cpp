#include "jobs/IniFile.h"
#include "jobs/SavedOptions.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace jobs;
using testsupport::TTempDir;
using TList = std::vector<std::string>;

namespace {

TList History(const TSavedOptions& Options, std::string_view Section) {
    TList list;
    Options.ReadHistory(Section, list);
    return list;
}

std::string Joined(const TList& List) {
    std::string text;
    for (const auto& entry : List) text += "[" + entry + "]";
    return text;
}

} // namespace

TEST(History, InsertMostRecentMovesCaseInsensitiveTwinsToTheTop) {
    struct Row {
        TList Before;
        const char* Value;
        TList After;
    } rows[] = {
        {{}, "a", {"a"}},
        {{"x", "y"}, "y", {"y", "x"}},
        {{"http://a.test/", "http://b.test/"}, "HTTP://B.test/", {"HTTP://B.test/", "http://a.test/"}},
        {{"x", "X", "y"}, "x", {"x", "X", "y"}},  // only the first twin goes
        {{"x"}, "  ", {"x"}},                     // blank: nothing happens
        {{"x"}, "", {"x"}},
    };
    for (const auto& row : rows) {
        TList list = row.Before;
        InsertMostRecent(row.Value, list);
        EXPECT_EQ(list, row.After) << "inserting [" << row.Value << "] into " << Joined(row.Before);
    }
}

TEST(History, AddingATwinWithOtherCaseMovesItUpWithTheNewSpelling) {
    TTempDir data;
    TSavedOptions options;
    options.Initialize(data.Path());
    for (const char* address : {"http://one.test/", "http://two.test/", "http://three.test/"})
        options.AddToHistory(Settings::StartingAddressHistory, address);
    options.AddToHistory(Settings::StartingAddressHistory, "  HTTP://Two.Test/ \t");
    EXPECT_EQ(History(options, Settings::StartingAddressHistory),
              (TList{"HTTP://Two.Test/", "http://three.test/", "http://one.test/"}));
}

TEST(History, AFifthEntryDropsTheOldestAndCountStaysFour) {
    TTempDir data;
    TSavedOptions options;
    options.Initialize(data.Path());
    for (const char* folder : {"/f1", "/f2", "/f3", "/f4", "/f5"})
        options.AddToHistory(Settings::SaveFolderHistory, folder);
    EXPECT_EQ(History(options, Settings::SaveFolderHistory), (TList{"/f5", "/f4", "/f3", "/f2"}));
    const TIniFile file(options.IniFileName());
    EXPECT_EQ(file.ReadInteger("SaveFolderHistory", "Count", -1), 4);
    EXPECT_EQ(file.ReadString("SaveFolderHistory", "Item0", ""), "/f5");
    EXPECT_EQ(file.ReadString("SaveFolderHistory", "Item3", ""), "/f2");
}

TEST(History, ALongerStoredListReadsAsItsFirstEntriesTrimmedWithBlanksKept) {
    TTempDir data;
    std::string text = "[AgentNameHistory]\nCount=10\n";
    for (int i = 0; i < 10; ++i) text += "Item" + std::to_string(i) + "=" + (i == 1 ? "" : " agent" + std::to_string(i)) + "\n";
    testsupport::WriteFileText(data.File("Harvexis.INI"), text);
    TSavedOptions options;
    options.Initialize(data.Path());
    EXPECT_EQ(History(options, Settings::AgentNameHistory), (TList{"agent0", "", "agent2", "agent3"}));
}

TEST(History, BlankValuesAndDisabledHistoryAddNothing) {
    TTempDir data;
    TSavedOptions options;
    options.Initialize(data.Path());
    options.AddToHistory(Settings::AgentNameHistory, " \t ");
    EXPECT_FALSE(testsupport::FileExists(options.IniFileName()));
    options.SetEnableHistory(false);
    options.AddToHistory(Settings::AgentNameHistory, "Agent/1.0");
    EXPECT_FALSE(TIniFile(options.IniFileName()).Load().SectionExists("AgentNameHistory"));
    EXPECT_TRUE(History(options, Settings::AgentNameHistory).empty());
}

TEST(History, LengthSettingKeepsOrCapsAndIsAlwaysWritten) {
    struct Row {
        std::int32_t Set;
        std::int32_t Expected;
    } rows[] = {{0, 4}, {-3, 4}, {150, 99}, {99, 99}, {1, 1}, {7, 7}};
    for (const auto& row : rows) {
        TTempDir data;
        TSavedOptions options;
        options.Initialize(data.Path());
        options.SetMaxHistoryLength(row.Set);
        EXPECT_EQ(options.MaxHistoryLength(), row.Expected) << "set " << row.Set;
        EXPECT_EQ(TIniFile(options.IniFileName()).ReadInteger("Options", "MaxHistoryLength", -1),
                  row.Expected)
            << "set " << row.Set;
    }
}

TEST(History, SwitchingHistoryOffEmptiesTheListsAndDeletesTheLastJob) {
    TTempDir data;
    TSavedOptions options;
    options.Initialize(data.Path());
    options.AddToHistory(Settings::StartingAddressHistory, "http://a.test/");
    options.AddToHistory(Settings::SaveFolderHistory, "/save");
    options.AddToHistory(Settings::AgentNameHistory, "Agent");
    options.WriteString("Other", "Keep", "me");
    testsupport::WriteFileText(options.LastJobFileName(), "[Job]\n");

    options.SetEnableHistory(false);
    const TIniText text = TIniFile(options.IniFileName()).Load();
    for (const char* section : {"StartingAddressHistory", "SaveFolderHistory", "AgentNameHistory"})
        EXPECT_FALSE(text.SectionExists(section)) << section;
    EXPECT_EQ(text.ReadString("Other", "Keep", ""), "me");
    EXPECT_EQ(text.ReadInteger("Options", "EnableHistory", -1), 0);
    EXPECT_FALSE(testsupport::FileExists(options.LastJobFileName()));

    options.SetEnableHistory(true);
    EXPECT_TRUE(History(options, Settings::StartingAddressHistory).empty());
    TSavedOptions later;
    later.Initialize(data.Path());
    EXPECT_TRUE(later.EnableHistory());
}

TEST(History, AValueThatCannotBeStoredLeavesTheFileAsItWas) {
    TTempDir data;
    TSavedOptions options;
    options.Initialize(data.Path());
    options.AddToHistory(Settings::StartingAddressHistory, "http://a.test/");
    const std::string before = testsupport::ReadFileText(options.IniFileName());
    options.AddToHistory(Settings::StartingAddressHistory, "http://b.test/\nInjected=1");
    EXPECT_EQ(testsupport::ReadFileText(options.IniFileName()), before);
}
