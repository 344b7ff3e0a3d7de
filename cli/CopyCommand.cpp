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
    "defaults of a new job, and rewrites the links of the saved pages.\n";

struct TCopyRequest {
    std::vector<std::string> Positional;  // URL and DEST
    std::string SaveJobFile;
    std::vector<std::function<void(jobs::TCopyJob&)>> Edits;  // in the order given
    TJobSettings Settings;
    TRunnerOptions Runner;
};

using J = jobs::TCopyJob;

// An option that changes the job in a way its value does not choose.
TOptionAction Edit(TCopyRequest& Request, void (*Change)(J&)) {
    return [&Request, Change](const std::string&) {
        Request.Edits.push_back(Change);
        return std::nullopt;
    };
}

// An option that sets one text field of the job to its value.
TOptionAction EditText(TCopyRequest& Request, void (*Change)(J&, const std::string&)) {
    return [&Request, Change](const std::string& Value) {
        Request.Edits.push_back([Change, Value](J& Job) { Change(Job, Value); });
        return std::nullopt;
    };
}

// An option that sets one numeric field of the job to a whole number from Min up.
TOptionAction EditNumber(TCopyRequest& Request, std::int64_t Min, std::int32_t J::*Field) {
    return [&Request, Min, Field](const std::string& Value) -> std::optional<std::string> {
        const auto number = ParseWholeNumber(Value);
        if (!number || *number < Min || *number > std::numeric_limits<std::int32_t>::max())
            return "needs a whole number from " + std::to_string(Min) + ", not '" + Value + "'";
        Request.Edits.push_back([Field, whole = static_cast<std::int32_t>(*number)](J& Job) { Job.*Field = whole; });
        return std::nullopt;
    };
}

const std::map<std::string, std::int32_t>& LocationRules() {
    static const std::map<std::string, std::int32_t> rules = {
        {"folder", jobs::lrWithinFolder}, {"server", jobs::lrAtServer}, {"anywhere", jobs::lrAnywhere}};
    return rules;
}

std::string LocationName(std::int32_t Rule) {
    for (const auto& [name, rule] : LocationRules())
        if (rule == Rule) return name;
    return std::to_string(Rule);
}

TOptionAction EditLocation(TCopyRequest& Request) {
    return [&Request](const std::string& Value) -> std::optional<std::string> {
        const auto found = LocationRules().find(Value);
        if (found == LocationRules().end()) return "takes folder, server or anywhere, not '" + Value + "'";
        Request.Edits.push_back([rule = found->second](J& Job) { Job.RestrictLocation = rule; });
        return std::nullopt;
    };
}

TOptionAction EditHeaders(TCopyRequest& Request) {
    return [&Request](const std::string& Value) -> std::optional<std::string> {
        const auto colon = Value.find(':');
        if (colon == std::string::npos || colon == 0 || Value.find_first_of("\r\n") != std::string::npos)
            return "needs 'Name: value' on one line, not '" + Value + "'";
        Request.Edits.push_back([Value](J& Job) { Job.DownloadOptions.HTTPHeaders += Value + "\r\n"; });
        return std::nullopt;
    };
}

