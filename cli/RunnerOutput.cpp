#include "cli/RunnerOutput.h"

#include "messaging/SpiderOutputMsgTypes.h"
#include "queue/DownloadResultText.h"
#include "queue/JobQueueTypes.h"
#include "web/StartingURL.h"

#include <cinttypes>
#include <cstdio>
#include <sys/stat.h>

namespace cli {

namespace {

using namespace messaging;
using Clock = std::chrono::steady_clock;

constexpr auto RedrawPeriod = std::chrono::milliseconds(100);  // at most ten redraws a second
constexpr auto IdleTick = std::chrono::milliseconds(1000);     // the elapsed time still moves on

std::string Format(const char* Pattern, auto... Values) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, Pattern, Values...);
    return buffer;
}

std::string Address(const web::TURL& Url) { return Url.IsValid() ? Url.GetPlainURL() : Url.GetUnusableText(); }

std::int64_t FileSize(const std::string& Path) {
    struct stat info {};
    return ::stat(Path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
}

std::int32_t StatusOfOutcome(std::uint8_t Outcome) {
    switch (Outcome) {
    case joCompleted: return queue::jsComplete;
    case joStopped: return queue::jsStopped;
    case joAborted: return queue::jsAborted;
    default: return queue::jsError;
    }
}

std::string Duration(double Seconds) {
    const auto whole = static_cast<long>(Seconds);
    return Format("%02ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
}

} // namespace

TRunnerOutput::TRunnerOutput(TOutputMode Mode, TTerminal& Terminal, bool FriendlyResults)
    : Mode(Mode), Terminal(Terminal), FriendlyResults(FriendlyResults),
      ShowStatusLine(Mode == TOutputMode::Normal && Terminal.StatusLineShown()) {}

void TRunnerOutput::OnSpiderOutput(const TSpiderOutputMsg& Msg) {
    switch (Msg.Kind) {
    case somJobStarted: OnJobStarted(Msg); break;
    case somJobEnded: OnJobEnded(Msg); break;
    case somDownloadStarted:
        ++Job.Running;
        OnStep(Msg);
        break;
    case somDownloadEnded: OnDownloadEnded(Msg); break;
    default: OnStep(Msg); break;
    }
    StatusDirty = true;
}

void TRunnerOutput::OnJobStarted(const TSpiderOutputMsg& Msg) {
    Job = {};
    JobRunning = true;
    JobStart = Clock::now();
    if (Mode != TOutputMode::Quiet)
        Terminal.PrintLine(Format("Job %d: %s -> %s", Msg.JobNumber, Address(web::GetStartingURL(Msg.Job)).c_str(),
                                  Msg.Job.GetDestinationPath().c_str()));
}

void TRunnerOutput::OnDownloadEnded(const TSpiderOutputMsg& Msg) {
    const auto& download = Msg.FileDownload;
    const auto& results = download.Results;
    if (Job.Running > 0) --Job.Running;
    const auto icon = queue::DownloadResultIcon(download);
    if (results.Outcome == doStopped || results.Outcome == doAborted) ++Job.Cancelled;
    else if (icon == queue::TDownloadResultIcon::Filtered) {
        ++Job.Filtered;
        ++Job.FilteredByReason[results.FilterReason];
    } else if (icon != queue::TDownloadResultIcon::Success) ++Job.Failed;
    else if (results.StatusCode == 304) ++Job.Unchanged;
    else if (results.RedirectTarget.IsValid()) ++Job.Redirects;
    else {
        ++Job.Saved;
        // Only what the download did not save itself is looked up on disk.
        Job.Bytes += results.SavedBytes >= 0 ? results.SavedBytes : FileSize(download.LocalFile);
    }
    if (Mode == TOutputMode::Quiet) return;
    Terminal.PrintLine(Format("%-24s %s", queue::DownloadResultText(results, FriendlyResults).c_str(),
                              queue::FinishedDownloadLocation(download).c_str()));
}

// The steps between downloads are shown only when every step is wanted.
void TRunnerOutput::OnStep(const TSpiderOutputMsg& Msg) {
    if (Mode != TOutputMode::Verbose) return;
    std::string what;
    switch (Msg.Kind) {
    case somDownloadStarted: what = Address(Msg.FileDownload.Address); break;
    case somParseStarted:
    case somRewriteStarted: what = Msg.FileReadWrite.LocalFile; break;
    case somParseEnded: what = std::to_string(Msg.FileReadWrite.LinkCount) + " links"; break;
    case somJobPaused:
    case somJobResumed:
    case somRewriteEnded:
    case somPruneStarted:
    case somPruneEnded:
    case somFlattenStarted:
    case somFlattenEnded: break;
    case somFlattenFileMoved: what = Msg.Flattening.SourceFile + " -> " + Msg.Flattening.DestinationFile; break;
    default: return;  // progress and links found: too many to list
    }
    Terminal.PrintLine(std::string(SpiderOutputMsgKindName(Msg.Kind)) + (what.empty() ? "" : ": " + what));
}

void TRunnerOutput::OnJobEnded(const TSpiderOutputMsg& Msg) {
    JobRunning = false;
    Job.Running = 0;
    Terminal.ClearStatus();
    PrintSummary(Msg);
    if (!Msg.JobErrorText.empty()) Terminal.PrintError(Msg.JobErrorText);
}

void TRunnerOutput::PrintSummary(const TSpiderOutputMsg& Msg) {
    const double seconds = ElapsedSeconds();
    Terminal.PrintLine(Format("Job %d %s: %s", Msg.JobNumber, queue::JobStatusText(StatusOfOutcome(Msg.Status)).c_str(),
                              Address(web::GetStartingURL(Msg.Job)).c_str()));
    Terminal.PrintLine(Format("  Files saved: %d", Job.Saved));
    if (Job.Unchanged > 0) Terminal.PrintLine(Format("  Files unchanged: %d", Job.Unchanged));
    if (Job.Redirects > 0) Terminal.PrintLine(Format("  Redirects: %d", Job.Redirects));
    Terminal.PrintLine(Format("  Bytes: %" PRId64 " (%s)", Job.Bytes, queue::SizeText(Job.Bytes).c_str()));
    Terminal.PrintLine(Format("  Filtered: %d", Job.Filtered));
    for (const auto& [reason, count] : Job.FilteredByReason)
        Terminal.PrintLine(Format("    %s: %d", queue::FilterReasonText(reason).c_str(), count));
    Terminal.PrintLine(Format("  Failures: %d", Job.Failed));
    if (Job.Cancelled > 0) Terminal.PrintLine(Format("  Cancelled: %d", Job.Cancelled));
    Terminal.PrintLine(Format("  Time: %.1f s", seconds));
    if (Msg.Status == joFailed) PrintFailure(Msg);
    else Terminal.PrintLine("  Start page: " + Msg.StartPageFile);
}

// A failed job has no start page; what failed goes to standard error.
void TRunnerOutput::PrintFailure(const TSpiderOutputMsg& Msg) {
    const auto& start = Msg.FileDownload;
    const std::string reason = start.Results.Outcome != 0
                                   ? Address(start.Address) + ": " + queue::DownloadResultText(start.Results, FriendlyResults)
                                   : "the copy engine gave up (see the event log)";
    Terminal.PrintError("job " + std::to_string(Msg.JobNumber) + " failed: " + reason);
}

double TRunnerOutput::ElapsedSeconds() const {
    return std::chrono::duration<double>(Clock::now() - JobStart).count();
}

std::string TRunnerOutput::StatusLine() const {
    const double seconds = ElapsedSeconds();
    const auto rate = seconds > 0 ? static_cast<std::int64_t>(static_cast<double>(Job.Bytes) / seconds) : 0;
    return Format("%d done, %d failed, %d filtered, %s, %s/s, %d running, %s", Job.Saved + Job.Unchanged,
                  Job.Failed, Job.Filtered, queue::SizeText(Job.Bytes).c_str(), queue::SizeText(rate).c_str(),
                  Job.Running, Duration(seconds).c_str());
}

std::chrono::milliseconds TRunnerOutput::Tick() {
    if (!ShowStatusLine || !JobRunning) return IdleTick;
    const auto now = Clock::now();
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(now - LastDraw);
    if (since < RedrawPeriod) return RedrawPeriod - since;
    if (StatusDirty || since >= IdleTick) {
        Terminal.DrawStatus(StatusLine());
        LastDraw = now;
        StatusDirty = false;
        return RedrawPeriod;
    }
    return IdleTick - since;
}

} // namespace cli
