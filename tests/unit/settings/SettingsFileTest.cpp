#include "jobs/IniFile.h"
#include "jobs/SavedOptions.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <thread>
#include <variant>

using namespace jobs;
using testsupport::TTempDir;

namespace {

using TAnySetting = std::variant<const TBoolSetting*, const TIntegerSetting*, const TStringSetting*>;
using TAnyValue = std::variant<bool, std::int32_t, std::string>;

struct TSettingRow {
    TAnySetting Setting;
    const char* Section;
    const char* Key;
    TAnyValue Default;
    TAnyValue Other;  // a value unlike the default, to write
};

// Every key of the settings file as the program's documentation lists it.
const TSettingRow SettingRows[] = {
    {&Settings::EnableHistory, "Options", "EnableHistory", true, false},
    {&Settings::MaxHistoryLength, "Options", "MaxHistoryLength", 4, 9},
    {&Settings::AllowMultipleInstances, "Options", "AllowMultipleInstances", true, false},
    {&Settings::ClipboardResponse, "Options", "ClipboardResponse", 0, 2},
    {&Settings::StayOnTop, "Preferences", "StayOnTop", false, true},
    {&Settings::Priority, "Preferences", "Priority", 32, 64},
    {&Settings::ShowFriendlyDownloadResults, "Preferences", "ShowFriendlyDownloadResults", true,
     false},
    {&Settings::LogCompletedJobs, "Preferences", "LogCompletedJobs", true, false},
    {&Settings::MinimizeToTaskbar, "Preferences", "MinimizeToTaskbar", false, true},
    {&Settings::ShowJobQueue, "Automation", "ShowJobQueue", false, true},
    {&Settings::FocusProgressOnJobStart, "Automation", "FocusProgressOnJobStart", true, false},
    {&Settings::FocusQueueOnJobAdd, "Automation", "FocusQueueOnJobAdd", true, false},
    {&Settings::StartJobsAutomatically, "Automation", "StartJobsAutomatically", true, false},
    {&Settings::SaveEachJobToUniqueSubfolder, "Automation", "SaveEachJobToUniqueSubfolder", false,
     true},
    {&Settings::RemoveJobOnCompletion, "Automation", "RemoveJobOnCompletion", false, true},
    {&Settings::ShutdownWindowsWhenAllJobsDone, "Automation", "ShutdownWindowsWhenAllJobsDone",
     false, true},
    {&Settings::RunAppOnJobCompletion, "Automation", "RunAppOnJobCompletion", false, true},
    {&Settings::JobCompletionCommandLine, "Automation", "JobCompletionCommandLine",
     std::string(), std::string("/usr/bin/notify-send done")},
    {&Settings::CountdownStartNextJob, "Automation", "CountdownStartNextJob", 5, 12},
    {&Settings::CountdownShutdownWindows, "Automation", "CountdownShutdownWindows", 30, 45},
    {&Settings::CountdownWaitForProcess, "Automation", "CountdownWaitForProcess", 60, 90},
    {&Settings::HTTPProxy.UseProxyServer, "HTTPProxy", "UseProxyServer", false, true},
    {&Settings::HTTPProxy.Address, "HTTPProxy", "Address", std::string(), std::string("proxy.test")},
    {&Settings::HTTPProxy.Port, "HTTPProxy", "Port", std::string(), std::string("3128")},
    {&Settings::HTTPProxy.Username, "HTTPProxy", "Username", std::string(), std::string("bob")},
    {&Settings::HTTPProxy.Password, "HTTPProxy", "Password", std::string(), std::string("pw")},
    {&Settings::HTTPProxy.AllowLocalBypass, "HTTPProxy", "AllowLocalBypass", false, true},
    {&Settings::FTPProxy.UseProxyServer, "FTPProxy", "UseProxyServer", false, true},
    {&Settings::FTPProxy.Address, "FTPProxy", "Address", std::string(), std::string("ftp.test")},
    {&Settings::FTPProxy.Port, "FTPProxy", "Port", std::string(), std::string("2121")},
    {&Settings::FTPProxy.Username, "FTPProxy", "Username", std::string(), std::string("eve")},
    {&Settings::FTPProxy.Password, "FTPProxy", "Password", std::string(), std::string("pw2")},
    {&Settings::FTPProxy.AllowLocalBypass, "FTPProxy", "AllowLocalBypass", false, true},
    {&Settings::SoundsEnabled, "Sounds", "SoundsEnabled", false, true},
    {&Settings::SoundJobStart, "Sounds", "JobStart", std::string(), std::string("/s/start.wav")},
    {&Settings::SoundJobEnd, "Sounds", "JobEnd", std::string(), std::string("/s/end.wav")},
    {&Settings::SoundFileDownload, "Sounds", "FileDownload", std::string("(None)"),
     std::string("/s/file.wav")},
    {&Settings::SpeechEnabled, "Speech", "SpeechEnabled", false, true},
    {&Settings::SpeechAppStart, "Speech", "AppStart", std::string(), std::string("Hello")},
    {&Settings::SpeechAppEnd, "Speech", "AppEnd", std::string(), std::string("Bye")},
    {&Settings::SpeechJobStart, "Speech", "JobStart", std::string(), std::string("Go")},
    {&Settings::SpeechJobEnd, "Speech", "JobEnd", std::string(), std::string("Done")},
    {&Settings::SpeechVolume, "Speech", "Volume", std::string(), std::string("80")},
    {&Settings::WindowState, "Window", "WindowState", 0, 2},
    {&Settings::WindowLeft, "Window", "Left", -1, 10},
    {&Settings::WindowTop, "Window", "Top", -1, 20},
    {&Settings::WindowWidth, "Window", "Width", -1, 640},
    {&Settings::WindowHeight, "Window", "Height", -1, 480},
};

TAnyValue ReadThrough(const TSavedOptions& Options, const TAnySetting& Setting) {
    return std::visit([&](auto* setting) { return TAnyValue(Options.Read(*setting)); }, Setting);
}

void WriteThrough(TSavedOptions& Options, const TAnySetting& Setting, const TAnyValue& Value) {
    std::visit(
        [&](auto* setting) {
            using T = std::decay_t<decltype(setting->Default)>;
            if constexpr (std::is_same_v<T, std::string_view>)
                Options.Write(*setting, std::get<std::string>(Value));
            else
                Options.Write(*setting, std::get<T>(Value));
        },
        Setting);
}

std::string RawText(const TAnyValue& Value) {
    if (const auto* flag = std::get_if<bool>(&Value)) return *flag ? "1" : "0";
    if (const auto* number = std::get_if<std::int32_t>(&Value)) return std::to_string(*number);
    return std::get<std::string>(Value);
}

std::string Describe(const TSettingRow& Row) { return std::string(Row.Section) + "/" + Row.Key; }

} // namespace

