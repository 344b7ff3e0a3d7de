#include "queue/JobQueue.h"

#include "base/AppTraceLog.h"
#include "jobs/LanguageStrings.h"
#include "jobs/SavedOptions.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputSplitter.h"
#include "queue/DestinationFolder.h"
#include "web/StartingURL.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace queue {

namespace {

constexpr const char* UnitName = "JobQueue";

// Text numbers of the queue's messages.
constexpr int TextStatusQueued = 99;
constexpr int TextCannotAddJob = 109;
constexpr int TextInvalidStartingAddress = 110;
constexpr int TextEnterStartingAddress = 111;
constexpr int TextQueueFull = 112;
constexpr int TextCurrentJob = 139;
constexpr int TextJobsCompleted = 140;
constexpr int TextReady = 141;
constexpr int TextUnableToReadJobFile = 156;

using base::TraceLog;

bool IsDownloadScheme(std::int32_t Scheme) {
    return Scheme == web::SchemeHTTP || Scheme == web::SchemeHTTPS || Scheme == web::SchemeFTP;
}

std::string DisplayAddress(const web::TURL& Address) {
    return Address.IsValid() ? Address.GetPlainURL() : Address.GetUnusableText();
}

} // namespace

std::string JobStatusText(std::int32_t Status) {
    if (Status < jsQueued || Status > jsError) return std::string(jobs::UnknownLocalText);
    // "Queued", "Busy", "Complete", "Error", "Stopped", "Aborted" stand in this
    // order in the table, which is not the order of the statuses.
    static constexpr int Numbers[] = {99, 100, 101, 103, 104, 102};
    static_assert(Numbers[jsQueued] == TextStatusQueued);
    return jobs::LocalText(Numbers[Status]);
}

bool IsFinishedStatus(std::int32_t Status) {
    return Status >= jsComplete && Status <= jsError;
}

TJobQueue::TJobQueue(messaging::TSpiderInputMessageQueue& Input, const jobs::TSavedOptions& Options,
                     TJobQueuePrompts& Prompts)
    : Input(Input), Options(Options), Prompts(Prompts),
      Entries(std::make_unique<std::array<TCopyJobAndStatus, Capacity>>()),
      LastTrayHint(TrayHint()) {}

TJobQueue::~TJobQueue() = default;

void TJobQueue::Subscribe(TJobQueueObserver& Observer) {
    Observers.Add(Observer);
}

void TJobQueue::Unsubscribe(TJobQueueObserver& Observer) {
    Observers.Remove(Observer);
}

const TCopyJobAndStatus& TJobQueue::Entry(int Index) const {
    return Entries->at(Index);
}

bool TJobQueue::InitJobQueue(messaging::TSpiderOutputSplitter& Splitter) {
    const bool registered = Splitter.RegisterForSpiderOutput(
        messaging::SpiderOutputKinds({messaging::somJobStarted, messaging::somJobEnded}),
        [this](const messaging::TSpiderOutputMsg& Msg, std::uint32_t) { OnSpiderOutput(Msg); });
    if (!registered) TraceLog.LogEntry(base::ttWarning, "", "RegisterForSpiderOutput", UnitName);
    return registered;
}

TAddJobResult TJobQueue::AddCopyJob(const jobs::TCopyJob& Job) {
    if (Shown_) {
        if (Options.Read(jobs::Settings::FocusQueueOnJobAdd))
            Observers.Notify([](TJobQueueObserver& O) { O.PageWanted(TMainPage::JobQueue); });
        if (Used >= Capacity) {
            Prompts.ShowWarning(jobs::LocalText(TextCannotAddJob), jobs::LocalText(TextQueueFull));
            return ajQueueFull;
        }
    } else if (Used > 0) {
        TraceLog.LogEntry(base::ttWarning, "Queue disabled and full", "AddCopyJob", UnitName);
        return ajQueueFull;
    }
    jobs::TCopyJob job = Job;
    if (!ValidateJob(job)) return ajRefused;
    TCopyJobAndStatus& entry = (*Entries)[Used];
    entry.Job = std::move(job);
    entry.Status = jsQueued;
    entry.JobNumber = NextNumber++;
    const int row = Used++;
    Observers.Notify([row](TJobQueueObserver& O) { O.RowInserted(row); });
    UpdateTrayHint();
    if (!Shown_)
        StartNextQueuedJob();
    else if (Automation_ && Automation_->StartJobsAutomatically() && FindBusyJob() < 0)
        Automation_->StartNextJobCountdown();
    return ajAdded;
}