// Copy's own options; the help shows the defaults of a new job.
TOptionGroup CopyOptionGroup(TCopyRequest& R) {
    constexpr auto Flag = TTakes::Nothing;
    constexpr auto Value = TTakes::Value;
    J fresh;
    fresh.Reset();
    return {"\n",
            {
                {"--name", Value, "NAME", "job name",
                 EditText(R, [](J& Job, const std::string& V) { Job.JobName = V; })},
                {"--depth", Value, "N", "link distance from the start page (-1: unlimited; default {})",
                 EditNumber(R, -1, &J::MaxDistance), std::to_string(fresh.MaxDistance)},
                {"--location", Value, "folder|server|anywhere", "where files may come from (default {})",
                 EditLocation(R), LocationName(fresh.RestrictLocation)},
                {"--all-types", Flag, "", "the location rule applies to every file, not pages only",
                 Edit(R, [](J& Job) { Job.RestrictLocationOfWebPagesOnly = false; })},
                {"--flat", Flag, "", "move every file into DEST itself after the copy",
                 Edit(R, [](J& Job) { Job.FlattenDestinationFolders = true; })},
                {"--no-rewrite", Flag, "", "keep the links of saved pages as they are",
                 Edit(R, [](J& Job) { Job.RewriteLinks = false; })},
                {"--update", Flag, "", "request files already in DEST again (conditionally)",
                 Edit(R, [](J& Job) { Job.DownloadOptions.UpdateOldFiles = true; })},
                {"--https", Flag, "", "also copy HTTPS, FTP addresses; --no-http: no HTTP",
                 Edit(R, [](J& Job) { Job.DownloadHTTPS = true; })},
                {"--ftp", Flag, "", NamedAbove, Edit(R, [](J& Job) { Job.DownloadFTP = true; })},
                {"--no-http", Flag, "", ExplainedInText, Edit(R, [](J& Job) { Job.DownloadHTTP = false; })},
                {"--header", Value, "'Name: value'", "extra request header (repeatable)", EditHeaders(R)},
                {"--agent", Value, "NAME", "agent name sent to servers",
                 EditText(R, [](J& Job, const std::string& V) { Job.DownloadOptions.HTTPAgentName = V; })},
                {"--referrer", Value, "URL", "referrer sent with the start page's request",
                 EditText(R, [](J& Job, const std::string& V) { Job.StartingReferrer = V; })},
                {"--pause", Value, "SECONDS", "pause between downloads",
                 EditNumber(R, 0, &J::PauseBetweenDownloads)},
                {"--time-limit", Value, "SECONDS", "stop downloading after this time",
                 EditNumber(R, 1, &J::MaxSecondsForAllDownloads)},
                {"--max-files", Value, "N", "download at most N files", EditNumber(R, 0, &J::MaxFileCount)},
                {"--save-queries", Flag, "", "also save addresses with a query",
                 Edit(R, [](J& Job) { Job.SaveQueryResults = true; })},
                {"--honor-noindex", Flag, "", "obey robots META tags",
                 Edit(R, [](J& Job) { Job.HonorRobotNoIndexTags = true; })},
                {"--honor-nofollow", Flag, "", NamedAbove, Edit(R, [](J& Job) { Job.HonorRobotNoFollowTags = true; })},
                {"--keep-originals", Flag, "", "keep each page as downloaded beside its rewritten copy",
                 Edit(R, [](J& Job) { Job.KeepRewriteInputFiles = true; })},
                {"--mark", Flag, "", "mark rewritten pages with the address they came from",
                 Edit(R, [](J& Job) { Job.AddMarkOfWebOnRewrite = true; })},
                {"--set", Value, "Key=Value", "any key of a job file (see job --help)",
                 [&R](const std::string& V) { return ParseJobSetting(V, R.Settings); }},
                {"--save-job", Value, "FILE", "also write the job file", StoreValue(R.SaveJobFile)},
            }};
}

// Copy's options, then those it shares with run.
std::vector<TOptionGroup> CopyOptionGroups(TCopyRequest& Request) {
    auto groups = RunnerOptionGroups(Request.Runner);
    groups.insert(groups.begin(), CopyOptionGroup(Request));
    return groups;
}

std::optional<std::string> ParseCopyArgs(const std::vector<std::string>& Args, TCopyRequest& Request) {
    const auto problem = ParseOptions(Args, CopyOptionGroups(Request), [&Request](const std::string& Word) {
        Request.Positional.push_back(Word);
        return std::nullopt;
    });
    if (problem) return problem;
    if (Request.Positional.size() != 2) return "copy needs a URL and a DEST folder (see copy --help)";
    return CompleteRunnerOptions(Request.Runner);
}

// The job of the request, ready to run; the problem's text when an option cannot be applied.
std::optional<std::string> BuildJob(const TCopyRequest& Request, jobs::TCopyJob& Job) {
    Job.Reset();
    web::SetStartingURL(Job, Request.Positional[0]);
    // Asking for an HTTPS site is asking for HTTPS; an option may still say otherwise.
    if (web::GetStartingURL(Job).GetScheme() == web::SchemeHTTPS) Job.DownloadHTTPS = true;
    Job.SetDestinationFolder(AbsoluteFolder(Request.Positional[1]));
    for (const auto& edit : Request.Edits) edit(Job);
    if (auto problem = ApplyJobSettings(Request.Settings, Job)) return problem;
    if (auto problem = RefuseEmptyDestination(Job, "copy")) return problem;
    Job.PrepareForRun();
    return std::nullopt;
}

} // namespace

int RunCopyCommand(const std::vector<std::string>& Args) {
    if (WantsHelp(Args)) {
        TCopyRequest fresh;
        std::fputs((CopyUsage + OptionsHelp(CopyOptionGroups(fresh))).c_str(), stdout);
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
