#include "cli/JobCommands.h"

#include "cli/CliSupport.h"
#include "jobs/AsciiText.h"
#include "jobs/IniFile.h"
#include "jobs/JobTypes.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <utility>

namespace cli {

namespace {

constexpr const char* JobUsage =
    "Usage: harvexis-cli job create FILE --url URL --dest DIR [--name NAME] [--set Key=Value]...\n"
    "       harvexis-cli job show FILE\n"
    "\n"
    "create  writes a job file with the defaults of a new job, the starting address URL\n"
    "        (a user name and password in it are stored apart, Base64-encoded) and the\n"
    "        destination folder DIR. --set takes any key of the job file, for example\n"
    "        --set MaxDistance=3 --set MaxJobDownloadSize=3221225472 --set LineCount=1\n"
    "        --set Line0='Accept-Language: en'. Booleans are 1 or 0.\n"
    "show    prints every field of the job file as Key=Value, in file order; the\n"
    "        password is never shown.\n";

constexpr const char* FileInfoSection = "FileInfo";
constexpr const char* HeadersSection = "HTTPHeaders";

struct TCreateOptions {
    std::string FileName, Url, Destination, Name;
    bool HasName = false;
    std::vector<std::pair<std::string, std::string>> Settings;
};

// The value after an option such as "--url"; nullopt when it is missing.
std::optional<std::string> OptionValue(const std::vector<std::string>& Args, std::size_t& I) {
    if (I + 1 >= Args.size()) return std::nullopt;
    return Args[++I];
}

std::optional<std::string> ParseCreateOptions(const std::vector<std::string>& Args,
                                              TCreateOptions& Options) {
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const std::string& arg = Args[i];
        std::optional<std::string> value;
        if (arg == "--url" || arg == "--dest" || arg == "--name" || arg == "--set") {
            value = OptionValue(Args, i);
            if (!value) return "option " + arg + " needs a value";
        }
        if (arg == "--url") Options.Url = *value;
        else if (arg == "--dest") Options.Destination = *value;
        else if (arg == "--name") Options.Name = *value, Options.HasName = true;
        else if (arg == "--set") {
            const auto equals = value->find('=');
            if (equals == std::string::npos || equals == 0) return "--set needs Key=Value, not '" + *value + "'";
            Options.Settings.emplace_back(value->substr(0, equals), value->substr(equals + 1));
        } else if (!arg.empty() && arg[0] == '-') return "unknown option " + arg;
        else if (Options.FileName.empty()) Options.FileName = arg;
        else return "unexpected argument '" + arg + "'";
    }
    if (Options.FileName.empty()) return "job create needs a job FILE";
    if (Options.Url.empty()) return "job create needs --url";
    if (Options.Destination.empty()) return "job create needs --dest";
    return std::nullopt;
}

bool IsHeaderLineKey(const std::string& Key) {
    if (Key.size() < 5 || !jobs::SameTextAscii(Key.substr(0, 4), "Line")) return false;
    return Key.find_first_not_of("0123456789", 4) == std::string::npos;
}

// The section that holds Key in a job file; empty for keys a job file does not have.
std::string SectionOfKey(const jobs::TIniText& Layout, const std::string& Key) {
    if (IsHeaderLineKey(Key)) return HeadersSection;
    std::string found;
    Layout.ForEachKey([&](std::string_view section, std::string_view key, std::string_view) {
        if (found.empty() && jobs::SameTextAscii(key, Key) && !jobs::SameTextAscii(section, FileInfoSection))
            found = section;
    });
    return found;
}

// A value the loader reads back unchanged (numbers may be written differently: "0x10" is 16).
bool ValueWasTaken(const std::string& Given, const std::string& Stored) {
    if (Given == Stored) return true;
    const auto given = jobs::ParseProfileInteger(Given), stored = jobs::ParseProfileInteger(Stored);
    return given && stored && *given == *stored;
}

std::optional<std::string> ApplySettings(const TCreateOptions& Options, jobs::TCopyJob& Job) {
    jobs::TIniText text;
    Job.SaveToText(text);
    for (const auto& [key, value] : Options.Settings) {
        const std::string section = SectionOfKey(text, key);
        if (section.empty()) return "'" + key + "' is no key of a job file";
        if (!text.WriteString(section, key, value)) return "--set " + key + ": the value cannot be stored";
    }
    if (!Job.LoadFromText(text)) return "--set: SU and SP must be Base64 (a multiple of 4 characters)";
    jobs::TIniText stored;
    Job.SaveToText(stored);
    for (const auto& [key, value] : Options.Settings) {
        const std::string section = SectionOfKey(stored, key);
        if (!ValueWasTaken(value, stored.ReadString(section, key, "")))
            return "--set " + key + "=" + value + ": not a valid value for this key";
    }
    return std::nullopt;
}

int CreateJob(const std::vector<std::string>& Args) {
    TCreateOptions options;
    if (const auto problem = ParseCreateOptions(Args, options)) return UsageError(*problem);
    jobs::TCopyJob job;
    job.Reset();
    if (!job.StartingWebAddress.SetFullURL(options.Url))
        return UsageError("'" + options.Url + "' is not a usable web address");
    std::error_code error;
    const auto destination = std::filesystem::absolute(options.Destination, error);
    job.SetDestinationFolder(error ? options.Destination : destination.lexically_normal().string());
    if (options.HasName) job.JobName = options.Name;
    if (const auto problem = ApplySettings(options, job)) return UsageError(*problem);
    if (!job.SaveToFile(options.FileName)) return UsageError("Unable to write job file " + options.FileName);
    return ExitOk;
}

int ShowJob(const std::vector<std::string>& Args) {
    if (Args.size() != 1 || Args[0].empty() || Args[0][0] == '-')
        return UsageError("job show needs exactly one job FILE");
    jobs::TCopyJob job;
    if (!job.LoadFromFile(Args[0])) return UsageError("Unable to read job file " + Args[0]);
    jobs::TIniText text;
    job.SaveToText(text);
    const auto& url = job.StartingWebAddress;
    text.ForEachKey([&](std::string_view section, std::string_view key, std::string_view value) {
        if (jobs::SameTextAscii(section, FileInfoSection)) return;
        std::string line = std::string(key) + "=" + std::string(value);
        if (key == "SU") line = "User=" + url.GetUserName();
        if (key == "SP") line = url.GetPassword().empty() ? "Password=" : "Password=***";
        std::printf("%s\n", line.c_str());
    });
    return ExitOk;
}

} // namespace

int RunJobCommand(const std::vector<std::string>& Args) {
    if (Args.empty()) return UsageError("job needs a subcommand: create or show (see job --help)");
    if (WantsHelp(Args)) {
        std::fputs(JobUsage, stdout);
        return ExitOk;
    }
    const std::vector<std::string> rest(Args.begin() + 1, Args.end());
    if (Args[0] == "create") return CreateJob(rest);
    if (Args[0] == "show") return ShowJob(rest);
    return UsageError("unknown job subcommand '" + Args[0] + "' (see job --help)");
}

} // namespace cli