bool TJobQueue::ValidateJob(jobs::TCopyJob& Job) {
    const web::TURL address = web::GetStartingURL(Job);
    if (!address.IsValid() || !IsDownloadScheme(address.GetScheme())) {
        const std::string text =
            address.IsValid() ? address.GetFullURL() : address.GetUnusableText();
        Prompts.ShowWarning(jobs::LocalText(TextCannotAddJob),
                            text.empty() ? jobs::LocalText(TextEnterStartingAddress)
                                         : jobs::FillPlaceholders(
                                               jobs::LocalText(TextInvalidStartingAddress), text));
        return false;
    }
    if (Job.GetDestinationPath().empty()) Job.SetDestinationFolder(Prompts.GetMyDocumentsFolder());
    return TryToEnsureFolderExists(Prompts, Job.GetDestinationPath());
}

bool TJobQueue::AddJobFile(const std::string& Path) {
    jobs::TCopyJob job;
    if (!job.LoadFromFile(Path)) {
        const std::string text = jobs::LocalText(TextUnableToReadJobFile);
        Prompts.ShowWarning(text, text + "\r\n" + Path);
        return false;
    }
    return AddCopyJob(job) == ajAdded;
}

// A start or stop waits for the spider's answer; until then no other start,
// stop or removal, so two quick starts send one command. Moving is always allowed.
TJobCommands TJobQueue::AllowedCommands(int Index) const {
    TJobCommands allowed;
    if (!IsRow(Index)) return allowed;
    const std::int32_t status = (*Entries)[Index].Status;
    allowed.MoveUp = Index > 0;
    allowed.MoveDown = Index < Used - 1;
    allowed.Start = !IsCommandPending && !IsShuttingDown && status != jsBusy &&
                    status != jsAborted && FindBusyJob() < 0;
    allowed.Stop = !IsCommandPending && status == jsBusy;
    allowed.Remove = !IsCommandPending && status != jsBusy;
    return allowed;
}

void TJobQueue::StartNextQueuedJob() {
    if (const int index = FindFirstQueuedJob(); index >= 0) StartJob(index);
}

// The entry's status stays until the spider reports the job started. A
// restarted entry keeps its number and its unique subfolder.
bool TJobQueue::StartJob(int Index) {
    if (!AllowedCommands(Index).Start) return false;
    if (Automation_ && Automation_->CountdownRunning()) Automation_->StopCountdown();
    Input.Clear();
    TCopyJobAndStatus& entry = (*Entries)[Index];
    if (Shown_ && Automation_ && Automation_->SaveToUniqueSubfolder() &&
        !entry.Job.HasUniqueSubfolder())
        ChooseUniqueSubfolder(entry.Job);
    // A command the input queue refuses (full) leaves nothing pending:
    // otherwise no answer would ever come and every later command would wait.
    if (!Input.Post(BuildStartCommand(entry, Options, Overrides_))) {
        TraceLog.LogEntry(base::ttWarning,
                          "Start of job " + std::to_string(entry.JobNumber) + " not posted",
                          "StartJobBtnClick", UnitName);
        return false;
    }
    SetCommandPending(true);
    return true;
}

void TJobQueue::ChooseUniqueSubfolder(jobs::TCopyJob& Job) {
    if (!Job.SelectUniqueDestinationSubfolder())
        TraceLog.LogEntry(base::ttWarning, "", "SelectUniqueDestinationSubfolder", UnitName);
}

