#include "cli/RunnerArgs.h"

#include "cli/Runner.h"

#include <charconv>

namespace cli {

const char* const RunnerOptionsUsage =
    "\n"
    "Output (standard output; problems go to standard error):\n"
    "  --quiet                only the summary of each job\n"
    "  --verbose              a plain line for every step\n"
    "  --eventlog             write the event log HarvexisEventLog.csv in the data folder\n"
    "On a terminal a status line shows files done, failed, filtered, bytes, rate,\n"
    "running downloads and time; otherwise one plain line per finished file.\n"
    "\n"
    "Ctrl+C stops the job (pages saved so far are still rewritten); a second Ctrl+C\n"
    "or SIGTERM aborts it. Exit status: 0 all jobs completed; 2 usage error or job\n"
    "refused; else the last job that did not complete: 3 stopped, 4 aborted, 5 failed.\n";

bool ParseRunnerOption(const std::string& Arg, TRunnerOptions& Options) {
    if (Arg == "--quiet") Options.Mode = TOutputMode::Quiet;
    else if (Arg == "--verbose") Options.Mode = TOutputMode::Verbose;
    else if (Arg == "--eventlog") Options.EventLog = true;
    else return false;
    return true;
}

bool ParseRunnerNetworkOption(const std::vector<std::string>& Args, std::size_t& Index,
                              TRunnerOptions& Options, std::string& Problem) {
    std::size_t next = Index;
    switch (ParseNetworkOption(Args, next, Options.Network, Problem)) {
    case TNetworkOptionParse::NotMine:
        return false;
    case TNetworkOptionParse::Taken:
        Index = next - 1;  // the caller's loop steps past the last word taken
        return true;
    case TNetworkOptionParse::Invalid:
        return true;
    }
    return false;
}

std::optional<std::string> CompleteRunnerOptions(TRunnerOptions& Options) {
    if (Options.Network.Start.ProxyUser && !ReadProxyPassword(Options.Network))
        return "--proxy-user needs the proxy password on the terminal or on standard input";
    return std::nullopt;
}

std::optional<std::int64_t> ParseWholeNumber(const std::string& Text) {
    std::int64_t value = 0;
    const char* end = Text.data() + Text.size();
    const auto [stop, error] = std::from_chars(Text.data(), end, value);
    if (Text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

} // namespace cli
