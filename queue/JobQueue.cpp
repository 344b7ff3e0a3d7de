#include "queue/JobQueue.h"

#include "jobs/AppInfo.h"
#include "jobs/LanguageStrings.h"
#include "jobs/SavedOptions.h"
#include "base/AppTraceLog.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputSplitter.h"
#include "queue/DestinationFolder.h"

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

bool IsFinishedStatus(std::int32_t Status) { return Status >= jsComplete && Status <= jsError; }

TJobQueue::TJobQueue(TJobQueueFrontEnd& FrontEnd, messaging::TSpiderInputMessageQueue& Input,
                     jobs::TSavedOptions& Options)
    : FrontEnd(FrontEnd), Input(Input), Options(Options),
      Entries(std::make_unique<std::array<TCopyJobAndStatus, Capacity>>()) {}

TJobQueue::~TJobQueue() = default;

const TCopyJobAndStatus& TJobQueue::Entry(int Index) const { return Entries->at(Index); }

bool TJobQueue::InitJobQueue(messaging::TSpiderOutputSplitter& Splitter) {
    const bool registered = Splitter.RegisterForSpiderOutput(
        messaging::SpiderOutputKinds({messaging::somJobStarted, messaging::somJobEnded}),
        [this](const messaging::TSpiderOutputMsg& Msg, std::uint32_t) { OnSpiderOutput(Msg); });
    if (!registered) base::TraceLog.LogEntry(base::ttWarning, "", "RegisterForSpiderOutput", UnitName);
    return registered;
}

TAddJobResult TJobQueue::AddCopyJob(const jobs::TCopyJob& Job) {
    if (Shown_) {
        if (Options.Read(jobs::Settings::FocusQueueOnJobAdd)) FrontEnd.ShowPage(TMainPage::JobQueue);
        if (Used >= Capacity) {
            FrontEnd.ShowWarning(jobs::LocalText(TextCannotAddJob), jobs::LocalText(TextQueueFull));
            return ajQueueFull;
        }
    } else if (Used > 0) {
        base::TraceLog.LogEntry(base::ttWarning, "Queue disabled and full", "AddCopyJob", UnitName);
        return ajQueueFull;
    }
    jobs::TCopyJob job = Job;
    if (!ValidateJob(job)) return ajRefused;
    TCopyJobAndStatus& entry = (*Entries)[Used];
    entry.Job = std::move(job);
    entry.Status = jsQueued;
    entry.JobNumber = NextNumber++;
    ++Used;
    RefreshJobList();
    UpdateTrayHint();
    if (!Shown_)
        StartNextQueuedJob();
    else if (Automation_ && Automation_->StartJobsAutomatically() && FindBusyJob() < 0)
        Automation_->StartNextJobCountdown();
    return ajAdded;
}

bool TJobQueue::ValidateJob(jobs::TCopyJob& Job) {
    const web::TURL& address = Job.StartingWebAddress;
    if (!address.IsValid() || !IsDownloadScheme(address.GetScheme())) {
        const std::string text = address.IsValid() ? address.GetFullURL() : address.GetUnusableText();
        FrontEnd.ShowWarning(jobs::LocalText(TextCannotAddJob),
                             text.empty() ? jobs::LocalText(TextEnterStartingAddress)
                                          : jobs::FillPlaceholders(jobs::LocalText(TextInvalidStartingAddress), text));
        return false;
    }
    if (Job.GetDestinationPath().empty()) Job.SetDestinationFolder(FrontEnd.GetMyDocumentsFolder());
    return TryToEnsureFolderExists(FrontEnd, Job.GetDestinationPath());
}

bool TJobQueue::AddJobFile(const std::string& Path) {
    jobs::TCopyJob job;
    if (!job.LoadFromFile(Path)) {
        const std::string text = jobs::LocalText(TextUnableToReadJobFile);
        FrontEnd.ShowWarning(text, text + "\r\n" + Path);
        return false;
    }
    return AddCopyJob(job) == ajAdded;
}

void TJobQueue::StartNextQueuedJob() {
    const int index = FindFirstQueuedJob();
    if (index < 0) return;
    SelectRow(index);
    StartSelectedJob();
}

void TJobQueue::SelectRow(int Index) {
    const int selected = Index >= 0 && Index < Used ? Index : -1;
    if (selected == Selected) return;
    Selected = selected;
    FrontEnd.SelectionChanged(Selected);
}

