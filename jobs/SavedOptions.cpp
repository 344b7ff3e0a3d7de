#include "jobs/SavedOptions.h"

#include "jobs/AppInfo.h"
#include "base/AsciiText.h"
#include "jobs/IniFile.h"
#include "base/AppTraceLog.h"
#include "base/ForceDir.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>

#include <pwd.h>
#include <unistd.h>

namespace jobs {

namespace {

constexpr const char* UnitName = "SavedOptions";
constexpr std::string_view HistoryCountKey = "Count";
constexpr std::string_view HistoryItemKey = "Item";
constexpr std::string_view HistorySections[] = {Settings::StartingAddressHistory,
                                                Settings::SaveFolderHistory,
                                                Settings::AgentNameHistory};

std::string WithoutTrailingSlashes(std::string Folder) {
    while (Folder.size() > 1 && Folder.back() == '/') Folder.pop_back();
    return Folder;
}

std::string WithTrailingSlash(std::string Folder) {
    if (Folder.empty() || Folder.back() != '/') Folder += '/';
    return Folder;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found &&
        found->pw_dir)
        return found->pw_dir;
    return {};
}

std::string TemporaryFolder() {
    std::error_code error;
    const auto path = std::filesystem::temp_directory_path(error);
    return error ? std::string("/tmp") : path.string();
}

// A folder is usable when a value written to its settings file reads back.
bool FolderHoldsSettings(const std::string& Folder) {
    try {
        TIniFile file(WithTrailingSlash(Folder) + std::string(SettingsFileName));
        const auto& test = Settings::DataFolderTest;
        return file.WriteString(test.Section, test.Key, Settings::DataFolderTestValue) &&
               file.ReadString(test.Section, test.Key, test.Default) ==
                   Settings::DataFolderTestValue;
    } catch (const std::exception&) {
        return false;
    }
}

// Passwords in the settings file make it a secret file.
bool IsSecretKey(std::string_view Section, std::string_view Key) {
    for (const auto* proxy : {&Settings::HTTPProxy, &Settings::FTPProxy})
        if (base::SameTextAscii(Section, proxy->Password.Section) &&
            base::SameTextAscii(Key, proxy->Password.Key))
            return true;
    return false;
}

void LogException(const char* Method, const std::string& Message) {
    base::TraceLog.LogEntry(base::ttException, Message, Method, UnitName);
}

// Runs Body; an exception is logged under Method and gives Fallback.
template <typename T, typename F> T Guarded(const char* Method, T Fallback, F&& Body) {
    try {
        return Body();
    } catch (const std::exception& error) {
        LogException(Method, error.what());
        return Fallback;
    }
}

std::string HistoryItemName(std::size_t Index) {
    return std::string(HistoryItemKey) + std::to_string(Index);
}

void ReadHistoryFrom(const TIniText& Text, std::string_view Section, std::int32_t MaxLength,
                     std::vector<std::string>& List) {
    const std::int32_t count = Text.ReadCount(Section, HistoryCountKey);
    for (std::int32_t i = 0; i < count && static_cast<std::int32_t>(List.size()) < MaxLength; ++i)
        List.push_back(base::TrimControls(Text.ReadString(Section, HistoryItemName(i), "")));
}

bool WriteHistoryTo(TIniText& Text, std::string_view Section,
                    const std::vector<std::string>& List) {
    if (!Text.WriteInteger(Section, HistoryCountKey, static_cast<std::int64_t>(List.size())))
        return false;
    for (std::size_t i = 0; i < List.size(); ++i)
        if (!Text.WriteString(Section, HistoryItemName(i), List[i])) return false;
    return true;
}

} // namespace

std::string XdgDataHome() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        return WithoutTrailingSlashes(xdg);
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : WithoutTrailingSlashes(home) + "/.local/share";
}

