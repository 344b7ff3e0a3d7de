#include "cli/Runner.h"

#include "cli/CliSupport.h"
#include "engine/CopyEngine.h"
#include "jobs/AppInfo.h"
#include "base/AppTraceLog.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputSplitter.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdint>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace cli {

namespace {

using namespace messaging;

sigset_t RunnerSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

// Signals are taken from a descriptor by the loop: nothing runs inside a
// signal handler. Threads started later inherit the blocked mask.
int OpenSignalDescriptor() {
    // A closed output pipe (| head) must not kill a running job mid-write:
    // the copy goes on and printing fails quietly.
    ::signal(SIGPIPE, SIG_IGN);
    const sigset_t set = RunnerSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    return ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

// What the runner prints or counts in each mode: progress, links found and
// folders examined are too many to show. A kind that no one takes is not
// posted at all, so the quieter modes leave out the steps they never print
// (the status line counts the downloads under way; the summary only ends).
TSpiderOutputKindSet RunnerReportKinds(TOutputMode Mode) {
    constexpr TSpiderOutputKindSet ends = SpiderOutputKinds({somJobStarted, somJobEnded, somDownloadEnded});
    if (Mode == TOutputMode::Quiet) return ends;
    if (Mode == TOutputMode::Normal) return ends | SpiderOutputKinds({somDownloadStarted});
    return SpiderOutputKindRange(somJobStarted, somDownloadStarted) |
           SpiderOutputKinds({somDownloadEnded, somParseStarted, somParseEnded, somRewriteStarted, somRewriteEnded,
                              somPruneStarted, somPruneEnded, somFlattenStarted, somFlattenFileMoved, somFlattenEnded});
}

// Exit statuses for jobs that did not complete: the job's outcome.
int ExitStatusOfOutcome(std::uint8_t Outcome) {
    return Outcome == joStopped ? 3 : Outcome == joAborted ? 4 : 5;
}

// The settings are read from the data folder of this run; the trace log
// and the proxy records use the same folder.
bool InitializeSettings(jobs::TSavedOptions& Settings) {
    Settings.Initialize(jobs::GetDataFolder());
    return Settings.Read(jobs::Settings::ShowFriendlyDownloadResults);
}

std::string OneLine(std::string Text) {
    for (auto at = Text.find("\r\n"); at != std::string::npos; at = Text.find("\r\n", at)) Text.replace(at, 2, " ");
    return Text;
}

} // namespace

TRunner::TRunner(const TRunnerOptions& Options)
    : Options(Options), Terminal(Options.Mode == TOutputMode::Normal),
      Printer(Options.Mode, Terminal, InitializeSettings(Settings)), SignalFd(OpenSignalDescriptor()),
      EventFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (Options.EventLog) {
        base::TraceLog.Start({"/eventlog"}, jobs::GetDataFolder());
        jobs::AppInfo.LogStartupInfo();
    }
    // Stored site passwords are used by the downloads as in the desktop program.
    jobs::LoadPasswords(Passwords, jobs::PasswordFileName(jobs::GetDataFolder()));
    engine::TDownloadThreadServices downloads;
    downloads.ClientSettings = NetworkClientSettings(Options.Network, Settings);
    Engine = std::make_unique<engine::TCopyEngine>(Settings, Passwords, std::move(downloads));
    JobQueue = std::make_unique<queue::TJobQueue>(Engine->Input(), Settings, *this);
    JobQueue->SetQueueShown(Options.QueueShown);
    JobQueue->SetAutomation(this);
    JobQueue->SetStartOverrides(Options.Network.Start);
    JobQueue->InitJobQueue(Engine->Splitter());
    // After the queue's handler, so a job is Busy when the runner sees its start.
    Engine->Splitter().RegisterForSpiderOutput(RunnerReportKinds(Options.Mode),
                                               [this](const TSpiderOutputMsg& Msg, std::uint32_t) { OnReport(Msg); });
    Engine->Output().SetDestinationWindow(this);
    Engine->Resume();
}

TRunner::~TRunner() {
    Engine->Terminate();
    Engine->Output().SetDestinationWindow(nullptr);
    if (Options.EventLog) base::TraceLog.Shutdown();
    if (EventFd >= 0) ::close(EventFd);
    if (SignalFd >= 0) ::close(SignalFd);
}

bool TRunner::NotifySpiderOutput(std::uint32_t) {
    const std::uint64_t one = 1;
    return ::write(EventFd, &one, sizeof one) == sizeof one || errno == EAGAIN;
}

