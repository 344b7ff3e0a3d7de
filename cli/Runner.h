#pragma once

#include "cli/NetworkOptions.h"
#include "cli/RunnerOutput.h"
#include "cli/Terminal.h"
#include "jobs/PasswordMgr.h"
#include "jobs/SavedOptions.h"
#include "messaging/SpiderOutputMsgQueue.h"
#include "queue/JobQueue.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace engine {
class TCopyEngine;
}

namespace cli {

struct TRunnerOptions {
    TOutputMode Mode = TOutputMode::Normal;
    bool EventLog = false;
    bool QueueShown = false;  // several jobs wait their turn; else one job starts at once
    TNetworkOptions Network;  // proxies, passive FTP and CA file for this run
};

// The command-line front end of the job queue: runs queued jobs on the spider
// thread and prints what happens. One thread, its own event loop: reports
// arrive as wake-ups on an event descriptor, SIGINT and SIGTERM on a signal
// descriptor, and every command to the engine is posted from the loop.
// Reports are taken out at most every messaging::ReportDeliveryInterval, so
// a busy copy does not cost a wake-up of the loop per report. A signal takes
// what waits at once.
// The first SIGINT stops the running job, a second one aborts it, SIGTERM
// aborts; the loop always waits for the job's end report.
class TRunner final : public messaging::TSpiderOutputNotifier,
                      public queue::TJobQueuePrompts,
                      public queue::TJobQueueAutomation {
public:
    // Blocks SIGINT and SIGTERM for every thread, so they arrive on the
    // descriptor only; then starts the engine.
    explicit TRunner(const TRunnerOptions& Options);
    ~TRunner() override;
    TRunner(const TRunner&) = delete;
    TRunner& operator=(const TRunner&) = delete;

    queue::TJobQueue& Queue() { return *JobQueue; }
    TTerminal& Output() { return Terminal; }
    // A job that could not be added counts as not completed, as a usage error.
    void NoteRefusedJob();
    // Runs until no job is queued or running (or an interrupt ended the run);
    // the exit status: 0 all completed, else that of the last job that did not
    // complete (2 refused, 3 stopped, 4 aborted, 5 failed).
    int Run();

    // TSpiderOutputNotifier: any thread, with the output queue's lock held.
    bool NotifySpiderOutput(std::uint32_t Label) override;

    // TJobQueuePrompts
    void ShowWarning(const std::string& Caption, const std::string& Text) override;
    bool AskYesNo(const std::string& Caption, const std::string& Text) override;

    // TJobQueueAutomation: the runner starts each next job at once.
    bool StartJobsAutomatically() const override { return true; }
    bool SaveToUniqueSubfolder() const override { return false; }
    void StartNextJobCountdown() override { StartNextDue = true; }
    void StopCountdown() override { StartNextDue = false; }
    bool CountdownRunning() const override { return StartNextDue; }
    bool RunJobStoppedApp(std::int32_t, const std::string&) override { return false; }
    void AfterJobStopped(bool FinishedNormally) override;

private:
    enum class TInterrupt { None, Stop, Abort };

    void OnReport(const messaging::TSpiderOutputMsg& Msg);
    void DeliverReports();
    void OnSignal();
    void Interrupt(TInterrupt Kind);
    void ApplyInterrupt();
    bool Finished() const;
    void WaitForEvents(std::chrono::milliseconds Timeout);

    TRunnerOptions Options;
    TTerminal Terminal;
    jobs::TSavedOptions Settings;  // this run's, read from the data folder
    jobs::TPasswordManager Passwords;
    TRunnerOutput Printer;
    int SignalFd = -1;
    int EventFd = -1;
    std::unique_ptr<engine::TCopyEngine> Engine;  // its spider ends in the destructor, before what it reports to
    std::unique_ptr<queue::TJobQueue> JobQueue;
    bool StartNextDue = false;
    TInterrupt Requested = TInterrupt::None;  // what the signals asked for
    TInterrupt Applied = TInterrupt::None;    // what was posted for the running job
    int SigIntCount = 0;
    std::chrono::steady_clock::time_point LastDelivery{};
    bool ReportsHeld = false;  // woken within the interval: delivered at its end
    int ExitStatus = 0;
};

} // namespace cli
