#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jobs {

// One stored setting: where it lives and what a missing or unreadable key gives.
struct TBoolSetting {
    std::string_view Section;
    std::string_view Key;
    bool Default;
};

struct TIntegerSetting {
    std::string_view Section;
    std::string_view Key;
    std::int32_t Default;
    bool NegativeReadsAsZero = false;  // countdowns: a negative time means "at once"
};

struct TStringSetting {
    std::string_view Section;
    std::string_view Key;
    std::string_view Default;
};

// The keys shared by the two proxy sections.
struct TProxySettingKeys {
    TBoolSetting UseProxyServer;
    TStringSetting Address;
    TStringSetting Port;  // decimal text
    TStringSetting Username;
    TStringSetting Password;  // plain text: the settings file then becomes a secret file
    TBoolSetting AllowLocalBypass;
};

constexpr TProxySettingKeys ProxySettingKeys(std::string_view Section) {
    return {{Section, "UseProxyServer", false}, {Section, "Address", ""},
            {Section, "Port", ""},              {Section, "Username", ""},
            {Section, "Password", ""},          {Section, "AllowLocalBypass", false}};
}

// Every key of the settings file, with its default. Readers and writers all over
// the program name these; no section or key is spelled anywhere else.
namespace Settings {

inline constexpr TBoolSetting EnableHistory{"Options", "EnableHistory", true};
inline constexpr TIntegerSetting MaxHistoryLength{"Options", "MaxHistoryLength", 4};
inline constexpr TBoolSetting AllowMultipleInstances{"Options", "AllowMultipleInstances", true};
// 0 ignore, 1 prompt to create a new job, 2 create a new job automatically.
inline constexpr TIntegerSetting ClipboardResponse{"Options", "ClipboardResponse", 0};

inline constexpr TBoolSetting StayOnTop{"Preferences", "StayOnTop", false};
// Process priority class: 32 normal ("Foreground"), 64 idle ("Background").
inline constexpr TIntegerSetting Priority{"Preferences", "Priority", 32};
inline constexpr TBoolSetting ShowFriendlyDownloadResults{"Preferences",
                                                          "ShowFriendlyDownloadResults", true};
inline constexpr TBoolSetting LogCompletedJobs{"Preferences", "LogCompletedJobs", true};
inline constexpr TBoolSetting MinimizeToTaskbar{"Preferences", "MinimizeToTaskbar", false};

inline constexpr TBoolSetting ShowJobQueue{"Automation", "ShowJobQueue", false};
inline constexpr TBoolSetting FocusProgressOnJobStart{"Automation", "FocusProgressOnJobStart", true};
inline constexpr TBoolSetting FocusQueueOnJobAdd{"Automation", "FocusQueueOnJobAdd", true};
inline constexpr TBoolSetting StartJobsAutomatically{"Automation", "StartJobsAutomatically", true};
inline constexpr TBoolSetting SaveEachJobToUniqueSubfolder{"Automation",
                                                           "SaveEachJobToUniqueSubfolder", false};
inline constexpr TBoolSetting RemoveJobOnCompletion{"Automation", "RemoveJobOnCompletion", false};
// The key keeps its historic name; it shuts the computer down.
inline constexpr TBoolSetting ShutdownWindowsWhenAllJobsDone{
    "Automation", "ShutdownWindowsWhenAllJobsDone", false};
inline constexpr TBoolSetting RunAppOnJobCompletion{"Automation", "RunAppOnJobCompletion", false};
inline constexpr TStringSetting JobCompletionCommandLine{"Automation", "JobCompletionCommandLine",
                                                         ""};
// The three countdowns (seconds) are never written by the program.
inline constexpr TIntegerSetting CountdownStartNextJob{"Automation", "CountdownStartNextJob", 5,
                                                       true};
inline constexpr TIntegerSetting CountdownShutdownWindows{"Automation", "CountdownShutdownWindows",
                                                          30, true};
inline constexpr TIntegerSetting CountdownWaitForProcess{"Automation", "CountdownWaitForProcess",
                                                         60, true};

inline constexpr TProxySettingKeys HTTPProxy = ProxySettingKeys("HTTPProxy");
inline constexpr TProxySettingKeys FTPProxy = ProxySettingKeys("FTPProxy");

inline constexpr TBoolSetting SoundsEnabled{"Sounds", "SoundsEnabled", false};
inline constexpr TStringSetting SoundJobStart{"Sounds", "JobStart", ""};
inline constexpr TStringSetting SoundJobEnd{"Sounds", "JobEnd", ""};
// "(None)" means never chosen; the sounds page then offers the system's own sound.
inline constexpr TStringSetting SoundFileDownload{"Sounds", "FileDownload", "(None)"};

inline constexpr TBoolSetting SpeechEnabled{"Speech", "SpeechEnabled", false};
inline constexpr TStringSetting SpeechAppStart{"Speech", "AppStart", ""};
inline constexpr TStringSetting SpeechAppEnd{"Speech", "AppEnd", ""};
inline constexpr TStringSetting SpeechJobStart{"Speech", "JobStart", ""};
inline constexpr TStringSetting SpeechJobEnd{"Speech", "JobEnd", ""};
// Present and numeric, or nothing (see TSavedOptions::SpeechVolume).
inline constexpr TStringSetting SpeechVolume{"Speech", "Volume", ""};

// 0 normal, 1 minimised, 2 maximised; bounds of -1 are not applied.
inline constexpr TIntegerSetting WindowState{"Window", "WindowState", 0};
inline constexpr TIntegerSetting WindowLeft{"Window", "Left", -1};
inline constexpr TIntegerSetting WindowTop{"Window", "Top", -1};
inline constexpr TIntegerSetting WindowWidth{"Window", "Width", -1};
inline constexpr TIntegerSetting WindowHeight{"Window", "Height", -1};

// Written when a data folder is tried out.
inline constexpr TStringSetting DataFolderTest{"Test", "Name", ""};
inline constexpr std::string_view DataFolderTestValue = "Value";

// The three most-recently-used lists.
inline constexpr std::string_view StartingAddressHistory = "StartingAddressHistory";
inline constexpr std::string_view SaveFolderHistory = "SaveFolderHistory";
inline constexpr std::string_view AgentNameHistory = "AgentNameHistory";

} // namespace Settings