// The descriptor is emptied before the queue: a report posted after the queue
// was found empty writes to it again, so none is left waiting.
void TRunner::DeliverReports() {
    ReportsHeld = false;
    LastDelivery = std::chrono::steady_clock::now();
    std::uint64_t count = 0;
    while (::read(EventFd, &count, sizeof count) > 0) {}
    Engine->Splitter().DeliverQueued();
}

void TRunner::OnReport(const TSpiderOutputMsg& Msg) {
    Printer.OnSpiderOutput(Msg);
    if (Msg.Kind == somJobStarted) {
        Applied = TInterrupt::None;
        ApplyInterrupt();
    } else if (Msg.Kind == somJobEnded && Msg.Status != joCompleted) {
        ExitStatus = ExitStatusOfOutcome(Msg.Status);
    }
}

void TRunner::AfterJobStopped(bool) {
    JobQueue->ResetAfterJob(false);
    // Unlike the desktop's automation, a failed job does not hold up the others.
    if (Requested == TInterrupt::None && JobQueue->FindFirstQueuedJob() >= 0) StartNextDue = true;
}

void TRunner::NoteRefusedJob() { ExitStatus = ExitUsage; }

void TRunner::OnSignal() {
    signalfd_siginfo info{};
    while (::read(SignalFd, &info, sizeof info) == sizeof info) {
        if (info.ssi_signo == SIGTERM) Interrupt(TInterrupt::Abort);
        else if (info.ssi_signo == SIGINT) Interrupt(++SigIntCount == 1 ? TInterrupt::Stop : TInterrupt::Abort);
    }
}

void TRunner::Interrupt(TInterrupt Kind) {
    if (Kind <= Requested) return;
    Requested = Kind;
    StartNextDue = false;
    Terminal.PrintError(Kind == TInterrupt::Stop
                            ? "stopping: pages saved so far are still rewritten (Ctrl+C again aborts)"
                            : "aborting");
    // Jobs that never ran did not complete either.
    if (JobQueue->FindFirstQueuedJob() >= 0) ExitStatus = Kind == TInterrupt::Stop ? 3 : 4;
    ApplyInterrupt();
}

// A job whose start the spider has not reported yet gets its command when the
// start report arrives.
void TRunner::ApplyInterrupt() {
    const int busy = JobQueue->FindBusyJob();
    if (busy < 0 || Requested <= Applied) return;
    const bool posted = Requested == TInterrupt::Stop ? JobQueue->StopJob(busy) : JobQueue->AbortJob(busy);
    if (posted) Applied = Requested;
}

bool TRunner::Finished() const {
    if (JobQueue->CommandPending() || JobQueue->FindBusyJob() >= 0) return false;
    return Requested != TInterrupt::None || JobQueue->FindFirstQueuedJob() < 0;
}

// While reports are held the event descriptor is left out of the wait, so
// only a signal ends it before the interval is over.
void TRunner::WaitForEvents(std::chrono::milliseconds Timeout) {
    using namespace std::chrono;
    const auto holdLeft = ceil<milliseconds>(LastDelivery + ReportDeliveryInterval - steady_clock::now());
    if (ReportsHeld) Timeout = std::clamp(holdLeft, milliseconds::zero(), Timeout);
    pollfd fds[2] = {{SignalFd, POLLIN, 0}, {EventFd, POLLIN, 0}};
    const int ready = ::poll(fds, ReportsHeld ? 1 : 2, static_cast<int>(Timeout.count()));
    const bool signalled = ready > 0 && (fds[0].revents & POLLIN);
    if (signalled) OnSignal();
    if (!ReportsHeld && ready > 0 && (fds[1].revents & POLLIN)) ReportsHeld = true;
    if (!ReportsHeld) return;
    // A signal's command may wait for a job start that is still queued.
    if (signalled || steady_clock::now() >= LastDelivery + ReportDeliveryInterval) DeliverReports();
}

int TRunner::Run() {
    for (;;) {
        if (StartNextDue) {
            StartNextDue = false;
            JobQueue->StartNextQueuedJob();
        }
        if (Finished()) break;
        WaitForEvents(Printer.Tick());
    }
    Terminal.ClearStatus();
    // Idle now: the spider ends at once, so waiting for it here is brief.
    JobQueue->PrepareForAppShutdown({[this] { Engine->Terminate(); }, [this] { return Engine->Finished(); }});
    return ExitStatus;
}

void TRunner::ShowWarning(const std::string& Caption, const std::string& Text) {
    Terminal.PrintError(OneLine(Text));
}

// The runner does not ask: a missing destination folder is created.
bool TRunner::AskYesNo(const std::string& Caption, const std::string& Text) {
    if (Options.Mode == TOutputMode::Verbose) Terminal.PrintLine(OneLine(Text) + " yes");
    return true;
}

} // namespace cli
