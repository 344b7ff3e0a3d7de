#include "engine/SpiderThread.h"

#include "engine/DestinationLock.h"
#include "engine/DownloadFilter.h"
#include "engine/MIMEExtensions.h"
#include "engine/RewritePool.h"
#include "engine/SpiderObjectList.h"
#include "base/AppTraceLog.h"
#include "base/ThreadPriority.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputMsgQueue.h"
#include "web/StartingURL.h"
#include "engine/FlattenFolder.h"

#include <chrono>

#include <sys/resource.h>

namespace engine {

namespace {

using namespace messaging;

constexpr auto IdlePoll = std::chrono::milliseconds(100);

// The referrer the job names for its starting address; null when it names none.
std::shared_ptr<const web::TURL> StartingReferrer(const jobs::TCopyJob& Job) {
    auto referrer = std::make_shared<web::TURL>();
    if (Job.StartingReferrer.empty() || !referrer->SetFullURL(Job.StartingReferrer)) return nullptr;
    return referrer;
}

// The starting address's download ended in an error rather than with an
// answer or a filter's refusal: the job copied nothing it was asked for.
bool StartFailed(const TFileDownloadMsg& Start) {
    const auto& results = Start.Results;
    return results.Outcome == doFailed || (results.Outcome == doCompleted && results.HaveOsError);
}

} // namespace

TSpiderThread::TSpiderThread(TSpiderInputMessageQueue& Input, TSpiderOutputMessageQueue& Output,
                             TDownloadFilter& Filter, TMIMEExtensionsTable& MIMETable,
                             TDownloadThreadServices Downloads)
    : Input(Input), Output(Output), Filter(Filter), MIMETable(MIMETable),
      LinkParser(MIMETable, Downloads.MaxPageScanSize),
      Dispatcher(std::move(Downloads), Filter, MIMETable, Input, Wake) {
    Input.SetPostListener([this] { Wake.Notify(); });
}

TSpiderThread::~TSpiderThread() {
    Terminate();
    Input.SetPostListener({});
}

void TSpiderThread::Resume() {
    if (!Worker.joinable()) Worker = std::jthread([this](std::stop_token token) { Execute(token); });
}

void TSpiderThread::Terminate() {
    if (!Worker.joinable()) return;
    Worker.request_stop();
    Wake.Notify();
    Worker.join();
}

void TSpiderThread::Execute(std::stop_token Token) {
    base::LowerThisThreadsPriority();
    TSpiderInputMsg msg;
    while (!Token.stop_requested()) {
        try {
            const std::uint64_t seen = Wake.Count();
            if (!Input.TakeFirst(msg)) {
                Wake.WaitUntil(seen, std::chrono::steady_clock::now() + IdlePoll);
                continue;
            }
            if (msg.Kind == simStartJob) RunJob(msg);
            else
                base::TraceLog.LogEntry(base::ttWarning, "Ignored spider input msg " + std::to_string(msg.Kind),
                                  "Execute", "SpiderThread");
        } catch (const std::exception& error) {
            base::TraceLog.LogEntry(base::ttException, error.what(), "Execute", "SpiderThread");
        }
    }
    IsFinished = true;
}

void TSpiderThread::RunJob(const TSpiderInputMsg& Start) {
    Job.Assign(Start.Job);
    JobNumberNow = Start.JobNumber;
    OutputMsg = TSpiderOutputMsg();
    std::uint8_t outcome = joFailed;
    try {
        outcome = CrawlAndFinish(Start);
    } catch (const std::exception& error) {
        base::TraceLog.LogEntry(base::ttException, error.what(), "RunJob", "SpiderThread");
        // Nobody may be reading the queue: clear it, so that the end still gets through.
        Output.ClearMessageQueue();
        outcome = joFailed;
    }
    try {
        PostJobMessage(somJobEnded, outcome);
    } catch (const std::exception& error) {
        base::TraceLog.LogEntry(base::ttException, error.what(), "RunJob", "SpiderThread");
    }
    JobNumberNow = 0;
}

std::uint8_t TSpiderThread::CrawlAndFinish(const TSpiderInputMsg& Start) {
    PostJobMessage(somJobStarted);
    // Held to the end of the job, flattening and pruning included.
    const TDestinationLock destination(Job.GetDestinationPath());
    if (!destination.Locked()) {
        base::TraceLog.LogEntry(base::ttWarning, destination.ErrorText(), "RunJob", "SpiderThread");
        OutputMsg.JobErrorText = destination.ErrorText();
        return joFailed;
    }
    IsStopRequested = IsAbortRequested = IsPaused = false;
    MIMETable.SetEnabled(Job.DownloadOptions.AddFileExtensions);
    Filter.SetJob(Job, true, true);
    TSpiderObjectList list;
    AddSpiderObject(list, web::GetStartingURL(Job), StartingReferrer(Job), -1, 0, false);
    Dispatcher.BeginJob();
    jobs::TDownloadOptions options;
    options.HTTPProxy = Start.HTTPProxy;
    options.FTPProxy = Start.FTPProxy;
    options.JobOptions = Job.DownloadOptions;
    do {
        Dispatcher.SetOptions(options);
        Dispatcher.RunCycle(*this, list, JobNumberNow, Job, [&] { return ParsePageMeanwhile(list); });
        list.ReleaseHeldDownloads();
        ParsePages(list);
    } while (!IsStopRequested && !IsAbortRequested && list.HasUndispatched());
    if (Job.RewriteLinks) RewritePages(list);
    OutputMsg.StartPageFile = Dispatcher.GetStartPage();
    FlattenAndPrune();
    if (IsAbortRequested) return joAborted;
    if (IsStopRequested) return joStopped;
    if (!StartFailed(Dispatcher.GetStartDownload())) return joCompleted;
    // No start page exists; the end report says why instead.
    OutputMsg.StartPageFile.clear();
    OutputMsg.FileDownload = Dispatcher.GetStartDownload();
    return joFailed;
}

void TSpiderThread::FlattenAndPrune() {
    const std::string folder = Job.GetDestinationPath() + "/";
    if (Job.FlattenDestinationFolders && !IsAbortRequested) {
        PostJobMessage(somFlattenStarted);
        try {
            engine::FlattenFolder(*this, JobNumberNow, folder, OutputMsg.StartPageFile);
        } catch (const TOutputQueueGaveUp&) {
            throw;
        } catch (const std::exception& error) {
            base::TraceLog.LogEntry(base::ttException, error.what(), "FlattenFolder", "SpiderThread");
        }
        PostJobMessage(somFlattenEnded);
    }
    if (Job.PruneFolders && !IsAbortRequested) {
        PostJobMessage(somPruneStarted);
        try {
            engine::PruneEmptyChildFolders(*this, JobNumberNow, folder, false);
        } catch (const TOutputQueueGaveUp&) {
            throw;
        } catch (const std::exception& error) {
            base::TraceLog.LogEntry(base::ttException, error.what(), "PruneEmptyChildFolders", "SpiderThread");
        }
        PostJobMessage(somPruneEnded);
    }
}

// Every saved page is parsed once, also after a stop; an abort ends the pass.
void TSpiderThread::ParsePages(TSpiderObjectList& List) {
    for (;;) {
        WaitWhilePaused(*this);
        if (IsAbortRequested || !ParseNextPage(List)) return;
    }
}

// False when no page waits to be parsed.
bool TSpiderThread::ParseNextPage(TSpiderObjectList& List) {
    TSpiderObject* page = List.FirstUnparsedPage();
    if (!page) return false;
    List.SetLinksParsed(*page);
    LinkParser.ParseLinksIntoList(*this, *page, List, Job.HonorRobotNoFollowTags, Job.HonorRobotNoIndexTags,
                                  Dispatcher.TakePageBody(page->SequenceNumber));
    return true;
}

// The spider parses the pages saved so far while the downloads run, instead
// of waiting for them; the crawl used to alternate between downloading with
// the spider idle and parsing with every download thread idle. What a page
// links to waits for the next cycle, as when it was parsed after this one.
bool TSpiderThread::ParsePageMeanwhile(TSpiderObjectList& List) {
    if (IsPaused || IsAbortRequested) return false;
    List.HoldNewDownloads(true);
    const bool parsed = ParseNextPage(List);
    List.HoldNewDownloads(false);
    return parsed;
}

// Pages are independent once the crawl is over: they are rewritten on every
// core, while this thread takes the commands and passes them on. With one
// core this thread rewrites them itself.
void TSpiderThread::RewritePages(TSpiderObjectList& List) {
    TRewriteList pages(List);
    const unsigned threads = RewriteThreadCount(pages.Count());
    if (threads <= 1) {
        TRewritePass pass(RewriteCount, pages.KnownSaved());  // its scratch file is gone before flattening and pruning look at the folders
        RewriteNextPages(*this, LinkParser, pass, Job, pages);
        return;
    }
    TRewritePool pool({Output, LinkParser, Job, RewriteCount, [this] { Wake.Notify(); }}, pages, threads);
    for (;;) {
        CheckPauseAndResume();
        CheckStopAndAbort();
        pool.Follow(IsPaused, IsAbortRequested);
        if (pool.Finished()) break;
        WaitForCommand();
    }
    pool.Join();
}

void TSpiderThread::CheckPauseAndResume() {
    // Every wait for a command follows this check: a command posted from here
    // on must end that wait, not be left for the next poll.
    WakeSeenAtCheck = Wake.Count();
    if (Input.TakeMatching(SpiderInputKinds({simPauseJob}), JobNumberNow, nullptr)) {
        IsPaused = true;
        PostJobMessage(somJobPaused);
    }
    if (Input.TakeMatching(SpiderInputKinds({simResumeJob}), JobNumberNow, nullptr)) {
        IsPaused = false;
        PostJobMessage(somJobResumed);
    }
}

void TSpiderThread::CheckStopAndAbort() {
    if (Input.TakeMatching(SpiderInputKinds({simAbortJob}), JobNumberNow, nullptr)) IsAbortRequested = true;
    if (Input.TakeMatching(SpiderInputKinds({simStopJob}), JobNumberNow, nullptr)) IsStopRequested = true;
}

void TSpiderThread::WaitForCommand() {
    Wake.WaitUntil(WakeSeenAtCheck, std::chrono::steady_clock::now() + IdlePoll);
}

bool TSpiderThread::AddSpiderObject(TSpiderObjectList& List, const web::TURL& Address,
                                    const std::shared_ptr<const web::TURL>& Referrer, std::int32_t Distance,
                                    std::int32_t Redirects, bool Embedded) {
    TSpiderObject object;
    object.Address = web::TPackedURL(Address);
    object.Referrer = Referrer;
    object.Distance = Distance;
    object.Redirects = Redirects;
    object.Embedded = Embedded;
    object.LocalFileName = Filter.LocalFileName(Address);
    const auto outcome = List.AddIfNotPresent(std::move(object));
    return outcome != TSpiderObjectList::TAddOutcome::Known;
}

void TSpiderThread::Post(const TSpiderOutputMsg& Msg) {
    if (!Output.TryToPostMessage(Msg)) throw TOutputQueueGaveUp();
}

void TSpiderThread::PostJobMessage(std::uint8_t Kind, std::uint8_t Status) {
    OutputMsg.Kind = Kind;
    OutputMsg.JobNumber = JobNumberNow;
    OutputMsg.Status = Status;
    if (Kind == somJobStarted || Kind == somJobEnded) OutputMsg.Job = Job;
    Post(OutputMsg);
}

void TSpiderThread::PostFileMoved(std::int32_t JobNumber, const std::string& SourceFile,
                                  const std::string& DestinationFile) {
    OutputMsg.Flattening.SourceFile = SourceFile;
    OutputMsg.Flattening.DestinationFile = DestinationFile;
    PostJobMessage(somFlattenFileMoved);
}

void TSpiderThread::PostFolderExamined(std::int32_t JobNumber, const std::string& FolderPath) {
    OutputMsg.FolderPath = FolderPath;
    PostJobMessage(somPruneFolder);
}

} // namespace engine
