#pragma once

#include "engine/DownloadThreadDispacher.h"
#include "engine/SpiderJobControl.h"
#include "jobs/JobTypes.h"
#include "messaging/SpiderOutputMsgTypes.h"
#include "engine/LinkParser.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <thread>

namespace messaging {
class TSpiderInputMessageQueue;
class TSpiderInputMsg;
class TSpiderOutputMessageQueue;
} // namespace messaging

namespace engine {

class TDownloadFilter;
class TMIMEExtensionsTable;
class TSpiderObjectList;

// The one worker that runs copy jobs, one at a time: it takes commands from
// the input queue, keeps the job's object list, lets the dispatcher download,
// gives saved pages to link extraction, then rewrites, flattens and prunes,
// and reports every step through the output queue.
//
// Only this thread touches the object list, the running job and the three
// request flags; others learn about the job from output messages.
class TSpiderThread final : public TSpiderJobControl {
public:
    TSpiderThread(messaging::TSpiderInputMessageQueue& Input, messaging::TSpiderOutputMessageQueue& Output,
                  TDownloadFilter& Filter, TMIMEExtensionsTable& MIMETable,
                  TDownloadThreadServices Downloads);
    // Requests termination and waits for the thread.
    ~TSpiderThread() override;
    TSpiderThread(const TSpiderThread&) = delete;
    TSpiderThread& operator=(const TSpiderThread&) = delete;

    // Created idle; starts taking commands when resumed.
    void Resume();
    // Requests termination and waits until the thread has ended.
    void Terminate();
    bool Finished() const { return IsFinished.load(); }
    std::int32_t CurrentJobNumber() const { return JobNumberNow.load(); }

    // TSpiderJobControl, for the parts that run on this thread.
    void CheckPauseAndResume() override;
    void CheckStopAndAbort() override;
    bool Paused() const override { return IsPaused; }
    bool StopRequested() const override { return IsStopRequested; }
    bool AbortRequested() const override { return IsAbortRequested; }
    void WaitForCommand() override;
    bool AddSpiderObject(TSpiderObjectList& List, const web::TURL& Address,
                         const std::shared_ptr<const web::TURL>& Referrer, std::int32_t Distance,
                         std::int32_t Redirects, bool Embedded) override;
    void Post(const messaging::TSpiderOutputMsg& Msg) override;
    void PostFileMoved(std::int32_t JobNumber, const std::string& SourceFile,
                       const std::string& DestinationFile) override;
    void PostFolderExamined(std::int32_t JobNumber, const std::string& FolderPath) override;

private:
    void Execute(std::stop_token Token);
    void RunJob(const messaging::TSpiderInputMsg& Start);
    std::uint8_t CrawlAndFinish(const messaging::TSpiderInputMsg& Start);
    void ParsePages(TSpiderObjectList& List);
    bool ParseNextPage(TSpiderObjectList& List);
    bool ParsePageMeanwhile(TSpiderObjectList& List);
    void RewritePages(TSpiderObjectList& List);
    void FlattenAndPrune();
    void PostJobMessage(std::uint8_t Kind, std::uint8_t Status = 0);

    messaging::TSpiderInputMessageQueue& Input;
    messaging::TSpiderOutputMessageQueue& Output;
    TDownloadFilter& Filter;
    TMIMEExtensionsTable& MIMETable;
    // Woken by every posted command and every download thread state change.
    TWakeSignal Wake;
    std::uint64_t WakeSeenAtCheck = 0;  // Wake's count when the last pause check began
    engine::TLinkParser LinkParser;  // before the dispatcher, which takes the download services
    TDownloadThreadDispacher Dispatcher;

    // Spider thread only: the running job and its request flags.
    jobs::TCopyJob Job;
    bool IsStopRequested = false;
    bool IsAbortRequested = false;
    bool IsPaused = false;
    messaging::TSpiderOutputMsg OutputMsg;  // reused for every message this thread posts
    std::atomic<std::int32_t> RewriteCount{0};  // pages rewritten since the program started, by any thread

    std::atomic<std::int32_t> JobNumberNow{0};  // 0 while no job runs; read by any thread
    std::atomic<bool> IsFinished{false};        // set when the thread body has returned
    std::jthread Worker;                        // last: started by Resume, joined before the rest goes
};

} // namespace engine