TDataFolderPlaces DataFolderPlacesFromEnvironment() {
    TDataFolderPlaces places;
    if (const char* folder = std::getenv("HARVEXIS_DATA_DIR"); folder && *folder)
        places.Override = folder;
    if (const std::string xdg = XdgDataHome(); !xdg.empty())
        places.PerUser = xdg + "/Harvexis";
    const std::string program = ProgramFileName();
    if (const auto slash = program.rfind('/'); slash != std::string::npos)
        places.ProgramFolder = slash == 0 ? "/" : program.substr(0, slash);
    places.TempFolder = TemporaryFolder();
    return places;
}

TDataFolderChoice ChooseDataFolder(const TDataFolderPlaces& Places) {
    if (!Places.Override.empty()) {
        // Chosen on purpose (tests rely on it): never fall back to the user's own folder.
        base::ForceDirectoriesLocked(Places.Override);
        return {WithTrailingSlash(Places.Override), TDataFolderKind::Override};
    }
    if (!Places.PerUser.empty() && base::ForceDirectoriesLocked(Places.PerUser) &&
        FolderHoldsSettings(Places.PerUser))
        return {WithTrailingSlash(Places.PerUser), TDataFolderKind::PerUser};
    if (!Places.ProgramFolder.empty() && FolderHoldsSettings(Places.ProgramFolder))
        return {WithTrailingSlash(Places.ProgramFolder), TDataFolderKind::ProgramFolder};
    const std::string temporary = Places.TempFolder.empty() ? "/tmp" : Places.TempFolder;
    return {WithTrailingSlash(temporary), TDataFolderKind::TempFolder};
}

const TDataFolderChoice& GetDataFolderChoice() {
    // Thread-safe one-time initialisation; the folder never changes during a run.
    static const TDataFolderChoice choice = ChooseDataFolder(DataFolderPlacesFromEnvironment());
    return choice;
}

std::string GetDataFolder() { return GetDataFolderChoice().Folder; }

void InsertMostRecent(std::string_view Value, std::vector<std::string>& List) {
    if (base::TrimControls(Value).empty()) return;
    const auto same = std::find_if(List.begin(), List.end(), [&](const std::string& entry) {
        return base::SameTextAscii(entry, Value);
    });
    if (same != List.end()) List.erase(same);
    List.insert(List.begin(), std::string(Value));
}

void TSavedOptions::Initialize(const std::string& DataFolder) {
    Folder = WithTrailingSlash(DataFolder);
    FileName = Folder + std::string(SettingsFileName);
    HistoryEnabled = Read(Settings::EnableHistory);
    // A hand-edited huge length would make every history read walk millions of keys.
    HistoryLength = std::min(Read(Settings::MaxHistoryLength), MaxHistoryLengthLimit);
}

std::string TSavedOptions::ReadString(std::string_view Section, std::string_view Key,
                                      std::string_view Default) const {
    return Guarded("ReadString", std::string(Default),
                   [&] { return TIniFile(FileName).ReadString(Section, Key, Default); });
}

void TSavedOptions::WriteString(std::string_view Section, std::string_view Key,
                                std::string_view Value) {
    const auto kind = IsSecretKey(Section, Key) ? TIniFile::TFileKind::Secret
                                                : TIniFile::TFileKind::Plain;
    if (!Guarded("WriteString", false,
                 [&] { return TIniFile(FileName, kind).WriteString(Section, Key, Value); }))
        ReportFailure("WriteString", std::string(Section) + "/" + std::string(Key));
}

bool TSavedOptions::ReadBool(std::string_view Section, std::string_view Key, bool Default) const {
    return Guarded("ReadBool", Default,
                   [&] { return TIniFile(FileName).ReadBool(Section, Key, Default); });
}

void TSavedOptions::WriteBool(std::string_view Section, std::string_view Key, bool Value) {
    if (!Guarded("WriteBool", false,
                 [&] { return TIniFile(FileName).WriteBool(Section, Key, Value); }))
        ReportFailure("WriteBool", std::string(Section) + "/" + std::string(Key));
}

std::int32_t TSavedOptions::ReadInteger(std::string_view Section, std::string_view Key,
                                        std::int32_t Default) const {
    return Guarded("ReadInteger", Default,
                   [&] { return TIniFile(FileName).ReadInteger(Section, Key, Default); });
}

