#include "cli/CopyCommand.h"

#include "cli/CliSupport.h"
#include "cli/JobSettings.h"
#include "cli/Runner.h"
#include "cli/RunnerArgs.h"
#include "jobs/JobTypes.h"
#include "web/StartingURL.h"

#include <cstdio>
#include <functional>
#include <limits>
#include <map>

namespace cli {

namespace {

constexpr const char* CopyUsage =
    "Usage: harvexis-cli copy URL DEST [options]\n"
    "\n"
    "Copies the site at URL into the folder DEST (created when missing) with the\n"
    "defaults of a new job, and rewrites the links of the saved pages.\n"
    "\n"
    "  --name NAME            job name\n"
    "  --depth N              link distance from the start page (-1: unlimited; default 8)\n"
    "  --location folder|server|anywhere\n"
    "                         where files may come from (default folder)\n"
    "  --all-types            the location rule applies to every file, not pages only\n"
    "  --flat                 move every file into DEST itself after the copy\n"
    "  --no-rewrite           keep the links of saved pages as they are\n"
    "  --update               request files already in DEST again (conditionally)\n"
    "  --https, --ftp         also copy HTTPS, FTP addresses; --no-http: no HTTP\n"
    "  --header 'Name: value' extra request header (repeatable)\n"
    "  --agent NAME           agent name sent to servers\n"
    "  --referrer URL         referrer sent with the start page's request\n"
    "  --pause SECONDS        pause between downloads\n"
    "  --time-limit SECONDS   stop downloading after this time\n"
    "  --max-files N          download at most N files\n"
    "  --save-queries         also save addresses with a query\n"
    "  --honor-noindex, --honor-nofollow\n"
    "                         obey robots META tags\n"
    "  --keep-originals       keep each page as downloaded beside its rewritten copy\n"
    "  --mark                 mark rewritten pages with the address they came from\n"
    "  --set Key=Value        any key of a job file (see job --help)\n"
    "  --save-job FILE        also write the job file\n";

struct TCopyRequest {
    std::string Url, Destination, SaveJobFile;
    std::vector<std::function<void(jobs::TCopyJob&)>> Edits;  // in the order given
    TJobSettings Settings;
    TRunnerOptions Runner;
};

using TFlagEdit = void (*)(jobs::TCopyJob&);

const std::map<std::string, TFlagEdit>& FlagOptions() {
    static const std::map<std::string, TFlagEdit> flags = {
        {"--all-types", [](jobs::TCopyJob& Job) { Job.RestrictLocationOfWebPagesOnly = false; }},
        {"--flat", [](jobs::TCopyJob& Job) { Job.FlattenDestinationFolders = true; }},
        {"--no-rewrite", [](jobs::TCopyJob& Job) { Job.RewriteLinks = false; }},
        {"--update", [](jobs::TCopyJob& Job) { Job.DownloadOptions.UpdateOldFiles = true; }},
        {"--https", [](jobs::TCopyJob& Job) { Job.DownloadHTTPS = true; }},
        {"--ftp", [](jobs::TCopyJob& Job) { Job.DownloadFTP = true; }},
        {"--no-http", [](jobs::TCopyJob& Job) { Job.DownloadHTTP = false; }},
        {"--save-queries", [](jobs::TCopyJob& Job) { Job.SaveQueryResults = true; }},
        {"--honor-noindex", [](jobs::TCopyJob& Job) { Job.HonorRobotNoIndexTags = true; }},
        {"--honor-nofollow", [](jobs::TCopyJob& Job) { Job.HonorRobotNoFollowTags = true; }},
        {"--keep-originals", [](jobs::TCopyJob& Job) { Job.KeepRewriteInputFiles = true; }},
        {"--mark", [](jobs::TCopyJob& Job) { Job.AddMarkOfWebOnRewrite = true; }},
    };
    return flags;
}

// A whole number from Min up; the problem's text otherwise.
std::optional<std::string> Number(const std::string& Option, const std::string& Text, std::int64_t Min,
                                  std::int32_t& Value) {
    const auto number = ParseWholeNumber(Text);
    if (!number || *number < Min || *number > std::numeric_limits<std::int32_t>::max())
        return Option + " needs a whole number from " + std::to_string(Min) + ", not '" + Text + "'";
    Value = static_cast<std::int32_t>(*number);
    return std::nullopt;
}

std::optional<std::string> LocationOption(const std::string& Value, TCopyRequest& Request) {
    const std::map<std::string, std::int32_t> locations = {
        {"folder", jobs::lrWithinFolder}, {"server", jobs::lrAtServer}, {"anywhere", jobs::lrAnywhere}};
    const auto found = locations.find(Value);
    if (found == locations.end()) return "--location takes folder, server or anywhere, not '" + Value + "'";
    Request.Edits.push_back([rule = found->second](jobs::TCopyJob& Job) { Job.RestrictLocation = rule; });
    return std::nullopt;
}

std::optional<std::string> HeaderOption(const std::string& Value, TCopyRequest& Request) {
    const auto colon = Value.find(':');
    if (colon == std::string::npos || colon == 0 || Value.find_first_of("\r\n") != std::string::npos)
        return "--header needs 'Name: value' on one line, not '" + Value + "'";
    Request.Edits.push_back([Value](jobs::TCopyJob& Job) { Job.DownloadOptions.HTTPHeaders += Value + "\r\n"; });
    return std::nullopt;
}

// A numeric option that sets one field of the job.
std::optional<std::string> NumberOption(const std::string& Option, const std::string& Value, std::int64_t Min,
                                        std::int32_t jobs::TCopyJob::*Field, TCopyRequest& Request) {
    std::int32_t number = 0;
    if (auto problem = Number(Option, Value, Min, number)) return problem;
    Request.Edits.push_back([Field, number](jobs::TCopyJob& Job) { Job.*Field = number; });
    return std::nullopt;
}

std::optional<std::string> ValueOption(const std::string& Option, const std::string& Value, TCopyRequest& Request) {
    using J = jobs::TCopyJob;
    if (Option == "--name") Request.Edits.push_back([Value](J& Job) { Job.JobName = Value; });
    else if (Option == "--agent") Request.Edits.push_back([Value](J& Job) { Job.DownloadOptions.HTTPAgentName = Value; });
    else if (Option == "--referrer") Request.Edits.push_back([Value](J& Job) { Job.StartingReferrer = Value; });
    else if (Option == "--depth") return NumberOption(Option, Value, -1, &J::MaxDistance, Request);
    else if (Option == "--pause") return NumberOption(Option, Value, 0, &J::PauseBetweenDownloads, Request);
    else if (Option == "--time-limit") return NumberOption(Option, Value, 1, &J::MaxSecondsForAllDownloads, Request);
    else if (Option == "--max-files") return NumberOption(Option, Value, 0, &J::MaxFileCount, Request);
    else if (Option == "--location") return LocationOption(Value, Request);
    else if (Option == "--header") return HeaderOption(Value, Request);
    else if (Option == "--set") return ParseJobSetting(Value, Request.Settings);
    else if (Option == "--save-job") Request.SaveJobFile = Value;
    else return "unknown option " + Option;
    return std::nullopt;
}

bool TakesValue(const std::string& Option) {
    static const char* const withValue[] = {"--name", "--agent", "--referrer", "--depth", "--pause", "--time-limit",
                                            "--max-files", "--location", "--header", "--set", "--save-job"};
    for (const char* name : withValue)
        if (Option == name) return true;
    return false;
}

std::optional<std::string> ParseCopyArgs(const std::vector<std::string>& Args, TCopyRequest& Request) {
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const std::string& arg = Args[i];
        if (const auto flag = FlagOptions().find(arg); flag != FlagOptions().end()) {
            Request.Edits.push_back(flag->second);
        } else if (TakesValue(arg)) {
            if (i + 1 >= Args.size()) return "option " + arg + " needs a value";
            if (auto problem = ValueOption(arg, Args[++i], Request)) return problem;
        } else if (ParseRunnerOption(arg, Request.Runner)) {
            continue;
        } else if (std::string problem; ParseRunnerNetworkOption(Args, i, Request.Runner, problem)) {
            if (!problem.empty()) return problem;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) return "copy needs a URL and a DEST folder (see copy --help)";
    Request.Url = positional[0];
    Request.Destination = positional[1];
    return CompleteRunnerOptions(Request.Runner);
}

// The job of the request, ready to run; the problem's text when an option cannot be applied.
std::optional<std::string> BuildJob(const TCopyRequest& Request, jobs::TCopyJob& Job) {
    Job.Reset();
    web::SetStartingURL(Job, Request.Url);
    Job.SetDestinationFolder(AbsoluteFolder(Request.Destination));
    for (const auto& edit : Request.Edits) edit(Job);
    if (auto problem = ApplyJobSettings(Request.Settings, Job)) return problem;
    Job.PrepareForRun();
    return std::nullopt;
}

} // namespace

int RunCopyCommand(const std::vector<std::string>& Args) {
    if (WantsHelp(Args)) {
        std::fputs(CopyUsage, stdout);
        std::fputs(RunnerOptionsUsage, stdout);
        std::fputs(NetworkOptionsUsage, stdout);
        return ExitOk;
    }
    TCopyRequest request;
    if (auto problem = ParseCopyArgs(Args, request)) return UsageError(*problem);
    jobs::TCopyJob job;
    if (auto problem = BuildJob(request, job)) return UsageError(*problem);
    if (!request.SaveJobFile.empty() && !job.SaveToFile(request.SaveJobFile))
        return UsageError("Unable to write job file " + request.SaveJobFile);
    TRunner runner(request.Runner);
    if (runner.Queue().AddCopyJob(job) != queue::ajAdded) runner.NoteRefusedJob();
    return runner.Run();
}

} // namespace cli
