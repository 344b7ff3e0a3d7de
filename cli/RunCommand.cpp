#include "cli/RunCommand.h"

#include "cli/CliSupport.h"
#include "cli/NetworkOptions.h"
#include "cli/Runner.h"
#include "cli/RunnerArgs.h"

#include <cstdio>

namespace cli {

namespace {

constexpr const char* RunUsage =
    "Usage: harvexis-cli run JOBFILE... [--quiet | --verbose] [--eventlog]\n"
    "\n"
    "Queues the job files and runs them one after another. A job file that cannot\n"
    "be read, or whose job is refused, is reported and the others still run.\n";

} // namespace

int RunRunCommand(const std::vector<std::string>& Args) {
    if (WantsHelp(Args)) {
        std::fputs(RunUsage, stdout);
        std::fputs(RunnerOptionsUsage, stdout);
        std::fputs(NetworkOptionsUsage, stdout);
        return ExitOk;
    }
    TRunnerOptions options;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const std::string& arg = Args[i];
        if (ParseRunnerOption(arg, options)) continue;
        if (std::string problem; ParseRunnerNetworkOption(Args, i, options, problem)) {
            if (!problem.empty()) return UsageError(problem);
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') return UsageError("unknown option " + arg);
        files.push_back(arg);
    }
    if (files.empty()) return UsageError("run needs at least one JOBFILE (see run --help)");
    if (const auto problem = CompleteRunnerOptions(options)) return UsageError(*problem);
    options.QueueShown = true;
    TRunner runner(options);
    for (const auto& file : files)
        if (!runner.Queue().AddJobFile(file)) runner.NoteRefusedJob();
    return runner.Run();
}

} // namespace cli