void TSavedOptions::WriteInteger(std::string_view Section, std::string_view Key,
                                 std::int32_t Value) {
    if (!Guarded("WriteInteger", false,
                 [&] { return TIniFile(FileName).WriteInteger(Section, Key, Value); }))
        ReportFailure("WriteInteger", std::string(Section) + "/" + std::string(Key));
}

bool TSavedOptions::Read(const TBoolSetting& Setting) const {
    return ReadBool(Setting.Section, Setting.Key, Setting.Default);
}

std::int32_t TSavedOptions::Read(const TIntegerSetting& Setting) const {
    const std::int32_t value = ReadInteger(Setting.Section, Setting.Key, Setting.Default);
    return Setting.NegativeReadsAsZero && value < 0 ? 0 : value;
}

std::string TSavedOptions::Read(const TStringSetting& Setting) const {
    return ReadString(Setting.Section, Setting.Key, Setting.Default);
}

void TSavedOptions::Write(const TBoolSetting& Setting, bool Value) {
    WriteBool(Setting.Section, Setting.Key, Value);
}

void TSavedOptions::Write(const TIntegerSetting& Setting, std::int32_t Value) {
    WriteInteger(Setting.Section, Setting.Key, Value);
}

void TSavedOptions::Write(const TStringSetting& Setting, std::string_view Value) {
    WriteString(Setting.Section, Setting.Key, Value);
}

void TSavedOptions::SetEnableHistory(bool Value) {
    HistoryEnabled = Value;
    Write(Settings::EnableHistory, Value);
    if (!Value) ClearHistories();
}

void TSavedOptions::SetMaxHistoryLength(std::int32_t Value) {
    if (Value > 0) HistoryLength = std::min(Value, MaxHistoryLengthLimit);
    Write(Settings::MaxHistoryLength, HistoryLength);
}

std::optional<std::int32_t> TSavedOptions::SpeechVolume() const {
    const auto value = ParseProfileInteger(Read(Settings::SpeechVolume));
    if (!value || *value < INT32_MIN || *value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

std::string TSavedOptions::LastJobFileName() const {
    return Folder + std::string(LastJobFileBaseName);
}

void TSavedOptions::ReadHistory(std::string_view Section, std::vector<std::string>& List) const {
    List.clear();
    if (!HistoryEnabled) return;
    Guarded("ReadHistory", false, [&] {
        ReadHistoryFrom(TIniFile(FileName).Load(), Section, HistoryLength, List);
        return true;
    });
}

void TSavedOptions::AddToHistory(std::string_view Section, std::string_view Value) {
    const std::string value = base::TrimControls(Value);
    if (!HistoryEnabled || value.empty()) return;
    // Read, change and write back under one lock, so that a second running copy
    // adding at the same moment does not lose its entry.
    const bool written = Guarded("AddToHistory", false, [&] {
        return TIniFile(FileName).Update([&](TIniText& text) {
            std::vector<std::string> list;
            ReadHistoryFrom(text, Section, HistoryLength, list);
            InsertMostRecent(value, list);
            while (!list.empty() && static_cast<std::int32_t>(list.size()) > HistoryLength)
                list.pop_back();
            return WriteHistoryTo(text, Section, list);
        });
    });
    if (!written) ReportFailure("WriteHistory", std::string(Section));
}

void TSavedOptions::ClearHistories() {
    const bool erased = Guarded("ClearHistories", false, [&] {
        return TIniFile(FileName).Update([](TIniText& text) {
            for (const auto section : HistorySections) text.EraseSection(section);
            return true;
        });
    });
    if (!erased) ReportFailure("ClearHistories", "history sections");
    const std::string lastJob = LastJobFileName();
    if (::unlink(lastJob.c_str()) != 0 && errno != ENOENT)
        base::TraceLog.LogAPIError("unlink " + lastJob, "ClearHistories", UnitName);
}

void TSavedOptions::ReportFailure(const char* Method, const std::string& What) const {
    LogException(Method, "Unable to write " + What + " to " + FileName);
}

} // namespace jobs