bool TJobQueue::StopJob(int Index) {
    if (!AllowedCommands(Index).Stop || !Input.PostStop((*Entries)[Index].JobNumber)) return false;
    SetCommandPending(true);
    return true;
}

bool TJobQueue::AbortJob(int Index) {
    if (!IsRow(Index) || (*Entries)[Index].Status != jsBusy) return false;
    if (!Input.PostAbort((*Entries)[Index].JobNumber)) return false;
    SetCommandPending(true);
    return true;
}

bool TJobQueue::RemoveJob(int Index) {
    if (!AllowedCommands(Index).Remove) return false;
    EraseRow(Index);
    return true;
}

void TJobQueue::EraseRow(int Index) {
    for (int i = Index; i + 1 < Used; ++i)
        (*Entries)[i].Assign((*Entries)[i + 1]);
    --Used;
    (*Entries)[Used] = TCopyJobAndStatus{};
    Observers.Notify([Index](TJobQueueObserver& O) { O.RowRemoved(Index); });
    UpdateTrayHint();
}

bool TJobQueue::MoveJob(int Index, int Delta) {
    const int to = Index + Delta;
    if (Delta == 0 || !IsRow(Index) || !IsRow(to)) return false;
    auto first = Entries->begin();
    if (Delta < 0)
        std::rotate(first + to, first + Index, first + Index + 1);
    else
        std::rotate(first + Index, first + Index + 1, first + to + 1);
    Observers.Notify([Index, to](TJobQueueObserver& O) { O.RowMoved(Index, to); });
    return true;
}

void TJobQueue::RemoveFinishedJobs() {
    for (int i = 0; i < Used;)
        if (IsFinishedStatus((*Entries)[i].Status))
            EraseRow(i);
        else
            ++i;
}

void TJobQueue::RemoveIdleJobs() {
    for (int i = 0; i < Used;)
        if ((*Entries)[i].Status != jsBusy)
            EraseRow(i);
        else
            ++i;
}

int TJobQueue::FindBusyJob() const {
    for (int i = 0; i < Used; ++i)
        if ((*Entries)[i].Status == jsBusy) return i;
    return -1;
}

int TJobQueue::FindJobIndex(std::int32_t JobNumber) const {
    for (int i = 0; i < Used; ++i)
        if ((*Entries)[i].JobNumber == JobNumber) return i;
    return -1;
}

int TJobQueue::FindFirstQueuedJob() const {
    for (int i = 0; i < Used; ++i)
        if ((*Entries)[i].Status == jsQueued) return i;
    return -1;
}

void TJobQueue::ChangeJobStatusTo(std::int32_t JobNumber, std::int32_t Status) {
    const int index = FindJobIndex(JobNumber);
    if (index < 0) {
        TraceLog.LogEntry(base::ttWarning, "Job " + std::to_string(JobNumber) + " not found",
                          "ChangeJobStatusTo", UnitName);
        return;
    }
    if ((*Entries)[index].Status == Status) return;
    (*Entries)[index].Status = Status;
    Observers.Notify([index](TJobQueueObserver& O) { O.RowStatusChanged(index); });
}

// The spider has answered before the report is acted on: the after-job step
// may post the next start at once (a countdown of 0 seconds), and that start
// must neither be refused as pending nor have its own pending state cleared.
void TJobQueue::OnSpiderOutput(const messaging::TSpiderOutputMsg& Msg) {
    if (Msg.Kind != messaging::somJobStarted && Msg.Kind != messaging::somJobEnded) return;
    SetCommandPending(false);
    if (Msg.Kind == messaging::somJobStarted)
        OnJobStarted(Msg);
    else
        OnJobEnded(Msg);
}