inline constexpr std::string_view SettingsFileName = "Harvexis.INI";
inline constexpr std::string_view LastJobFileBaseName = "LastJob.HCJ";
inline constexpr std::int32_t MaxHistoryLengthLimit = 99;

// Where GetDataFolder found its folder.
enum class TDataFolderKind {
    Override,       // HARVEXIS_DATA_DIR
    PerUser,        // $XDG_DATA_HOME/Harvexis/
    ProgramFolder,  // the folder of the program file
    TempFolder,     // last resort: settings may not survive a reboot
};

struct TDataFolderChoice {
    std::string Folder;  // ends with "/"
    TDataFolderKind Kind = TDataFolderKind::TempFolder;
};

// The places tried in order; each folder without a trailing "/". An empty place is skipped.
struct TDataFolderPlaces {
    std::string Override;
    std::string PerUser;
    std::string ProgramFolder;
    std::string TempFolder;
};

// $XDG_DATA_HOME, or ~/.local/share when it is unset, empty or relative (the
// XDG rule); no trailing "/"; empty when there is no home folder either.
std::string XdgDataHome();

// The places of this process: HARVEXIS_DATA_DIR, $XDG_DATA_HOME (or ~/.local/share)
// + "/Harvexis", the program's folder, the system's temporary folder.
TDataFolderPlaces DataFolderPlacesFromEnvironment();
// The override is taken as it is (created when missing); the per-user and the
// program folder only when a value written to their settings file reads back.
TDataFolderChoice ChooseDataFolder(const TDataFolderPlaces& Places);
// The data folder of this run, chosen once; ends with "/".
const TDataFolderChoice& GetDataFolderChoice();
std::string GetDataFolder();

// Puts Value on top of List, removing the first entry equal to it without
// regard to case. A blank value changes nothing.
void InsertMostRecent(std::string_view Value, std::vector<std::string>& List);

// The settings file. Nothing is cached: every read reads the file and every
// write reaches it at once, so a second running copy sees each change at its
// next read. Failures are logged and otherwise ignored (a failed write is lost).
// Used from the user-interface thread only.
class TSavedOptions {
public:
    // Points the object at Folder + "Harvexis.INI" and reads the history settings.
    void Initialize(const std::string& DataFolder);
    const std::string& IniFileName() const { return FileName; }
    const std::string& DataFolder() const { return Folder; }

    std::string ReadString(std::string_view Section, std::string_view Key,
                           std::string_view Default) const;
    void WriteString(std::string_view Section, std::string_view Key, std::string_view Value);
    bool ReadBool(std::string_view Section, std::string_view Key, bool Default) const;
    void WriteBool(std::string_view Section, std::string_view Key, bool Value);
    std::int32_t ReadInteger(std::string_view Section, std::string_view Key,
                             std::int32_t Default) const;
    void WriteInteger(std::string_view Section, std::string_view Key, std::int32_t Value);

    bool Read(const TBoolSetting& Setting) const;
    std::int32_t Read(const TIntegerSetting& Setting) const;
    std::string Read(const TStringSetting& Setting) const;
    void Write(const TBoolSetting& Setting, bool Value);
    void Write(const TIntegerSetting& Setting, std::int32_t Value);
    void Write(const TStringSetting& Setting, std::string_view Value);

    bool EnableHistory() const { return HistoryEnabled; }
    // Switching history off also clears the histories and the last job file.
    void SetEnableHistory(bool Value);
    std::int32_t MaxHistoryLength() const { return HistoryLength; }
    // 1 to 99 (more is capped); 0 or less keeps the length. The length is written either way.
    void SetMaxHistoryLength(std::int32_t Value);

    bool AllowMultipleInstances() const { return Read(Settings::AllowMultipleInstances); }
    std::int32_t ClipboardResponse() const { return Read(Settings::ClipboardResponse); }
    void SetClipboardResponse(std::int32_t Value) { Write(Settings::ClipboardResponse, Value); }
    std::optional<std::int32_t> SpeechVolume() const;
    std::string LastJobFileName() const;

    // Section is one of the three history sections.
    void ReadHistory(std::string_view Section, std::vector<std::string>& List) const;
    void AddToHistory(std::string_view Section, std::string_view Value);
    void ClearHistories();

private:
    void ReportFailure(const char* Method, const std::string& What) const;

    std::string Folder;    // ends with "/"
    std::string FileName;  // Folder + "Harvexis.INI"
    bool HistoryEnabled = Settings::EnableHistory.Default;
    std::int32_t HistoryLength = Settings::MaxHistoryLength.Default;
};

} // namespace jobs