TEST(SettingsFile, EveryKeyReadsItsDefaultWhenNoFileExists) {
    TTempDir data;
    TSavedOptions options;
    options.Initialize(data.Path());
    for (const auto& row : SettingRows)
        EXPECT_EQ(ReadThrough(options, row.Setting), row.Default) << Describe(row);
    EXPECT_TRUE(options.EnableHistory());
    EXPECT_EQ(options.MaxHistoryLength(), 4);
    EXPECT_FALSE(testsupport::FileExists(options.IniFileName())) << "reading must not create it";
}

TEST(SettingsFile, EachWriteLandsInTheFileAtOnceUnderItsOwnSectionAndKey) {
    TTempDir data;
    TSavedOptions writer, reader;
    writer.Initialize(data.Path());
    reader.Initialize(data.Path() + "/");
    ASSERT_EQ(writer.IniFileName(), data.Path() + "/Harvexis.INI");
    ASSERT_EQ(reader.IniFileName(), writer.IniFileName());
    for (const auto& row : SettingRows) {
        WriteThrough(writer, row.Setting, row.Other);
        EXPECT_EQ(ReadThrough(reader, row.Setting), row.Other) << Describe(row);
        EXPECT_EQ(TIniFile(writer.IniFileName()).ReadString(row.Section, row.Key, "<missing>"),
                  RawText(row.Other))
            << Describe(row);
    }
}