void TJobQueue::StartSelectedJob() {
    if (IsCommandPending || IsShuttingDown) return;
    if (Automation_ && Automation_->CountdownRunning()) Automation_->StopCountdown();
    Input.Clear();
    if (Selected < 0) return;
    TCopyJobAndStatus& entry = (*Entries)[Selected];
    if (Shown_ && Automation_ && Automation_->SaveToUniqueSubfolder() && !entry.Job.HasUniqueSubfolder())
        ChooseUniqueSubfolder(entry.Job);
    FrontEnd.MakeRowVisible(Selected);
    PostStart(entry);
}

void TJobQueue::ChooseUniqueSubfolder(jobs::TCopyJob& Job) {
    if (!Job.SelectUniqueDestinationSubfolder())
        base::TraceLog.LogEntry(base::ttWarning, "", "SelectUniqueDestinationSubfolder", UnitName);
}

// A command the input queue refuses (full) leaves nothing pending: otherwise
// no answer would ever come and the queue would refuse every later command.
bool TJobQueue::PostStart(const TCopyJobAndStatus& Entry) {
    messaging::TSpiderInputMsg start;
    start.Kind = messaging::simStartJob;
    start.Job = Entry.Job;
    start.JobNumber = Entry.JobNumber;
    FrontEnd.FillProxySettings(start);
    if (!Input.Post(start)) {
        base::TraceLog.LogEntry(base::ttWarning, "Start of job " + std::to_string(Entry.JobNumber) + " not posted",
                          "StartJobBtnClick", UnitName);
        return false;
    }
    IsCommandPending = true;
    FrontEnd.SetBusyCursor(true);
    return true;
}

void TJobQueue::StopSelectedJob() {
    if (IsCommandPending || Selected < 0 || (*Entries)[Selected].Status != jsBusy) return;
    if (!Input.PostStop((*Entries)[Selected].JobNumber)) return;
    IsCommandPending = true;
    FrontEnd.SetBusyCursor(true);
}

bool TJobQueue::AbortJob(int Index) {
    if (Index < 0 || Index >= Used || (*Entries)[Index].Status != jsBusy) return false;
    if (!Input.PostAbort((*Entries)[Index].JobNumber)) return false;
    IsCommandPending = true;
    FrontEnd.SetBusyCursor(true);
    return true;
}

void TJobQueue::DeleteSelectedJob() {
    if (IsCommandPending || Selected < 0 || (*Entries)[Selected].Status == jsBusy) return;
    RemoveJob(Selected);
}

void TJobQueue::RemoveJob(int Index) {
    if (Index < 0 || Index >= Used) return;
    for (int i = Index; i + 1 < Used; ++i) (*Entries)[i].Assign((*Entries)[i + 1]);
    --Used;
    (*Entries)[Used] = TCopyJobAndStatus{};
    RefreshJobList();
    UpdateTrayHint();
}

void TJobQueue::SwapEntries(int A, int B) {
    TCopyJobAndStatus temporary;
    temporary.Assign((*Entries)[A]);
    (*Entries)[A].Assign((*Entries)[B]);
    (*Entries)[B].Assign(temporary);
    RefreshJobList();
    SelectRow(B);
    FrontEnd.MakeRowVisible(B);
}

void TJobQueue::MoveSelectedUp() {
    if (Selected > 0 && Used >= 2) SwapEntries(Selected, Selected - 1);
}

void TJobQueue::MoveSelectedDown() {
    if (Selected >= 0 && Selected < Used - 1 && Used >= 2) SwapEntries(Selected, Selected + 1);
}

bool TJobQueue::KeyDown(TQueueKey Key, bool CtrlHeld) {
    if (!CtrlHeld) return false;
    switch (Key) {
    case TQueueKey::Up: MoveSelectedUp(); return true;
    case TQueueKey::Down: MoveSelectedDown(); return true;
    case TQueueKey::Delete: DeleteSelectedJob(); return true;
    case TQueueKey::Enter: StartSelectedJob(); return true;
    case TQueueKey::Space: StopSelectedJob(); return true;
    case TQueueKey::Other: return false;
    }
    return false;
}

TJobQueueButtons TJobQueue::UpdateButtons() const {
    TJobQueueButtons buttons;
    if (Selected < 0 || Selected >= Used) return buttons;
    const std::int32_t status = (*Entries)[Selected].Status;
    buttons.MoveUp = Selected > 0 && Used >= 2;
    buttons.MoveDown = Selected < Used - 1 && Used >= 2;
    buttons.Start = status != jsBusy && status != jsAborted && FindBusyJob() < 0;
    buttons.Stop = status == jsBusy;
    buttons.Delete = status != jsBusy;
    return buttons;
}

