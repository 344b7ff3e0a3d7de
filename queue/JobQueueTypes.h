#pragma once

#include "jobs/JobTypes.h"

#include <cstdint>
#include <string>

namespace messaging {
class TSpiderInputMsg;
}

namespace queue {

// A queue entry's status. The numbers are also the order of the status icons.
enum TJobStatus : std::int32_t {
    jsNotInUse = -1,
    jsQueued = 0,
    jsBusy = 1,      // the spider reported the job as running
    jsComplete = 2,  // ran out of work
    jsStopped = 3,
    jsAborted = 4,
    jsError = 5,     // ended in any other way
};

// "Queued", "Busy", ... from the language table; "?" for any other value.
std::string JobStatusText(std::int32_t Status);
// Complete, Stopped, Aborted or Error.
bool IsFinishedStatus(std::int32_t Status);

// One queue entry. Copying an entry carries job, number and status together,
// so a job's number travels with it when entries move.
struct TCopyJobAndStatus {
    void Assign(const TCopyJobAndStatus& Source) { *this = Source; }

    jobs::TCopyJob Job;  // the entry's own copy, never the caller's job
    std::int32_t JobNumber = 0;
    std::int32_t Status = jsNotInUse;
};

// The pages of the main window that the queue brings to the front.
enum class TMainPage { JobQueue, Progress };

// What the queue asks of its front end: the message boxes, the main window's
// caption, tray and cursor, and the proxy settings of a start command. The
// desktop program shows boxes; the runner prints them. Every call comes on the
// thread that drives the queue.
class TJobQueueFrontEnd {
public:
    virtual ~TJobQueueFrontEnd() = default;

    virtual void ShowWarning(const std::string& Caption, const std::string& Text) = 0;
    // A question box with Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string& Caption, const std::string& Text) = 0;
    // Copies the current HTTP and FTP proxy preferences into a start command.
    virtual void FillProxySettings(messaging::TSpiderInputMsg& Start) = 0;
    // The user's documents folder, or empty; where a job without a destination goes.
    virtual std::string GetMyDocumentsFolder() = 0;

    virtual void ShowPage(TMainPage Page) {}
    virtual void SetCaption(const std::string& Caption) {}
    virtual void SetTrayBusy(bool Busy) {}
    virtual void SetTrayHint(const std::string& Hint) {}
    virtual void SetBusyCursor(bool Busy) {}

    // Observation: the rows were rebuilt (count, order, a status or a job changed).
    virtual void JobListChanged() {}
    virtual void SelectionChanged(int Index) {}
    virtual void MakeRowVisible(int Index) {}
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