void TJobQueue::OnJobStarted(const messaging::TSpiderOutputMsg& Msg) {
    ChangeJobStatusTo(Msg.JobNumber, jsBusy);
    UpdateTrayHint();
    SetBusy(true);
    if (Options.Read(jobs::Settings::FocusProgressOnJobStart) || !Shown_)
        Observers.Notify([](TJobQueueObserver& O) { O.PageWanted(TMainPage::Progress); });
    TraceLog.LogMessage("Started job " + std::to_string(Msg.JobNumber));
}

void TJobQueue::OnJobEnded(const messaging::TSpiderOutputMsg& Msg) {
    const std::uint8_t outcome = Msg.Status;
    IsFinishedNormally = outcome == messaging::joCompleted || outcome == messaging::joStopped ||
                         outcome == messaging::joAborted;
    const std::int32_t status = outcome == messaging::joCompleted ? jsComplete
                                : outcome == messaging::joStopped ? jsStopped
                                : outcome == messaging::joAborted ? jsAborted
                                                                  : jsError;
    ChangeJobStatusTo(Msg.JobNumber, status);
    bool waiting = false;
    if (Shown_ && IsFinishedNormally && Automation_)
        waiting = Automation_->RunJobStoppedApp(Msg.JobNumber, Msg.StartPageFile);
    TraceLog.LogMessage("Stopped job " + std::to_string(Msg.JobNumber));
    if (!waiting) AfterJobStopped();
}

void TJobQueue::AfterJobStopped() {
    if (Shown_ && Automation_)
        Automation_->AfterJobStopped(IsFinishedNormally);
    else
        ResetAfterJob(!Shown_);
}

void TJobQueue::ResetAfterJob(bool RemoveFinished) {
    UpdateTrayHint();
    SetBusy(false);
    if (RemoveFinished) RemoveFinishedJobs();
}

void TJobQueue::SetCommandPending(bool Pending) {
    if (Pending == IsCommandPending) return;
    IsCommandPending = Pending;
    Observers.Notify([Pending](TJobQueueObserver& O) { O.CommandPendingChanged(Pending); });
}

void TJobQueue::SetBusy(bool Busy) {
    if (Busy == IsBusy) return;
    IsBusy = Busy;
    Observers.Notify([Busy](TJobQueueObserver& O) { O.BusyChanged(Busy); });
}

std::string TJobQueue::TrayHint() const {
    std::string current, completed;
    if (const int busy = FindBusyJob(); busy >= 0) {
        const jobs::TCopyJob& job = (*Entries)[busy].Job;
        const std::string name =
            job.JobName.empty() ? DisplayAddress(web::GetStartingURL(job)) : job.JobName;
        current = jobs::FillPlaceholders(jobs::LocalText(TextCurrentJob), name);
    }
    if (Used > 0) {
        int finished = 0;
        for (int i = 0; i < Used; ++i)
            finished += IsFinishedStatus((*Entries)[i].Status) ? 1 : 0;
        completed = jobs::FillPlaceholders(jobs::LocalText(TextJobsCompleted),
                                           std::to_string(finished), std::to_string(Used));
    }
    if (current.empty() && completed.empty()) return jobs::LocalText(TextReady);
    if (!current.empty() && !completed.empty()) return current + "\r\n" + completed;
    return current + completed;
}

void TJobQueue::UpdateTrayHint() {
    std::string hint = TrayHint();
    if (hint == LastTrayHint) return;
    LastTrayHint = std::move(hint);
    Observers.Notify([this](TJobQueueObserver& O) { O.TrayHintChanged(LastTrayHint); });
}

void TJobQueue::PrepareForAppShutdown(const TSpiderShutdown& Spider) {
    IsShuttingDown = true;
    if (const int busy = FindBusyJob(); busy >= 0) Input.PostAbort((*Entries)[busy].JobNumber);
    if (Spider.RequestTerminate) Spider.RequestTerminate();
    // The spider offers no event for its end, so it is asked briefly and often.
    const auto deadline = std::chrono::steady_clock::now() + ShutdownWait;
    while (Spider.Finished && !Spider.Finished() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace queue
