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
        for (int s = 0; s < SlotCount; ++s)
            if (thread->Slot(s).State() != dsIdle) return false;
    return true;
}

// A thread with nothing to do comes first, so that all four fetch at once;
// then a free slot behind a running download.
bool TDownloadThreadDispacher::SlotForWork(int& Thread, int& Slot) const {
    for (const bool behind : {false, true}) {
        if (behind && !QueueBehindRunning) break;
        for (int i = 0; i < ThreadCount; ++i) {
            if (Slots[i].Pausing) continue;
            int idle = -1, busy = 0;
            for (int s = 0; s < SlotCount; ++s) {
                if (Threads[i]->Slot(s).State() == dsIdle) idle = s;
                else ++busy;
            }
            if (idle >= 0 && (busy == 0 || behind)) {
                Thread = i;
                Slot = idle;
                return true;
            }
        }
    }
    return false;
}

void TDownloadThreadDispacher::RunCycle(TSpiderJobControl& Control, TSpiderObjectList& List,
                                        std::int32_t Number, jobs::TCopyJob& Job,
                                        const std::function<bool()>& WhileWaiting) {
    JobNumber = Number;
    Stopping = false;
    QueueBehindRunning = Job.PauseBetweenDownloads <= 0;
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
                    for (int i = 0; i < ThreadCount; ++i) TakeBack(List, i, Threads[i]->Stop());
                    Stopping = true;
                }
                ProcessDownloadCancelRequests(Control, List, Job);
                Control.CheckPauseAndResume();
            }
            // Nothing new begins while the job is paused.
            if (Control.Paused())
                for (int i = 0; i < ThreadCount; ++i) TakeBack(List, i, Threads[i]->Withdraw());
            // Collected first, so that the threads it frees get work in this
            // same pass instead of waiting for a wake-up that has already come.
            ResetCompletedDownloadThreads(Control, List, Job);
            ReportBegunDownloads(Control, List);
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
                for (int s = 0; s < SlotCount; ++s)
                    if (thread->Slot(s).State() == dsFinished) thread->MarkIdle(s);
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
        int thread = 0, slot = 0;
        if (!SlotForWork(thread, slot)) return false;
        Assign(*next, thread, slot, address);
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
        for (int s = 0; s < SlotCount; ++s) {
            const TDownloadSlot& slot = Threads[i]->Slot(s);
            if (slot.State() != dsReadingData || !slot.Progress().TransferStarted) continue;
            deadline = std::min(deadline, std::max(now, Slots[i].Lanes[s].LastProgress + ProgressPeriod));
        }
    }
    return deadline;
}

void TDownloadThreadDispacher::Assign(TSpiderObject& Object, int Thread, int Slot, const web::TURL& Address) {
    TLane& lane = Slots[Thread].Lanes[Slot];
    lane.ObjectSequenceNumber = Object.SequenceNumber;
    lane.DownloadNumber = 0;
    lane.LastProgress = {};
    Threads[Thread]->StartDownload(Slot, Address, Object.LocalFileName, Object.Distance, Object.Referrer.get(),
                                   Object.Embedded);
}

