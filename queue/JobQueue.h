#pragma once

#include "queue/JobQueueTypes.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

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
    ajQueueFull = 1,  // also: the queue is hidden and holds its one job already
    ajRefused = 2,    // starting address or destination folder not acceptable
};

// The keys the job list reacts to, always together with Ctrl.
enum class TQueueKey { Up, Down, Delete, Enter, Space, Other };

// Which of the five tool buttons may be pressed for the selected row.
struct TJobQueueButtons {
    bool MoveUp = false;
    bool MoveDown = false;
    bool Start = false;
    bool Stop = false;
    bool Delete = false;
};

// How the queue reaches the spider thread when the program closes.
struct TSpiderShutdown {
    std::function<void()> RequestTerminate;  // asks the thread to leave its loop, without waiting
    std::function<bool()> Finished;          // the thread's loop has ended
};

// The job queue: the jobs the user added, each with its number and status,
// run one at a time by the spider thread. Every job starts here. The queue
// talks to the spider only through the input queue and learns about jobs from
// the job-started and job-ended reports. Shown, it holds up to 100 jobs that
// start by command or automation; hidden (the default), it holds one job,
// starts it at once and drops it when it ends.
//
// Not thread-safe: everything runs on the front end's thread, which also
// delivers the spider's reports (OnSpiderOutput).
class TJobQueue {
public:
    static constexpr int Capacity = 100;

    TJobQueue(TJobQueueFrontEnd& FrontEnd, messaging::TSpiderInputMessageQueue& Input,
              jobs::TSavedOptions& Options);
    ~TJobQueue();
    TJobQueue(const TJobQueue&) = delete;
    TJobQueue& operator=(const TJobQueue&) = delete;

    // The mode; the desktop program follows the "ShowJobQueue" setting.
    void SetQueueShown(bool Shown) { Shown_ = Shown; }
    bool QueueShown() const { return Shown_; }
    // Borrowed; null for none. Must outlive the queue or be reset first.
    void SetAutomation(TJobQueueAutomation* Automation) { Automation_ = Automation; }

    // Subscribes to job-started and job-ended reports.
    bool InitJobQueue(messaging::TSpiderOutputSplitter& Splitter);
    // The subscription's handler; public so a front end can forward reports itself.
    void OnSpiderOutput(const messaging::TSpiderOutputMsg& Msg);

    TAddJobResult AddCopyJob(const jobs::TCopyJob& Job);
    // May set the destination to the documents folder; may create the destination.
    bool ValidateJob(jobs::TCopyJob& Job);
    bool AddJobFile(const std::string& Path);
    // Starts the first Queued entry from the top, if any.
    void StartNextQueuedJob();

    // The selected row (-1: none), as the view shows it.
    void SelectRow(int Index);
    int SelectedIndex() const { return Selected; }

    // The tool buttons and their keys, acting on the selected row.
    void StartSelectedJob();
    void StopSelectedJob();
    void DeleteSelectedJob();
    void MoveSelectedUp();
    void MoveSelectedDown();
    // Ctrl+Up/Down/Delete/Enter/Space; false when the key is left to the list.
    bool KeyDown(TQueueKey Key, bool CtrlHeld);
    TJobQueueButtons UpdateButtons() const;
    // Posts Abort for a Busy entry, also while a command is pending: an abort
    // must get through after a stop that the spider has not answered yet.
    bool AbortJob(int Index);

    void RemoveJob(int Index);
    void RemoveFinishedJobs();
    void RemoveIdleJobs();
    int FindBusyJob() const;
    int FindJobIndex(std::int32_t JobNumber) const;
    int FindFirstQueuedJob() const;
    void ChangeJobStatusTo(std::int32_t JobNumber, std::int32_t Status);

    // Tray hint, caption and busy icon after a job, finished jobs removed when
    // asked, list rebuilt: the part of the after-job step every mode shares.
    void ResetAfterJob(bool RemoveFinished);
    std::string TrayHint() const;
    void UpdateTrayHint();
    void RefreshJobList();

    // Aborts a busy job and waits (at most about two seconds) for the spider thread.
    void PrepareForAppShutdown(const TSpiderShutdown& Spider);

    int Count() const { return Used; }
    const TCopyJobAndStatus& Entry(int Index) const;
    bool CommandPending() const { return IsCommandPending; }
    bool ShuttingDown() const { return IsShuttingDown; }
    bool FinishedNormally() const { return IsFinishedNormally; }
    std::int32_t NextJobNumber() const { return NextNumber; }
    // The patience of PrepareForAppShutdown; tests shorten it.
    void SetShutdownWait(std::chrono::milliseconds Wait) { ShutdownWait = Wait; }

private:
    void OnJobStarted(const messaging::TSpiderOutputMsg& Msg);
    void OnJobEnded(const messaging::TSpiderOutputMsg& Msg);
    void AfterJobStopped();
    void ChooseUniqueSubfolder(jobs::TCopyJob& Job);
    bool PostStart(const TCopyJobAndStatus& Entry);
    void SwapEntries(int A, int B);

    TJobQueueFrontEnd& FrontEnd;
    messaging::TSpiderInputMessageQueue& Input;
    const jobs::TSavedOptions& Options;
    TJobQueueAutomation* Automation_ = nullptr;
    // Built once with the queue and never reallocated; [0, Used) in display order.
    std::unique_ptr<std::array<TCopyJobAndStatus, Capacity>> Entries;
    int Used = 0;
    int Selected = -1;
    std::int32_t NextNumber = 1;      // never reused within the run
    bool IsCommandPending = false;    // a start or stop awaits the spider's answer
    bool IsShuttingDown = false;      // refuses every further start; never cleared
    bool IsFinishedNormally = false;  // the last job ended complete, stopped or aborted
    bool Shown_ = false;
    std::chrono::milliseconds ShutdownWait{2000};
};

} // namespace queue
