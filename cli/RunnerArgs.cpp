#include "cli/RunnerArgs.h"

#include "cli/Runner.h"
#include "jobs/SavedOptions.h"

namespace cli {

namespace {

TOptionGroup OutputOptionGroup(TRunnerOptions& Options) {
    constexpr auto Flag = TTakes::Nothing;
    return {"\n"
            "Output (standard output; problems go to standard error):\n",
            {
                {"--quiet", Flag, "", "only the summary of each job", SetTo(Options.Mode, TOutputMode::Quiet)},
                {"--verbose", Flag, "", "a plain line for every step", SetTo(Options.Mode, TOutputMode::Verbose)},
                {"--eventlog", Flag, "", "write the event log HarvexisEventLog.csv in the data folder",
                 SetTo(Options.EventLog, true)},
            },
            "On a terminal a status line shows files done, failed, filtered, bytes, rate,\n"
            "running downloads and time; otherwise one plain line per finished file.\n"
            "\n"
            "Ctrl+C stops the job (pages saved so far are still rewritten); a second Ctrl+C\n"
            "or SIGTERM aborts it. Exit status: 0 all jobs completed; 2 usage error or job\n"
            "refused; else the last job that did not complete: 3 stopped, 4 aborted, 5 failed.\n"};
}

} // namespace

std::vector<TOptionGroup> RunnerOptionGroups(TRunnerOptions& Options) {
    return {OutputOptionGroup(Options), NetworkOptionGroup(Options.Network)};
}

std::optional<std::string> CompleteRunnerOptions(TRunnerOptions& Options) {
    jobs::TSavedOptions settings;
    settings.Initialize(jobs::GetDataFolder());
    if (auto problem = UnusableProxySettings(Options.Network, settings)) return problem;
    if (Options.Network.Start.ProxyUser && !ReadProxyPassword(Options.Network))
        return "--proxy-user needs the proxy password on the terminal or on standard input";
    return std::nullopt;
}

} // namespace cli
