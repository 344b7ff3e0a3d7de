#pragma once

#include "jobs/JobTypes.h"

#include <cstdint>
#include <string>

namespace queue {

// A queue entry's status. The numbers are also the order of the status icons.
enum TJobStatus : std::int32_t {
    jsNotInUse = -1,
    jsQueued = 0,
    jsBusy = 1,     // the spider reported the job as running
    jsComplete = 2, // ran out of work
    jsStopped = 3,
    jsAborted = 4,
    jsError = 5, // ended in any other way
};

// "Queued", "Busy", ... from the language table; "?" for any other value.
std::string JobStatusText(std::int32_t Status);
// Complete, Stopped, Aborted or Error.
bool IsFinishedStatus(std::int32_t Status);

// One queue entry. Copying an entry carries job, number and status together,
// so a job's number travels with it when entries move.
struct TCopyJobAndStatus {
    void Assign(const TCopyJobAndStatus& Source) { *this = Source; }

    jobs::TCopyJob Job; // the entry's own copy, never the caller's job
    std::int32_t JobNumber = 0;
    std::int32_t Status = jsNotInUse;
};

// Which commands a row allows now; a view enables its buttons and keys from it.
struct TJobCommands {
    bool MoveUp = false;
    bool MoveDown = false;
    bool Start = false;
    bool Stop = false;
    bool Remove = false;

    bool operator==(const TJobCommands&) const = default;
};

// The pages of the main window that the queue wants in front.
enum class TMainPage { JobQueue, Progress };

// What the queue must tell or ask the user while it decides: refusals of a job
// and whether to create a missing destination folder. The desktop program
// shows boxes; the runner prints and answers yes. Calls come on the thread
// that drives the queue, before the command that caused them returns.
class TJobQueuePrompts {
  public:
    virtual ~TJobQueuePrompts() = default;

    virtual void ShowWarning(const std::string& Caption, const std::string& Text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string& Caption, const std::string& Text) = 0;
    // Where a job without a destination goes: the user's documents folder, or empty.
    virtual std::string GetMyDocumentsFolder();
};

// What views learn about the queue. Row events come after the change, with
// the indexes of the queue as it is now (RowRemoved: as it was). Every call
// comes on the thread that drives the queue.
class TJobQueueObserver {
  public:
    virtual ~TJobQueueObserver() = default;

    virtual void RowInserted(int Index) {}
    virtual void RowRemoved(int Index) {}
    // The entry at From now stands at To; the ones between moved one place.
    virtual void RowMoved(int From, int To) {}
    virtual void RowStatusChanged(int Index) {}

    // Queue-wide: the tray hint's text changed.
    virtual void TrayHintChanged(const std::string& Hint) {}
    // A job runs (tray icon busy; the caption names the Busy row's job), or
    // the queue is back at rest after the job's end.
    virtual void BusyChanged(bool Busy) {}
    // A start or stop awaits the spider's answer (the hourglass cursor).
    virtual void CommandPendingChanged(bool Pending) {}
    // The settings ask for this page in front after an add or a start.
    virtual void PageWanted(TMainPage Page) {}
};

// The completion automation of a shown queue (countdowns, the completion
// program). The queue calls it; without one, a shown queue starts nothing by
// itself and keeps finished jobs.
class TJobQueueAutomation {
  public:
    virtual ~TJobQueueAutomation() = default;

    virtual bool StartJobsAutomatically() const = 0;
    virtual bool SaveToUniqueSubfolder() const = 0;
    virtual void StartNextJobCountdown() = 0;
    virtual void StopCountdown() = 0;
    virtual bool CountdownRunning() const = 0;
    // True when a completion program was started and is now waited for; the
    // automation then runs AfterJobStopped itself when the wait ends.
    virtual bool RunJobStoppedApp(std::int32_t JobNumber, const std::string& StartPageFile) = 0;
    // The step after a job of a shown queue ended.
    virtual void AfterJobStopped(bool FinishedNormally) = 0;
};

} // namespace queue
