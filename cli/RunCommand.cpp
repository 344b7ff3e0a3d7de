#include "cli/RunCommand.h"

#include "cli/CliSupport.h"
#include "cli/JobSettings.h"
#include "cli/Runner.h"
#include "cli/RunnerArgs.h"
#include "jobs/JobTypes.h"

#include <cstdio>

namespace cli {

namespace {

constexpr const char* RunUsage =
    "Usage: harvexis-cli run JOBFILE... [--quiet | --verbose] [--eventlog]\n"
    "\n"
    "Queues the job files and runs them one after another. A job file that cannot\n"
    "be read, or whose job is refused, is reported and the others still run.\n";

// Checked for every file before the first job starts. A file that cannot be
// read is left to the queue, which reports it and runs the others.
std::optional<std::string> RefuseEmptyDestinations(const std::vector<std::string>& Files) {
    for (const auto& file : Files) {
        jobs::TCopyJob job;
        if (!job.LoadFromFile(file)) continue;
        if (auto problem = RefuseEmptyDestination(job, file)) return problem;
    }
    return std::nullopt;
}

} // namespace

int RunRunCommand(const std::vector<std::string>& Args) {
    TRunnerOptions options;
    const auto groups = RunnerOptionGroups(options);
    if (WantsHelp(Args)) {
        std::fputs((RunUsage + OptionsHelp(groups)).c_str(), stdout);
        return ExitOk;
    }
    std::vector<std::string> files;
    const auto problem = ParseOptions(Args, groups, [&files](const std::string& File) {
        files.push_back(File);
        return std::nullopt;
    });
    if (problem) return UsageError(*problem);
    if (files.empty()) return UsageError("run needs at least one JOBFILE (see run --help)");
    if (const auto incomplete = CompleteRunnerOptions(options)) return UsageError(*incomplete);
    if (const auto empty = RefuseEmptyDestinations(files)) return UsageError(*empty);
    options.QueueShown = true;
    TRunner runner(options);
    for (const auto& file : files)
        if (!runner.Queue().AddJobFile(file)) runner.NoteRefusedJob();
    return runner.Run();
}

} // namespace cli
