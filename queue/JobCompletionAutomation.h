#pragma once

#include "queue/CompletionCommandLines.h"
#include "queue/JobQueueTypes.h"
#include "queue/ObserverList.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jobs {
class TSavedOptions;
}

namespace queue {

class TJobQueue;
class TProcessRunner;
class TRunningProcess;
class TShutdownComputer;

enum class TCountdownKind : int {
    None = 0,
    StartNextJob = 1,
    ShutdownComputer = 2,
    WaitForProcess = 3, // for the completion program
};

// The switches of the automation group and the completion command line, as
// the settings (section "Automation") hold them.
struct TAutomationSwitches {
    bool StartJobsAutomatically = true;
    bool RemoveCompletedJobs = false;
    bool SaveToUniqueSubfolder = false;
    bool ShutdownWhenAllJobsCompleted = false;
    bool RunAppOnJobCompletion = false;
    std::string JobCompletionCommandLine;

    bool operator==(const TAutomationSwitches&) const = default;
};

// Seconds; read once at start, never written, a negative value counts as 0.
struct TCountdownLengths {
    int StartNextJob = 5; // also how long the tray flashes after a job
    int ShutdownComputer = 30;
    int WaitForProcess = 60;
};

// What the automation's views learn. Every call comes on the thread that
// drives the automation.
class TAutomationObserver {
  public:
    virtual ~TAutomationObserver() = default;

    // The countdown panel's text; empty hides the panel.
    virtual void CountdownMessageChanged(const std::string& Text) {}
    // The tray icon flashes for Seconds, or stops flashing.
    virtual void StartFlashing(int Seconds) {}
    virtual void StopFlashing() {}
    // A countdown started: the job queue page comes to the front.
    virtual void PageWanted(TMainPage Page) {}
    // A switch or the command line changed other than by the view's own call
    // (a menu entry chosen, the command line trimmed).
    virtual void SwitchesChanged() {}
};

// What happens when jobs of a shown queue end: the completion program, the
// countdowns to the next job and to shutting the computer down, removing
// finished jobs, unique subfolders. A model without a screen: the front end
// calls Tick() once a second while CountdownRunning(), calls StopCountdown()
// when the user clicks the countdown panel, and calls the setters when the
// user changes a switch (each saves at once).
//
// Not thread-safe: runs on the front end's thread, like the queue.
class TJobCompletionAutomation final : public TJobQueueAutomation {
  public:
    // Reads the settings and makes itself Queue's automation until destroyed.
    // Every argument is borrowed and must outlive the automation.
    TJobCompletionAutomation(TJobQueue& Queue, jobs::TSavedOptions& Options,
                             TJobQueuePrompts& Prompts, TProcessRunner& Runner,
                             TShutdownComputer& PowerOff);
    ~TJobCompletionAutomation() override;
    TJobCompletionAutomation(const TJobCompletionAutomation&) = delete;
    TJobCompletionAutomation& operator=(const TJobCompletionAutomation&) = delete;

    void Subscribe(TAutomationObserver& Observer);
    void Unsubscribe(TAutomationObserver& Observer);

    const TAutomationSwitches& Switches() const { return Values; }
    const TCountdownLengths& CountdownLengths() const { return Lengths; }
    // Checking it starts the start-next countdown when jobs wait and none runs.
    void SetStartJobsAutomatically(bool Value);
    // Checking it removes the finished jobs at once.
    void SetRemoveCompletedJobs(bool Value);
    void SetSaveToUniqueSubfolder(bool Value);
    void SetShutdownWhenAllJobsCompleted(bool Value);
    void SetRunAppOnJobCompletion(bool Value);
    void SetJobCompletionCommandLine(const std::string& Value);

    // The prepared command lines of the drop-down menu, from the data
    // folder's file (written with the defaults when missing).
    void InitCommandLinePopupMenu();
    const std::vector<TCommandLineEntry>& CommandLines() const { return Menu; }
    // Puts the entry's command line into the command line (and saves it).
    void CommandLineMenuItemClick(int Index);

    // None only stops a running countdown.
    void StartCountdown(TCountdownKind Kind);
    void Tick();
    TCountdownKind CountdownKind() const { return Kind; }
    int SecondsLeft() const { return Seconds; }
    // The panel's text; empty while no countdown runs.
    const std::string& CountdownMessage() const { return Message; }
    // The completion program and its parameters as last started.
    const std::string& ProcessText() const { return ProcessLine; }
    bool WaitingForProcess() const { return Process != nullptr; }

    // What the queue calls.
    bool StartJobsAutomatically() const override { return Values.StartJobsAutomatically; }
    bool SaveToUniqueSubfolder() const override { return Values.SaveToUniqueSubfolder; }
    void StartNextJobCountdown() override { StartCountdown(TCountdownKind::StartNextJob); }
    // Also the user's cancel. Ending a wait for the completion program goes on
    // with AfterJobStopped.
    void StopCountdown() override;
    bool CountdownRunning() const override { return Running; }
    bool RunJobStoppedApp(std::int32_t JobNumber, const std::string& StartPageFile) override;
    void AfterJobStopped(bool FinishedNormally) override;

  private:
    void LoadAutomationSettings();
    void SaveAutomationSettings();
    void TryToShutdownComputer();
    void ShowMessage(std::string Text);

    TJobQueue& Queue;
    jobs::TSavedOptions& Options;
    TJobQueuePrompts& Prompts;
    TProcessRunner& Runner;
    TShutdownComputer& PowerOff;
    TObserverList<TAutomationObserver> Observers; // borrowed
    TAutomationSwitches Values;
    TCountdownLengths Lengths;
    std::vector<TCommandLineEntry> Menu;
    TCountdownKind Kind = TCountdownKind::None;
    int Seconds = 0;
    bool Running = false; // the once-a-second timer runs
    std::string Message;
    std::string ProcessLine;
    std::unique_ptr<TRunningProcess> Process; // the completion program waited for
};

} // namespace queue
