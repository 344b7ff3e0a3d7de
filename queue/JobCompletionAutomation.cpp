#include "queue/JobCompletionAutomation.h"

#include "base/AppTraceLog.h"
#include "base/AsciiText.h"
#include "jobs/AppInfo.h"
#include "jobs/LanguageStrings.h"
#include "jobs/SavedOptions.h"
#include "queue/CommandPlaceholders.h"
#include "queue/JobQueue.h"
#include "queue/ProcessRunner.h"
#include "queue/ShutdownComputer.h"

namespace queue {

namespace {

constexpr const char* UnitName = "JobQueue";

// Text numbers of the countdown messages.
constexpr int TextStartingNextJob = 105;
constexpr int TextShuttingDown = 106;
constexpr int TextWaitingForProcess = 107;
constexpr int TextUnableToShutdown = 108;

namespace Settings = jobs::Settings;

// A program without a folder starts in the folder of this program's file.
std::string WorkingFolderFor(const std::string& Program) {
    const std::string& path = Program.find('/') != std::string::npos ? Program : jobs::ProgramFileName();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

} // namespace

TJobCompletionAutomation::TJobCompletionAutomation(TJobQueue& Queue, jobs::TSavedOptions& Options,
                                                   TJobQueuePrompts& Prompts, TProcessRunner& Runner,
                                                   TShutdownComputer& PowerOff)
    : Queue(Queue), Options(Options), Prompts(Prompts), Runner(Runner), PowerOff(PowerOff) {
    LoadAutomationSettings();
    Queue.SetAutomation(this);
}

TJobCompletionAutomation::~TJobCompletionAutomation() {
    Queue.SetAutomation(nullptr);
}

void TJobCompletionAutomation::Subscribe(TAutomationObserver& Observer) {
    Observers.Add(Observer);
}

void TJobCompletionAutomation::Unsubscribe(TAutomationObserver& Observer) {
    Observers.Remove(Observer);
}

void TJobCompletionAutomation::LoadAutomationSettings() {
    Lengths = {Options.Read(Settings::CountdownStartNextJob),
               Options.Read(Settings::CountdownShutdownWindows),
               Options.Read(Settings::CountdownWaitForProcess)};
    Values = {Options.Read(Settings::StartJobsAutomatically),
              Options.Read(Settings::RemoveJobOnCompletion),
              Options.Read(Settings::SaveEachJobToUniqueSubfolder),
              Options.Read(Settings::ShutdownWindowsWhenAllJobsDone),
              Options.Read(Settings::RunAppOnJobCompletion),
              Options.Read(Settings::JobCompletionCommandLine)};
}

void TJobCompletionAutomation::SaveAutomationSettings() {
    Options.Write(Settings::StartJobsAutomatically, Values.StartJobsAutomatically);
    Options.Write(Settings::RemoveJobOnCompletion, Values.RemoveCompletedJobs);
    Options.Write(Settings::SaveEachJobToUniqueSubfolder, Values.SaveToUniqueSubfolder);
    Options.Write(Settings::ShutdownWindowsWhenAllJobsDone, Values.ShutdownWhenAllJobsCompleted);
    Options.Write(Settings::RunAppOnJobCompletion, Values.RunAppOnJobCompletion);
    Options.Write(Settings::JobCompletionCommandLine, Values.JobCompletionCommandLine);
}

void TJobCompletionAutomation::SetStartJobsAutomatically(bool Value) {
    Values.StartJobsAutomatically = Value;
    SaveAutomationSettings();
    if (Value && Queue.Count() > 0 && Queue.FindBusyJob() < 0)
        StartCountdown(TCountdownKind::StartNextJob);
}

void TJobCompletionAutomation::SetRemoveCompletedJobs(bool Value) {
    Values.RemoveCompletedJobs = Value;
    SaveAutomationSettings();
    if (Value) Queue.RemoveFinishedJobs();
}

void TJobCompletionAutomation::SetSaveToUniqueSubfolder(bool Value) {
    Values.SaveToUniqueSubfolder = Value;
    SaveAutomationSettings();
}

void TJobCompletionAutomation::SetShutdownWhenAllJobsCompleted(bool Value) {
    Values.ShutdownWhenAllJobsCompleted = Value;
    SaveAutomationSettings();
}

void TJobCompletionAutomation::SetRunAppOnJobCompletion(bool Value) {
    Values.RunAppOnJobCompletion = Value;
    SaveAutomationSettings();
}

void TJobCompletionAutomation::SetJobCompletionCommandLine(const std::string& Value) {
    Values.JobCompletionCommandLine = Value;
    SaveAutomationSettings();
}

void TJobCompletionAutomation::InitCommandLinePopupMenu() {
    Menu = LoadCommandLines(Options.DataFolder());
}

void TJobCompletionAutomation::CommandLineMenuItemClick(int Index) {
    if (Index < 0 || Index >= static_cast<int>(Menu.size())) return;
    SetJobCompletionCommandLine(Menu[Index].CommandLine);
    Observers.Notify([](TAutomationObserver& O) { O.SwitchesChanged(); });
}

void TJobCompletionAutomation::StartCountdown(TCountdownKind NewKind) {
    if (Running) StopCountdown();
    if (NewKind == TCountdownKind::None) return;
    Kind = NewKind;
    Seconds = NewKind == TCountdownKind::StartNextJob       ? Lengths.StartNextJob
              : NewKind == TCountdownKind::ShutdownComputer ? Lengths.ShutdownComputer
                                                            : Lengths.WaitForProcess;
    Running = true;
    Observers.Notify([](TAutomationObserver& O) { O.PageWanted(TMainPage::JobQueue); });
    Tick();
}

// A wait that runs out while the program still runs ends like a cancelled
// one; a countdown that AfterJobStopped then starts runs its full course.
void TJobCompletionAutomation::Tick() {
    if (!Running) return;
    if (Seconds > 0) {
        int text = TextStartingNextJob;
        if (Kind == TCountdownKind::ShutdownComputer) text = TextShuttingDown;
        if (Kind == TCountdownKind::WaitForProcess) {
            if (!Process || !Process->StillRuns()) return StopCountdown();
            text = TextWaitingForProcess;
        }
        ShowMessage(jobs::FillPlaceholders(jobs::LocalText(text), std::to_string(Seconds), ProcessLine));
        --Seconds;
        return;
    }
    const TCountdownKind ended = Kind;
    StopCountdown();
    if (ended == TCountdownKind::StartNextJob) Queue.StartNextQueuedJob();
    if (ended == TCountdownKind::ShutdownComputer) TryToShutdownComputer();
}

void TJobCompletionAutomation::StopCountdown() {
    const TCountdownKind stopped = Kind;
    Running = false;
    Kind = TCountdownKind::None;
    ShowMessage({});
    Observers.Notify([](TAutomationObserver& O) { O.StopFlashing(); });
    if (stopped != TCountdownKind::WaitForProcess) return;
    Process.reset();
    AfterJobStopped(Queue.FinishedNormally());
}

void TJobCompletionAutomation::ShowMessage(std::string Text) {
    if (Text == Message) return;
    Message = std::move(Text);
    Observers.Notify([this](TAutomationObserver& O) { O.CountdownMessageChanged(Message); });
}

bool TJobCompletionAutomation::RunJobStoppedApp(std::int32_t JobNumber,
                                                const std::string& StartPageFile) {
    if (!Values.RunAppOnJobCompletion) return false;
    if (std::string trimmed = base::TrimControls(Values.JobCompletionCommandLine);
        trimmed != Values.JobCompletionCommandLine) {
        SetJobCompletionCommandLine(trimmed);
        Observers.Notify([](TAutomationObserver& O) { O.SwitchesChanged(); });
    }
    const int index = Queue.FindJobIndex(JobNumber);
    if (Values.JobCompletionCommandLine.empty() || index < 0) return false;
    const jobs::TCopyJob& job = Queue.Entry(index).Job;
    const TProgramAndParameters parts = SplitAtFirstSpace(Values.JobCompletionCommandLine);
    TProcessRequest request{ExpandPlaceholders(parts.Program, job, StartPageFile),
                            ExpandPlaceholders(parts.Parameters, job, StartPageFile), {}};
    request.WorkingFolder = WorkingFolderFor(request.Program);
    ProcessLine = request.Program + " " + request.Parameters;
    const bool lastJob = Queue.FindFirstQueuedJob() < 0;

    int error = 0;
    std::unique_ptr<TRunningProcess> started = Runner.Start(request, error);
    if (!started) {
        // Only the last job may stop for a box: an unattended queue goes on.
        if (lastJob) Prompts.ShowWarning(jobs::GetErrorText(error), ProcessLine);
        base::TraceLog.LogAPIErrorCode(error, "posix_spawn " + ProcessLine, "RunJobStoppedApp", UnitName);
        return false;
    }
    // A command of placeholders only opens a document: nothing worth waiting for.
    if (!CommandIsPlaceholdersOnly(Values.JobCompletionCommandLine)) Process = std::move(started);
    StartCountdown(TCountdownKind::WaitForProcess);
    return true;
}

void TJobCompletionAutomation::AfterJobStopped(bool FinishedNormally) {
    const bool shown = Queue.QueueShown();
    const bool jobsWait = Queue.FindFirstQueuedJob() >= 0;
    if (shown && Values.ShutdownWhenAllJobsCompleted && !jobsWait) {
        StartCountdown(TCountdownKind::ShutdownComputer);
        Observers.Notify([this](TAutomationObserver& O) { O.StartFlashing(Lengths.ShutdownComputer); });
    } else if (shown) {
        Observers.Notify([this](TAutomationObserver& O) { O.StartFlashing(Lengths.StartNextJob); });
    }
    Queue.ResetAfterJob(Values.RemoveCompletedJobs || !shown);
    if (shown && FinishedNormally && Values.StartJobsAutomatically && Queue.FindFirstQueuedJob() >= 0)
        StartCountdown(TCountdownKind::StartNextJob);
}

void TJobCompletionAutomation::TryToShutdownComputer() {
    std::string error;
    if (PowerOff.ShutdownComputer(error)) return;
    Prompts.ShowWarning(jobs::LocalText(TextUnableToShutdown), error);
    base::TraceLog.LogEntry(base::ttWarning, error, "TryToShutdownComputer", UnitName);
}

} // namespace queue