// Downloads that a thread gave back before beginning them are handed out again.
void TDownloadThreadDispacher::TakeBack(TSpiderObjectList& List, int Thread, unsigned Withdrawn) {
    for (int s = 0; s < SlotCount; ++s)
        if ((Withdrawn & (1u << s)) != 0)
            if (TSpiderObject* object = List.FindBySequenceNumber(Slots[Thread].Lanes[s].ObjectSequenceNumber))
                List.SetDispatched(*object, false);
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

// A download is reported as started once its thread has begun it, and only
// after the end of the one before it on that thread, so that the reports
// never show more downloads running than there are threads.
void TDownloadThreadDispacher::ReportStart(TSpiderJobControl& Control, TSpiderObjectList& List, int Thread,
                                           int Slot) {
    TLane& lane = Slots[Thread].Lanes[Slot];
    lane.DownloadNumber = ++DownloadCounter;
    if (const TSpiderObject* object = List.FindBySequenceNumber(lane.ObjectSequenceNumber))
        PostDownloadStartedMessage(Control, *object, lane.DownloadNumber);
}

void TDownloadThreadDispacher::ReportBegunDownloads(TSpiderJobControl& Control, TSpiderObjectList& List) {
    for (int i = 0; i < ThreadCount; ++i) {
        for (const int s : Threads[i]->InHandOverOrder()) {
            const TFileDownloadState state = Threads[i]->Slot(s).State();
            if (state == dsFinished) break;  // its end comes first, in the next pass
            if (state == dsIdle || state == dsQueued || Slots[i].Lanes[s].DownloadNumber != 0) continue;
            ReportStart(Control, List, i, s);
        }
    }
}

void TDownloadThreadDispacher::PostDownloadInProgressMsgs(TSpiderJobControl& Control) {
    for (int i = 0; i < ThreadCount; ++i) {
        for (int s = 0; s < SlotCount; ++s) {
            const TDownloadSlot& slot = Threads[i]->Slot(s);
            TLane& lane = Slots[i].Lanes[s];
            if (slot.State() != dsReadingData || lane.DownloadNumber == 0) continue;
            const auto now = Clock::now();
            if (now - lane.LastProgress < ProgressPeriod) continue;
            if (PostProgress(Control, slot, lane.DownloadNumber)) lane.LastProgress = now;
        }
    }
}

// False when the transfer has not begun: there is nothing to tell yet.
bool TDownloadThreadDispacher::PostProgress(TSpiderJobControl& Control, const TDownloadSlot& Slot,
                                            std::int32_t DownloadNumber) {
    const TFileDownloadInProgressData progress = Slot.Progress();
    if (!progress.TransferStarted) return false;
    auto& download = BeginDownloadMessage(somDownloadProgress, DownloadNumber);
    download.Address = Slot.Address();
    download.Referrer = Slot.Referrer();
    download.LocalFile = Slot.DestinationFile();
    download.Progress.ContentType = progress.ContentType;
    download.Progress.ExpectedSize = progress.ExpectedSize;
    download.Progress.BytesReceived = progress.BytesReceived;
    download.Progress.ElapsedMs = progress.ElapsedMs;
    download.Progress.ResumeOffset = progress.ResumeOffset;
    download.Progress.Valid = true;
    Control.Post(OutputMsg);
    return true;
}

void TDownloadThreadDispacher::ResetCompletedDownloadThreads(TSpiderJobControl& Control,
                                                             TSpiderObjectList& List,
                                                             const jobs::TCopyJob& Job) {
    for (int i = 0; i < ThreadCount; ++i) {
        for (const int s : Threads[i]->InHandOverOrder()) {
            const TDownloadSlot& slot = Threads[i]->Slot(s);
            if (slot.State() != dsFinished) continue;
            if (Slots[i].Lanes[s].DownloadNumber == 0) ReportStart(Control, List, i, s);
            const TRedirect redirect = CollectResult(Control, List, i, s);
            PostDownloadStoppedMsg(Control, Slots[i].Lanes[s].DownloadNumber, slot.CompleteData(), redirect,
                                   slot.Distance() == -1);
            Threads[i]->MarkIdle(s);
            if (Job.PauseBetweenDownloads > 0) {
                Slots[i].PauseUntil = Clock::now() + std::chrono::seconds(Job.PauseBetweenDownloads);
                Slots[i].Pausing = true;
            }
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
    TSpiderJobControl& Control, TSpiderObjectList& List, int Thread, int Slot) {
    const TDownloadSlot& download = Threads[Thread]->Slot(Slot);
    const TFileDownloadCompleteData& result = download.CompleteData();
    TSpiderObject* object = List.FindBySequenceNumber(Slots[Thread].Lanes[Slot].ObjectSequenceNumber);
    if (object) {
        List.SetLocalFileName(*object, result.LocalFile);
        object->Saved = result.SavedBytes >= 0;
        if (result.IsPage) List.SetIsPage(*object);
        KeepPageBody(object->SequenceNumber, download.SavedPageBody());
    }
    if (download.Distance() == -1) StartPageFile = result.LocalFile;
    if (!result.RedirectTarget.IsValid()) return {};
    const std::int32_t redirects = object ? object->Redirects + 1 : 1;
    if (redirects > MaxRedirectsInARow) return {TRedirectOutcome::TooMany};
    if (const auto refusal = Filter.CheckRedirect(download.Distance(), redirects); refusal != dfPassed)
        return {TRedirectOutcome::Refused, refusal};
    try {
        const auto referrer = object ? object->Referrer : std::shared_ptr<const web::TURL>();
        // A moved stylesheet is still the page's stylesheet.
        const bool queued = Control.AddSpiderObject(List, result.RedirectTarget, referrer, download.Distance(),
                                                    redirects, object && object->Embedded);
        // A redirected start moves the location restriction with it.
        if (download.Distance() == -1) Filter.SetStartAddress(result.RedirectTarget);
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

void TDownloadThreadDispacher::ProcessDownloadCancelRequests(TSpiderJobControl& Control, TSpiderObjectList& List,
                                                             jobs::TCopyJob& Job) {
    TSpiderInputMsg command;
    while (Input.TakeMatching(CancelKinds, JobNumber, &command))
        for (int i = 0; i < ThreadCount; ++i)
            for (int s = 0; s < SlotCount; ++s)
                if (Slots[i].Lanes[s].DownloadNumber == command.DownloadNumber)
                    StopDownload(command.Kind, List, i, s, Job);
}

// A download that has not begun its transfer is left alone: nothing is known
// yet about its type, and the user saw nothing of it. One waiting behind it
// is handed out again.
void TDownloadThreadDispacher::StopDownload(std::uint8_t Kind, TSpiderObjectList& List, int Thread, int Slot,
                                            jobs::TCopyJob& Job) {
    const TDownloadSlot& download = Threads[Thread]->Slot(Slot);
    const TFileDownloadInProgressData progress = download.Progress();
    if (download.State() == dsReadingData) TakeBack(List, Thread, Threads[Thread]->Stop());
    if (!progress.TransferStarted) return;
    if (Kind == simStopHostDownload) Job.ExcludeHost(download.Address().GetHostName());
    if (Kind == simStopFileExtDownload && !download.Address().GetExtension().empty())
        Job.ExcludeFileExtension(download.Address().GetExtension());
    if (Kind == simStopMimeTypeDownload) Job.ExcludeMimeType(progress.ContentType);
    Filter.SetJob(Job, false, false);
}

} // namespace engine