TEST(SettingsFile, StoredTextReadsAsTheRulesSay) {
    TTempDir data;
    testsupport::WriteFileText(data.File("Harvexis.INI"),
                               "[Automation]\r\nCountdownStartNextJob=-7\r\nShowJobQueue=2\r\n"
                               "StartJobsAutomatically=yes\r\n[Preferences]\r\nPriority=high\r\n"
                               "[Speech]\r\nVolume=abc\r\n");
    TSavedOptions options;
    options.Initialize(data.Path());
    EXPECT_EQ(options.Read(Settings::CountdownStartNextJob), 0) << "negative countdown reads as 0";
    EXPECT_TRUE(options.Read(Settings::ShowJobQueue)) << "any number but 0 is true";
    EXPECT_TRUE(options.Read(Settings::StartJobsAutomatically)) << "no number: the default";
    EXPECT_EQ(options.Read(Settings::Priority), 32) << "no number: the default";
    EXPECT_FALSE(options.SpeechVolume().has_value()) << "a volume that is no number is not applied";
    options.Write(Settings::SpeechVolume, "65");
    EXPECT_EQ(options.SpeechVolume(), 65);
}

TEST(SettingsFile, ProxyPasswordsMakeTheFileSecretAndItStaysSo) {
    TTempDir data;
    TSavedOptions options;
    options.Initialize(data.Path());
    options.Write(Settings::StayOnTop, true);
    struct stat info {};
    ASSERT_EQ(::stat(options.IniFileName().c_str(), &info), 0);
    options.Write(Settings::FTPProxy.Password, "hunter2");
    ASSERT_EQ(::stat(options.IniFileName().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    options.Write(Settings::StayOnTop, false);
    ASSERT_EQ(::stat(options.IniFileName().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "a later plain write must not open it up again";
}

TEST(SettingsFile, TwoWritersAtOnceLoseNothing) {
    TTempDir data;
    constexpr int writesEach = 40;
    auto writeKeys = [&](const std::string& prefix) {
        TSavedOptions options;  // one per "program copy": nothing shared but the file
        options.Initialize(data.Path());
        for (int i = 0; i < writesEach; ++i) options.WriteInteger("Race", prefix + std::to_string(i), i);
    };
    std::thread first(writeKeys, "A"), second(writeKeys, "B");
    first.join();
    second.join();
    const TIniText text = TIniFile(data.File("Harvexis.INI")).Load();
    for (const char* prefix : {"A", "B"})
        for (int i = 0; i < writesEach; ++i)
            EXPECT_EQ(text.ReadInteger("Race", prefix + std::to_string(i), -1), i)
                << prefix << i << " was lost";
}

TEST(SettingsFile, InitializeReadsTheHistorySettingsAndCapsAHugeLength) {
    struct Row {
        const char* File;
        bool Enabled;
        std::int32_t Length;
    } rows[] = {
        {"", true, 4},
        {"[Options]\nEnableHistory=0\nMaxHistoryLength=12\n", false, 12},
        {"[Options]\nMaxHistoryLength=2000000000\n", true, 99},
    };
    for (const auto& row : rows) {
        TTempDir data;
        testsupport::WriteFileText(data.File("Harvexis.INI"), row.File);
        TSavedOptions options;
        options.Initialize(data.Path());
        EXPECT_EQ(options.EnableHistory(), row.Enabled) << row.File;
        EXPECT_EQ(options.MaxHistoryLength(), row.Length) << row.File;
    }
}

TEST(SettingsFile, LastJobFileLivesInTheDataFolder) {
    TSavedOptions options;
    options.Initialize("/data/folder");
    EXPECT_EQ(options.LastJobFileName(), "/data/folder/LastJob.HCJ");
    EXPECT_EQ(options.DataFolder(), "/data/folder/");
}
