#pragma once

#include "queue/JobQueueTypes.h"
#include "queue/ObserverList.h"
#include "queue/StartCommand.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace jobs {
class TSavedOptions;
}
namespace messaging {
class TSpiderInputMessageQueue;
class TSpiderOutputMsg;
class TSpiderOutputSplitter;
} // namespace messaging

namespace queue {

// What AddCopyJob answers.
enum TAddJobResult : int {
    ajAdded = 0,
    ajQueueFull = 1, // also: the queue is hidden and holds its one job already
    ajRefused = 2,   // starting address or destination folder not acceptable
};

// How the queue reaches the spider thread when the program closes.
struct TSpiderShutdown {
    std::function<void()> RequestTerminate; // asks the thread to leave its loop, without waiting
    std::function<bool()> Finished;         // the thread's loop has ended
};

// The job queue: the jobs the user added, each with its number and status,
// run one at a time by the spider thread. Every job starts here. The queue
// talks to the spider only through the input queue and learns about jobs from
// the job-started and job-ended reports. Shown, it holds up to 100 jobs that
// start by command or automation; hidden (the default), it holds one job,
// starts it at once and drops it when it ends.
//
// A model: commands name a row, AllowedCommands says which a row takes now,
// and observers hear of every row and queue-wide change. Selection, cursor
// and caption are the views' business.
//
// Not thread-safe: everything runs on the front end's thread, which also
// delivers the spider's reports (OnSpiderOutput).
class TJobQueue {
  public:
    static constexpr int Capacity = 100;

    // Input, Options and Prompts are borrowed and must outlive the queue.
    TJobQueue(messaging::TSpiderInputMessageQueue& Input, const jobs::TSavedOptions& Options,
              TJobQueuePrompts& Prompts);
    ~TJobQueue();
    TJobQueue(const TJobQueue&) = delete;
    TJobQueue& operator=(const TJobQueue&) = delete;

    // Borrowed until unsubscribed; observers hear events in subscription order.
    void Subscribe(TJobQueueObserver& Observer);
    void Unsubscribe(TJobQueueObserver& Observer);

    // The mode; the desktop program follows the "ShowJobQueue" setting.
    void SetQueueShown(bool Shown) { Shown_ = Shown; }
    bool QueueShown() const { return Shown_; }
    // Borrowed; null for none. Must outlive the queue or be reset first.
    void SetAutomation(TJobQueueAutomation* Automation) { Automation_ = Automation; }
    // Put over the settings in every start command from now on.
    void SetStartOverrides(const TStartOverrides& Overrides) { Overrides_ = Overrides; }

    // Subscribes to job-started and job-ended reports.
    bool InitJobQueue(messaging::TSpiderOutputSplitter& Splitter);
    // The subscription's handler; public so a front end can forward reports itself.
    void OnSpiderOutput(const messaging::TSpiderOutputMsg& Msg);

    TAddJobResult AddCopyJob(const jobs::TCopyJob& Job);
    // May set the destination to the documents folder; may create the destination.
    bool ValidateJob(jobs::TCopyJob& Job);
    bool AddJobFile(const std::string& Path);

    // The commands on one row; each does nothing (false) where AllowedCommands
    // does not allow it.
    TJobCommands AllowedCommands(int Index) const;
    bool StartJob(int Index);
    bool StopJob(int Index);
    bool RemoveJob(int Index);
    // The entry goes Delta places down (up when negative), staying in the queue.
    bool MoveJob(int Index, int Delta);
    // Posts Abort for a Busy entry, also while a command is pending: an abort
    // must get through after a stop that the spider has not answered yet.
    bool AbortJob(int Index);
    // Starts the first Queued entry from the top, if any.
    void StartNextQueuedJob();

    void RemoveFinishedJobs();
    void RemoveIdleJobs();
    int FindBusyJob() const;
    int FindJobIndex(std::int32_t JobNumber) const;
    int FindFirstQueuedJob() const;

    // Tray hint and busy state after a job, finished jobs removed when asked:
    // the part of the after-job step every mode shares.
    void ResetAfterJob(bool RemoveFinished);
    std::string TrayHint() const;

    // Aborts a busy job and waits (at most about two seconds) for the spider thread.
    void PrepareForAppShutdown(const TSpiderShutdown& Spider);

    int Count() const { return Used; }
    const TCopyJobAndStatus& Entry(int Index) const;
    bool CommandPending() const { return IsCommandPending; }
    bool Busy() const { return IsBusy; }
    bool ShuttingDown() const { return IsShuttingDown; }
    bool FinishedNormally() const { return IsFinishedNormally; }
    std::int32_t NextJobNumber() const { return NextNumber; }
    // The patience of PrepareForAppShutdown; tests shorten it.
    void SetShutdownWait(std::chrono::milliseconds Wait) { ShutdownWait = Wait; }

  private:
    void OnJobStarted(const messaging::TSpiderOutputMsg& Msg);
    void OnJobEnded(const messaging::TSpiderOutputMsg& Msg);
    void AfterJobStopped();
    void ChangeJobStatusTo(std::int32_t JobNumber, std::int32_t Status);
    void ChooseUniqueSubfolder(jobs::TCopyJob& Job);
    void EraseRow(int Index);
    void SetCommandPending(bool Pending);
    void SetBusy(bool Busy);
    void UpdateTrayHint();
    bool IsRow(int Index) const { return Index >= 0 && Index < Used; }

    messaging::TSpiderInputMessageQueue& Input;
    const jobs::TSavedOptions& Options;
    TJobQueuePrompts& Prompts;
    TObserverList<TJobQueueObserver> Observers; // borrowed
    TJobQueueAutomation* Automation_ = nullptr;
    TStartOverrides Overrides_;
    // Built once with the queue and never reallocated; [0, Used) in display order.
    std::unique_ptr<std::array<TCopyJobAndStatus, Capacity>> Entries;
    int Used = 0;
    std::int32_t NextNumber = 1;     // never reused within the run
    bool IsCommandPending = false;   // a start or stop awaits the spider's answer
    bool IsBusy = false;             // from a job's start report to the end of its after-job step
    bool IsShuttingDown = false;     // refuses every further start; never cleared
    bool IsFinishedNormally = false; // the last job ended complete, stopped or aborted
    bool Shown_ = false;
    std::string LastTrayHint;
    std::chrono::milliseconds ShutdownWait{2000};
};

} // namespace queue
