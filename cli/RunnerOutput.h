#pragma once

#include "cli/Terminal.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

namespace messaging {
class TSpiderOutputMsg;
}

namespace cli {

// How much the runner prints.
enum class TOutputMode {
    Normal,   // a live status line on a terminal, one line per finished file
    Quiet,    // the summary of each job only
    Verbose,  // plain lines for every step of the job
};

// The figures of the running job, taken from its reports.
struct TJobCounters {
    int Saved = 0;      // files written by this run
    int Unchanged = 0;  // refreshed copies the server reported unchanged
    int Redirects = 0;  // addresses answered with another address: nothing written
    int Failed = 0;
    int Cancelled = 0;
    int Filtered = 0;
    int Running = 0;  // downloads started and not yet ended
    std::int64_t Bytes = 0;
    std::map<std::uint8_t, int> FilteredByReason;  // filter code -> count
};

// Everything the runner prints about jobs: per-file lines, the status line
// and each job's summary on standard output. Fed with the engine's reports on
// the runner's thread.
class TRunnerOutput {
public:
    TRunnerOutput(TOutputMode Mode, TTerminal& Terminal, bool FriendlyResults);

    void OnSpiderOutput(const messaging::TSpiderOutputMsg& Msg);
    // Redraws the status line when it is shown, at most ten times a second;
    // the time until the next redraw is due.
    std::chrono::milliseconds Tick();
    const TJobCounters& Counters() const { return Job; }

private:
    void OnJobStarted(const messaging::TSpiderOutputMsg& Msg);
    void OnDownloadEnded(const messaging::TSpiderOutputMsg& Msg);
    void OnJobEnded(const messaging::TSpiderOutputMsg& Msg);
    void OnStep(const messaging::TSpiderOutputMsg& Msg);
    void PrintSummary(const messaging::TSpiderOutputMsg& Msg);
    void PrintFailure(const messaging::TSpiderOutputMsg& Msg);
    std::string StatusLine() const;
    double ElapsedSeconds() const;

    TOutputMode Mode;
    TTerminal& Terminal;
    bool FriendlyResults;
    bool ShowStatusLine;
    bool JobRunning = false;
    TJobCounters Job;
    std::chrono::steady_clock::time_point JobStart{};
    std::chrono::steady_clock::time_point LastDraw{};
    bool StatusDirty = false;
};

} // namespace cli