void TJobQueue::RemoveFinishedJobs() {
    for (int i = 0; i < Used;)
        if (IsFinishedStatus((*Entries)[i].Status)) RemoveJob(i);
        else ++i;
}

void TJobQueue::RemoveIdleJobs() {
    for (int i = 0; i < Used;)
        if ((*Entries)[i].Status != jsBusy) RemoveJob(i);
        else ++i;
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
        base::TraceLog.LogEntry(base::ttWarning, "Job " + std::to_string(JobNumber) + " not found",
                          "ChangeJobStatusTo", UnitName);
        return;
    }
    (*Entries)[index].Status = Status;
}

void TJobQueue::OnSpiderOutput(const messaging::TSpiderOutputMsg& Msg) {
    if (Msg.Kind == messaging::somJobStarted) OnJobStarted(Msg);
    else if (Msg.Kind == messaging::somJobEnded) OnJobEnded(Msg);
    else return;
    FrontEnd.SetBusyCursor(false);
    IsCommandPending = false;
}

void TJobQueue::OnJobStarted(const messaging::TSpiderOutputMsg& Msg) {
    ChangeJobStatusTo(Msg.JobNumber, jsBusy);
    RefreshJobList();
    UpdateTrayHint();
    FrontEnd.SetCaption(jobs::AppInfo.ProductName() + " - " + DisplayAddress(Msg.Job.StartingWebAddress));
    FrontEnd.SetTrayBusy(true);
    if (Options.Read(jobs::Settings::FocusProgressOnJobStart) || !Shown_) FrontEnd.ShowPage(TMainPage::Progress);
    base::TraceLog.LogMessage("Started job " + std::to_string(Msg.JobNumber));
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
    base::TraceLog.LogMessage("Stopped job " + std::to_string(Msg.JobNumber));
    if (!waiting) AfterJobStopped();
}

void TJobQueue::AfterJobStopped() {
    if (Shown_ && Automation_) Automation_->AfterJobStopped(IsFinishedNormally);
    else ResetAfterJob(!Shown_);
}

void TJobQueue::ResetAfterJob(bool RemoveFinished) {
    UpdateTrayHint();
    FrontEnd.SetCaption(jobs::AppInfo.ProductName());
    FrontEnd.SetTrayBusy(false);
    if (RemoveFinished) RemoveFinishedJobs();
    RefreshJobList();
}

std::string TJobQueue::TrayHint() const {
    std::string current, completed;
    if (const int busy = FindBusyJob(); busy >= 0) {
        const jobs::TCopyJob& job = (*Entries)[busy].Job;
        const std::string name = job.JobName.empty() ? DisplayAddress(job.StartingWebAddress) : job.JobName;
        current = jobs::FillPlaceholders(jobs::LocalText(TextCurrentJob), name);
    }
    if (Used > 0) {
        int finished = 0;
        for (int i = 0; i < Used; ++i) finished += IsFinishedStatus((*Entries)[i].Status) ? 1 : 0;
        completed = jobs::FillPlaceholders(jobs::LocalText(TextJobsCompleted), std::to_string(finished),
                                           std::to_string(Used));
    }
    if (current.empty() && completed.empty()) return jobs::LocalText(TextReady);
    if (!current.empty() && !completed.empty()) return current + "\r\n" + completed;
    return current + completed;
}

void TJobQueue::UpdateTrayHint() { FrontEnd.SetTrayHint(TrayHint()); }

void TJobQueue::RefreshJobList() {
    // The selection stays at its index while that row still exists.
    if (Selected >= Used) {
        Selected = -1;
        FrontEnd.SelectionChanged(Selected);
    }
    FrontEnd.JobListChanged();
}

void TJobQueue::PrepareForAppShutdown(const TSpiderShutdown& Spider) {
    FrontEnd.SetBusyCursor(true);
    IsShuttingDown = true;
    if (const int busy = FindBusyJob(); busy >= 0) Input.PostAbort((*Entries)[busy].JobNumber);
    if (Spider.RequestTerminate) Spider.RequestTerminate();
    // The spider offers no event for its end, so it is asked briefly and often.
    const auto deadline = std::chrono::steady_clock::now() + ShutdownWait;
    while (Spider.Finished && !Spider.Finished() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    FrontEnd.SetBusyCursor(false);
}

} // namespace queue
