#include "cli/JobCommands.h"

#include "cli/CliSupport.h"
#include "cli/JobSettings.h"
#include "cli/OptionTable.h"
#include "cli/Terminal.h"
#include "jobs/JobTypes.h"
#include "web/StartingURL.h"

#include <cstdio>
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

struct TCreateOptions {
    std::string FileName, Url, Destination;
    std::optional<std::string> Name;
    TJobSettings Settings;
};

// The options of job create; the help text explains them.
std::vector<TOptionGroup> CreateOptionGroups(TCreateOptions& Options) {
    constexpr auto Value = TTakes::Value;
    return {{"",
             {
                 {"--url", Value, "URL", ExplainedInText, StoreValue(Options.Url)},
                 {"--dest", Value, "DIR", ExplainedInText, StoreValue(Options.Destination)},
                 {"--name", Value, "NAME", ExplainedInText, StoreValue(Options.Name)},
                 {"--set", Value, "Key=Value", ExplainedInText,
                  [&Options](const std::string& Setting) { return ParseJobSetting(Setting, Options.Settings); }},
             }}};
}

std::optional<std::string> ParseCreateOptions(const std::vector<std::string>& Args, TCreateOptions& Options) {
    const auto problem = ParseOptions(Args, CreateOptionGroups(Options), [&Options](const std::string& Word) -> std::optional<std::string> {
        // Many programs read a lone "-" as standard output, so it names no job file here.
        if (Word == "-") return "unknown option -";
        if (!Options.FileName.empty()) return "unexpected argument '" + Word + "'";
        Options.FileName = Word;
        return std::nullopt;
    });
    if (problem) return problem;
    if (Options.FileName.empty()) return "job create needs a job FILE";
    if (Options.Url.empty()) return "job create needs --url";
    if (Options.Destination.empty()) return "job create needs --dest";
    return std::nullopt;
}

int CreateJob(const std::vector<std::string>& Args) {
    TCreateOptions options;
    if (const auto problem = ParseCreateOptions(Args, options)) return UsageError(*problem);
    jobs::TCopyJob job;
    job.Reset();
    if (!web::SetStartingURL(job, options.Url))
        return UsageError("'" + options.Url + "' is not a usable web address");
    job.SetDestinationFolder(AbsoluteFolder(options.Destination));
    if (options.Name) job.JobName = *options.Name;
    if (const auto problem = ApplyJobSettings(options.Settings, job)) return UsageError(*problem);
    if (!job.SaveToFile(options.FileName)) return UsageError("Unable to write job file " + options.FileName);
    return ExitOk;
}

int ShowJob(const std::vector<std::string>& Args) {
    if (Args.size() != 1 || Args[0].empty() || Args[0][0] == '-')
        return UsageError("job show needs exactly one job FILE");
    jobs::TCopyJob job;
    if (!job.LoadFromFile(Args[0])) return UsageError("Unable to read job file " + Args[0]);
    web::NormalizeStartingURL(job);
    job.ForEachFileValue([&job](std::string_view, std::string_view Key, std::string_view Value) {
        std::string line = std::string(Key) + "=" + std::string(Value);
        if (Key == "SU") line = "User=" + job.StartingUserName;
        if (Key == "SP") line = job.StartingPassword.empty() ? "Password=" : "Password=***";
        std::printf("%s\n", EscapedText(line).c_str());
        return true;
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
