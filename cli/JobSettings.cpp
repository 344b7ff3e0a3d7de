#include "cli/JobSettings.h"

#include "jobs/IniFile.h"
#include "jobs/JobFileFields.h"
#include "web/StartingURL.h"

#include <filesystem>

namespace cli {

namespace {

// A value the loader reads back unchanged (numbers may be written differently: "0x10" is 16).
bool ValueWasTaken(const std::string& Given, const std::string& Stored) {
    if (Given == Stored) return true;
    const auto given = jobs::ParseProfileInteger(Given), stored = jobs::ParseProfileInteger(Stored);
    return given && stored && *given == *stored;
}

} // namespace

std::optional<std::string> ParseJobSetting(const std::string& Text, TJobSettings& Settings) {
    const auto equals = Text.find('=');
    if (equals == std::string::npos || equals == 0) return "needs Key=Value, not '" + Text + "'";
    Settings.emplace_back(Text.substr(0, equals), Text.substr(equals + 1));
    return std::nullopt;
}

std::optional<std::string> ApplyJobSettings(const TJobSettings& Settings, jobs::TCopyJob& Job) {
    // Without settings the job is left as it is: the round trip through the
    // job file's text would lose an address that did not parse, and with it
    // the text that tells the user why the job is refused.
    if (Settings.empty()) return std::nullopt;
    jobs::TIniText text;
    Job.SaveToText(text);
    for (const auto& [key, value] : Settings) {
        const std::string section = jobs::JobFileSectionOfKey(key);
        if (section.empty()) return "'" + key + "' is no key of a job file";
        if (!text.WriteString(section, key, value)) return "--set " + key + ": the value cannot be stored";
    }
    // Loading forgets the run's numbered subfolder, which no job file holds.
    const std::string subfolder = Job.UniqueSubfolder;
    if (!Job.LoadFromText(text)) return "--set: SU and SP must be Base64 (a multiple of 4 characters)";
    Job.UniqueSubfolder = subfolder;
    web::NormalizeStartingURL(Job);
    jobs::TIniText stored;
    Job.SaveToText(stored);
    for (const auto& [key, value] : Settings) {
        const std::string section = jobs::JobFileSectionOfKey(key);
        if (!ValueWasTaken(value, stored.ReadString(section, key, "")))
            return "--set " + key + "=" + value + ": not a valid value for this key";
    }
    return std::nullopt;
}

std::optional<std::string> RefuseEmptyDestination(const jobs::TCopyJob& Job, const std::string& Source) {
    if (!Job.DestinationFolder.empty()) return std::nullopt;
    return Source + ": the destination folder is empty";
}

std::string AbsoluteFolder(const std::string& Path) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(Path, error);
    return error ? Path : absolute.lexically_normal().string();
}

} // namespace cli
