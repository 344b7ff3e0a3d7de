#include "engine/DownloadThreadDispacher.h"

#include "engine/DownloadFilter.h"
#include "engine/InternetSettings.h"
#include "engine/SpiderJobControl.h"
#include "engine/SpiderObjectList.h"
#include "jobs/JobTypes.h"
#include "base/AppTraceLog.h"
#include "base/PosixFile.h"
#include "messaging/SpiderInputMsg.h"

#include <algorithm>

namespace engine {

namespace {

using Clock = std::chrono::steady_clock;
using namespace messaging;

constexpr auto ProgressPeriod = std::chrono::milliseconds(1000);
// Upper bound of one wait: timers and commands normally wake the loop sooner.
constexpr auto LongestWait = std::chrono::milliseconds(100);
// Refusals cost microseconds each; a stop must not wait for thousands of them.
constexpr int RefusalsBetweenChecks = 500;
constexpr TSpiderInputKindSet CancelKinds = SpiderInputKinds(
    {simStopFileDownload, simStopHostDownload, simStopFileExtDownload, simStopMimeTypeDownload});

} // namespace

void TWakeSignal::Notify() {
    {
        std::lock_guard guard(Lock);
        ++Notifications;
    }
    Woken.notify_all();
}

void TWakeSignal::WaitUntil(std::uint64_t Seen, Clock::time_point Deadline) {
    std::unique_lock guard(Lock);
    Woken.wait_until(guard, Deadline, [&] { return Notifications != Seen; });
}

std::uint64_t TWakeSignal::Count() const {
    std::lock_guard guard(Lock);
    return Notifications;
}

TDownloadThreadDispacher::TDownloadThreadDispacher(TDownloadThreadServices Services,
                                                   TDownloadFilter& Filter, TMIMEExtensionsTable& MIMETable,
                                                   TSpiderInputMessageQueue& Input, TWakeSignal& Wake)
    : Filter(Filter), Input(Input), Wake(Wake) {
    Services.StateChanged = [&Wake] { Wake.Notify(); };
    Services.Folders = &Folders;
    for (auto& thread : Threads) thread = std::make_unique<TFileDownloadThread>(Filter, MIMETable, Services);
}

TDownloadThreadDispacher::~TDownloadThreadDispacher() = default;

void TDownloadThreadDispacher::SetOptions(const jobs::TDownloadOptions& Options) {
    for (auto& thread : Threads) thread->SetOptions(Options);
}

bool TDownloadThreadDispacher::AllIdle() const {
    for (const auto& thread : Threads)
        if (thread->State() != dsIdle) return false;
    return true;
}

int TDownloadThreadDispacher::IdleThreadForWork() const {
    for (int i = 0; i < ThreadCount; ++i)
        if (Threads[i]->State() == dsIdle && !Slots[i].Pausing) return i;
    return -1;
}

void TDownloadThreadDispacher::RunCycle(TSpiderJobControl& Control, TSpiderObjectList& List,
                                        std::int32_t Number, jobs::TCopyJob& Job,
                                        const std::function<bool()>& WhileWaiting) {
    JobNumber = Number;
    Stopping = false;
    try {
        for (;;) {
            // Read before looking at anything: a thread that finishes after
            // this point makes the wait below return at once.
            const std::uint64_t seen = Wake.Count();
            const auto now = Clock::now();
            for (auto& slot : Slots)
                if (slot.Pausing && now > slot.PauseUntil) slot.Pausing = false;
            Control.CheckStopAndAbort();
            if (!Stopping) {
                if (Control.StopRequested() || Control.AbortRequested()) {
                    for (auto& thread : Threads) thread->Stop();
                    Stopping = true;
                }
                ProcessDownloadCancelRequests(Control, Job);
                Control.CheckPauseAndResume();
            }
            // Collected first, so that the threads it frees get work in this
            // same pass instead of waiting for a wake-up that has already come.
            ResetCompletedDownloadThreads(Control, List, Job);
            const bool more = !Stopping && !Control.Paused() && HandOutWork(Control, List);
            PostDownloadInProgressMsgs(Control);
            if (AllIdle() && (Stopping || !List.HasUndispatched())) return;
            if (!more && !WhileWaiting()) Wake.WaitUntil(seen, NextTimer());
        }
    } catch (...) {
        // The job cannot go on (no one takes its reports): end every transfer
        // so that the threads are idle for the next job, then let the job fail.
        for (auto& thread : Threads) thread->Stop();
        while (!AllIdle()) {
            const std::uint64_t seen = Wake.Count();
            for (auto& thread : Threads)
                if (thread->State() == dsFinished) thread->MarkIdle();
            if (!AllIdle()) Wake.WaitUntil(seen, Clock::now() + LongestWait);
        }
        throw;
    }
}

// Hands out the undispatched objects in key order: one the filter refuses
// before any request is finished here at once; any other goes to an idle
// thread. True when it stopped early, so that commands are looked at between
// long runs of refusals, and more can be handed out at once.
bool TDownloadThreadDispacher::HandOutWork(TSpiderJobControl& Control, TSpiderObjectList& List) {
    for (int refused = 0; TSpiderObject* next = List.FirstUndispatched();) {
        if (refused == RefusalsBetweenChecks) return true;
        const web::TURL& address = AddressToFetch(*next);
        const auto verdict = Filter.CheckBeforeDownload(address, next->Distance, next->Embedded);
        if (verdict != dfPassed) {
            FinishRefused(Control, List, *next, address, verdict);
            ++refused;
            continue;
        }
        const int thread = IdleThreadForWork();
        if (thread < 0) return false;
        Assign(Control, *next, thread, address);
        List.SetDispatched(*next, true);
    }
    return false;
}

// The object's address, on the other host when one was met.
const web::TURL& TDownloadThreadDispacher::AddressToFetch(const TSpiderObject& Object) {
    Object.Address.UnpackInto(FetchAddress);
    if (!Object.AlternateHost.empty()) FetchAddress.SetHostName(Object.AlternateHost);
    return FetchAddress;
}

// Reported as a download that the filter ended, as a thread would, but with
// no thread, no wait and no request.
void TDownloadThreadDispacher::FinishRefused(TSpiderJobControl& Control, TSpiderObjectList& List,
                                             TSpiderObject& Object, const web::TURL& Address,
                                             std::uint8_t Verdict) {
    const std::int32_t number = ++DownloadCounter;
    PostDownloadStartedMessage(Control, Object, number);
    List.SetDispatched(Object, true);
    RecordRefusedDownload(Refused, Address, Object.Referrer.get(), Object.LocalFileName, Verdict);
    // Only a page that an earlier run saved is parsed and rewritten: one
    // lookup here spares two later ones for each refused link to a page.
    if (Refused.IsPage && !base::FileExists(Refused.LocalFile)) Refused.IsPage = false;
    if (Refused.IsPage) List.SetIsPage(Object);
    if (Object.Distance == -1) StartPageFile = Refused.LocalFile;
    PostDownloadStoppedMsg(Control, number, Refused, TRedirect{}, Object.Distance == -1);
}

// The earliest moment something is due without any thread telling: a pause
// running out or a progress report. A download whose transfer has not begun
// is not due: waking for it would spin the loop while the server thinks.
Clock::time_point TDownloadThreadDispacher::NextTimer() const {
    const auto now = Clock::now();
    auto deadline = now + LongestWait;
    for (int i = 0; i < ThreadCount; ++i) {
        if (Slots[i].Pausing && Slots[i].PauseUntil < deadline) deadline = Slots[i].PauseUntil;
        if (Threads[i]->State() != dsReadingData || !Threads[i]->Progress().TransferStarted) continue;
        deadline = std::min(deadline, std::max(now, Slots[i].LastProgress + ProgressPeriod));
    }
    return deadline;
}

void TDownloadThreadDispacher::Assign(TSpiderJobControl& Control, TSpiderObject& Object, int Thread,
                                      const web::TURL& Address) {
    TSlot& slot = Slots[Thread];
    slot.ObjectSequenceNumber = Object.SequenceNumber;
    slot.DownloadNumber = ++DownloadCounter;
    slot.LastProgress = {};
    PostDownloadStartedMessage(Control, Object, slot.DownloadNumber);
    Threads[Thread]->StartDownload(Address, Object.LocalFileName, Object.Distance, Object.Referrer.get(),
                                   Object.Embedded);
}

// Fills the fields that every report about a thread's download carries.
TFileDownloadMsg& TDownloadThreadDispacher::BeginDownloadMessage(std::uint8_t Kind, std::int32_t DownloadNumber) {
    OutputMsg.Kind = Kind;
    OutputMsg.JobNumber = JobNumber;
    OutputMsg.Status = 1;
    OutputMsg.FileDownload.DownloadNumber = DownloadNumber;
    return OutputMsg.FileDownload;
}

void TDownloadThreadDispacher::PostDownloadStartedMessage(TSpiderJobControl& Control,
                                                          const TSpiderObject& Object, std::int32_t DownloadNumber) {
    auto& download = BeginDownloadMessage(somDownloadStarted, DownloadNumber);
    Object.Address.UnpackInto(download.Address);
    if (Object.Referrer) download.Referrer = *Object.Referrer;
    else download.Referrer.Clear();
    download.LocalFile = Object.LocalFileName;
    download.Progress = {};
    download.Results = {};
    Control.Post(OutputMsg);
}

void TDownloadThreadDispacher::PostDownloadInProgressMsgs(TSpiderJobControl& Control) {
    for (int i = 0; i < ThreadCount; ++i) {
        TFileDownloadThread& thread = *Threads[i];
        if (thread.State() != dsReadingData) continue;
        const auto now = Clock::now();
        if (now - Slots[i].LastProgress < ProgressPeriod) continue;
        const TFileDownloadInProgressData progress = thread.Progress();
        if (!progress.TransferStarted) continue;
        auto& download = BeginDownloadMessage(somDownloadProgress, Slots[i].DownloadNumber);
        download.Address = thread.Address();
        download.Referrer = thread.Referrer();
        download.LocalFile = thread.DestinationFile();
        download.Progress.ContentType = progress.ContentType;
        download.Progress.ExpectedSize = progress.ExpectedSize;
        download.Progress.BytesReceived = progress.BytesReceived;
        download.Progress.ElapsedMs = progress.ElapsedMs;
        download.Progress.ResumeOffset = progress.ResumeOffset;
        download.Progress.Valid = true;
        Control.Post(OutputMsg);
        Slots[i].LastProgress = now;
    }
}

void TDownloadThreadDispacher::ResetCompletedDownloadThreads(TSpiderJobControl& Control,
                                                             TSpiderObjectList& List,
                                                             const jobs::TCopyJob& Job) {
    for (int i = 0; i < ThreadCount; ++i) {
        if (Threads[i]->State() != dsFinished) continue;
        const TRedirect redirect = CollectResult(Control, List, i);
        PostDownloadStoppedMsg(Control, Slots[i].DownloadNumber, Threads[i]->CompleteData(), redirect,
                               Threads[i]->Distance() == -1);
        Threads[i]->MarkIdle();
        if (Job.PauseBetweenDownloads > 0) {
            Slots[i].PauseUntil = Clock::now() + std::chrono::seconds(Job.PauseBetweenDownloads);
            Slots[i].Pausing = true;
        }
    }
}

// Pages are parsed soon after their download, mostly in the order they came:
// their bodies wait in memory up to this many bytes in all, and a page that
// finds no room is read back from its file.
constexpr std::size_t MaxPageBodyBytes = std::size_t{8} << 20;

void TDownloadThreadDispacher::KeepPageBody(std::uint32_t SequenceNumber, std::string_view Body) {
    TakePageBody(SequenceNumber);  // what an earlier download of the object left is stale
    if (Body.empty() || PageBodyBytes + Body.size() > MaxPageBodyBytes) return;
    PageBodyBytes += Body.size();
    PageBodies.emplace(SequenceNumber, Body);
}

std::string TDownloadThreadDispacher::TakePageBody(std::uint32_t SequenceNumber) {
    const auto found = PageBodies.find(SequenceNumber);
    if (found == PageBodies.end()) return {};
    std::string body = std::move(found->second);
    PageBodies.erase(found);
    PageBodyBytes -= body.size();
    return body;
}

// Turns one finished download into facts about its object and queues its
// redirection target, unless the chain of redirects is already too long or
// the job's limits refuse to follow it.
TDownloadThreadDispacher::TRedirect TDownloadThreadDispacher::CollectResult(
    TSpiderJobControl& Control, TSpiderObjectList& List, int Thread) {
    const TFileDownloadThread& thread = *Threads[Thread];
    const TFileDownloadCompleteData& result = thread.CompleteData();
    TSpiderObject* object = List.FindBySequenceNumber(Slots[Thread].ObjectSequenceNumber);
    if (object) {
        List.SetLocalFileName(*object, result.LocalFile);
        object->Saved = result.SavedBytes >= 0;
        if (result.IsPage) List.SetIsPage(*object);
        KeepPageBody(object->SequenceNumber, Threads[Thread]->SavedPageBody());
    }
    if (thread.Distance() == -1) StartPageFile = result.LocalFile;
    if (!result.RedirectTarget.IsValid()) return {};
    const std::int32_t redirects = object ? object->Redirects + 1 : 1;
    if (redirects > MaxRedirectsInARow) return {TRedirectOutcome::TooMany};
    if (const auto refusal = Filter.CheckRedirect(thread.Distance(), redirects); refusal != dfPassed)
        return {TRedirectOutcome::Refused, refusal};
    try {
        const auto referrer = object ? object->Referrer : std::shared_ptr<const web::TURL>();
        // A moved stylesheet is still the page's stylesheet.
        const bool queued = Control.AddSpiderObject(List, result.RedirectTarget, referrer, thread.Distance(),
                                                    redirects, object && object->Embedded);
        // A redirected start moves the location restriction with it.
        if (thread.Distance() == -1) Filter.SetStartAddress(result.RedirectTarget);
        return {queued ? TRedirectOutcome::Queued : TRedirectOutcome::None};
    } catch (const TOutputQueueGaveUp&) {
        throw;
    } catch (const std::exception& error) {
        base::TraceLog.LogEntry(base::ttException, error.what(), "ResetCompletedDownloadThreads", "DownloadThreadDispacher");
        return {};
    }
}

void TDownloadThreadDispacher::PostDownloadStoppedMsg(TSpiderJobControl& Control, std::int32_t DownloadNumber,
                                                      const TFileDownloadCompleteData& Result,
                                                      TRedirect Redirect, bool OfStart) {
    auto& download = BeginDownloadMessage(somDownloadEnded, DownloadNumber);
    download.Address = Result.Address;
    download.Referrer = Result.Referrer;
    download.LocalFile = Result.LocalFile;
    download.Progress = {};
    auto& results = download.Results;
    results.OutcomeText.clear();
    if (Result.ExceptionRaised) {
        results.Outcome = doFailed;
        results.OutcomeText = Result.ExceptionText;
    } else if (!Stopping && !Result.Stopped) {
        results.Outcome = doCompleted;
    } else {
        results.Outcome = Control.AbortRequested() ? doAborted : doStopped;
    }
    results.RedirectTarget = Result.RedirectTarget;
    results.RedirectQueued = Redirect.Outcome == TRedirectOutcome::Queued;
    results.StatusCode = Result.StatusCode;
    results.StatusText = Result.StatusText;
    results.OsError = Result.OsError;
    results.HaveOsError = Result.HaveOsError;
    if (Redirect.Outcome == TRedirectOutcome::TooMany) {
        results.OsError = TooManyRedirectsError;
        results.HaveOsError = true;
    }
    // 0 means the filter never judged the address: no restriction refused it.
    // A redirect that the limits do not follow is refused like an address.
    const std::uint8_t filterResult =
        Redirect.Outcome == TRedirectOutcome::Refused ? Redirect.Refusal : Result.FilterResult;
    results.Filtered = filterResult != dfPassed && filterResult != 0;
    results.FilterReason = results.Filtered ? filterResult : 0;
    // A file this download just renamed into place needs no look on disk.
    results.PageSaved = Result.IsPage && (Result.SavedBytes >= 0 || base::FileExists(Result.LocalFile));
    results.SavedBytes = Result.SavedBytes;
    if (OfStart) StartDownload = download;
    Control.Post(OutputMsg);
}

void TDownloadThreadDispacher::ProcessDownloadCancelRequests(TSpiderJobControl& Control, jobs::TCopyJob& Job) {
    TSpiderInputMsg command;
    while (Input.TakeMatching(CancelKinds, JobNumber, &command))
        for (int i = 0; i < ThreadCount; ++i)
            if (Slots[i].DownloadNumber == command.DownloadNumber) StopDownload(command.Kind, i, Job);
}

// A download that has not begun its transfer is left alone: nothing is known
// yet about its type, and the user saw nothing of it.
void TDownloadThreadDispacher::StopDownload(std::uint8_t Kind, int Thread, jobs::TCopyJob& Job) {
    TFileDownloadThread& thread = *Threads[Thread];
    const TFileDownloadInProgressData progress = thread.Progress();
    if (thread.State() == dsReadingData) thread.Stop();
    if (!progress.TransferStarted) return;
    if (Kind == simStopHostDownload) Job.ExcludeHost(thread.Address().GetHostName());
    if (Kind == simStopFileExtDownload && !thread.Address().GetExtension().empty())
        Job.ExcludeFileExtension(thread.Address().GetExtension());
    if (Kind == simStopMimeTypeDownload) Job.ExcludeMimeType(progress.ContentType);
    Filter.SetJob(Job, false, false);
}

} // namespace engine
