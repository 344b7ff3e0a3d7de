#pragma once

#include "jobs/SavedOptions.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputMsgTypes.h"
#include "queue/JobQueue.h"
#include "support/TempDir.h"
#include "web/StartingURL.h"

#include <string>
#include <vector>

namespace jobqueuetest {

using Texts = std::vector<std::string>;

// Records what the queue tells or asks the user as "Caption: Text"; answers as told.
struct TRecordingPrompts final : queue::TJobQueuePrompts {
    void ShowWarning(const std::string& Caption, const std::string& Text) override {
        Warnings.push_back(Caption + ": " + Text);
    }
    bool AskYesNo(const std::string& Caption, const std::string& Text) override {
        Questions.push_back(Caption + ": " + Text);
        return AnswerYes;
    }
    std::string GetMyDocumentsFolder() override { return Documents; }

    bool AnswerYes = true;
    std::string Documents;
    Texts Warnings, Questions;
};

// Writes each event as one short line, in the order a view receives them.
struct TRecordingObserver final : queue::TJobQueueObserver {
    void RowInserted(int Index) override { Events.push_back("inserted " + std::to_string(Index)); }
    void RowRemoved(int Index) override { Events.push_back("removed " + std::to_string(Index)); }
    void RowMoved(int From, int To) override {
        Events.push_back("moved " + std::to_string(From) + ">" + std::to_string(To));
    }
    void RowStatusChanged(int Index) override {
        Events.push_back("status " + std::to_string(Index));
    }
    void TrayHintChanged(const std::string& Hint) override { Events.push_back("hint " + Hint); }
    void BusyChanged(bool Busy) override { Events.push_back(Busy ? "busy" : "idle"); }
    void CommandPendingChanged(bool Pending) override {
        Events.push_back(Pending ? "pending" : "answered");
    }
    void PageWanted(queue::TMainPage Page) override {
        Events.push_back(Page == queue::TMainPage::Progress ? "page progress" : "page queue");
    }

    Texts Events;
};

// A queue with its own input queue and settings file in a temporary folder.
struct TQueueFixture {
    testsupport::TTempDir Data, Dest;
    jobs::TSavedOptions Options;
    messaging::TSpiderInputMessageQueue Input;
    TRecordingPrompts Prompts;
    TRecordingObserver Observer;
    queue::TJobQueue Queue{Input, Options, Prompts};

    TQueueFixture() {
        Options.Initialize(Data.Path() + "/");
        Queue.Subscribe(Observer);
    }

    jobs::TCopyJob Job(const std::string& Address, const std::string& Name = "") const {
        jobs::TCopyJob job;
        job.Reset();
        job.SetDestinationFolder(Dest.Path());
        web::SetStartingURL(job, Address);
        job.JobName = Name;
        return job;
    }
    // Adds N valid jobs, named job0, job1, ..., to a shown queue.
    void AddJobs(int N) {
        Queue.SetQueueShown(true);
        for (int i = 0; i < N; ++i)
            Queue.AddCopyJob(
                Job("http://site.test/" + std::to_string(i) + "/", "job" + std::to_string(i)));
    }
    // What the spider reports; Outcome 0 means job started.
    void Report(std::int32_t JobNumber, std::uint8_t Outcome = 0) {
        messaging::TSpiderOutputMsg msg;
        msg.Kind = Outcome == 0 ? messaging::somJobStarted : messaging::somJobEnded;
        msg.JobNumber = JobNumber;
        msg.Status = Outcome;
        Queue.OnSpiderOutput(msg);
    }
    // Starts the entry at Index and lets the spider report it running.
    void RunEntry(int Index) {
        Queue.StartJob(Index);
        Report(Queue.Entry(Index).JobNumber);
    }
    // The commands posted so far, oldest first, as (kind, job number).
    std::vector<std::pair<int, int>> TakeCommands() {
        std::vector<std::pair<int, int>> commands;
        messaging::TSpiderInputMsg msg;
        while (Input.TakeFirst(msg))
            commands.emplace_back(msg.Kind, msg.JobNumber);
        return commands;
    }
    // The job numbers from the top.
    std::vector<int> Numbers() const {
        std::vector<int> numbers;
        for (int i = 0; i < Queue.Count(); ++i)
            numbers.push_back(Queue.Entry(i).JobNumber);
        return numbers;
    }
};

} // namespace jobqueuetest
