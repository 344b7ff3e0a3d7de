#pragma once

#include "jobs/SavedOptions.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputMsgTypes.h"
#include "queue/JobQueue.h"
#include "support/TempDir.h"

#include <string>
#include <vector>

namespace jobqueuetest {

// Records every call the queue makes on its front end; answers questions as told.
class TRecordingFrontEnd final : public queue::TJobQueueFrontEnd {
public:
    struct TBox {
        std::string Caption, Text;
    };

    void ShowWarning(const std::string& Caption, const std::string& Text) override {
        Warnings.push_back({Caption, Text});
    }
    bool AskYesNo(const std::string& Caption, const std::string& Text) override {
        Questions.push_back({Caption, Text});
        return AnswerYes;
    }
    void FillProxySettings(messaging::TSpiderInputMsg& Start) override { Start.HTTPProxy.Address = "proxy.test"; }
    std::string GetMyDocumentsFolder() override { return Documents; }
    void ShowPage(queue::TMainPage Page) override { Pages.push_back(Page); }
    void SetCaption(const std::string& Caption) override { Captions.push_back(Caption); }
    void SetTrayBusy(bool Busy) override { TrayBusy = Busy; }
    void SetTrayHint(const std::string& Hint) override { TrayHint = Hint; }
    void SetBusyCursor(bool Busy) override { BusyCursor = Busy; }
    void JobListChanged() override { ++ListChanges; }
    void SelectionChanged(int Index) override { Selection = Index; }

    bool AnswerYes = true;
    std::string Documents;
    std::vector<TBox> Warnings, Questions;
    std::vector<queue::TMainPage> Pages;
    std::vector<std::string> Captions;
    std::string TrayHint;
    bool TrayBusy = false, BusyCursor = false;
    int ListChanges = 0, Selection = -1;
};

// A queue with its own input queue and settings file in a temporary folder.
struct TQueueFixture {
    testsupport::TTempDir Data, Dest;
    jobs::TSavedOptions Options;
    messaging::TSpiderInputMessageQueue Input;
    TRecordingFrontEnd FrontEnd;
    queue::TJobQueue Queue;

    TQueueFixture() : Queue(FrontEnd, Input, Options) { Options.Initialize(Data.Path() + "/"); }

    jobs::TCopyJob Job(const std::string& Address, const std::string& Name = "") const {
        jobs::TCopyJob job;
        job.Reset();
        job.SetDestinationFolder(Dest.Path());
        job.StartingWebAddress.SetFullURL(Address);
        job.JobName = Name;
        return job;
    }
    // Adds N valid jobs to a shown queue.
    void AddJobs(int N) {
        Queue.SetQueueShown(true);
        for (int i = 0; i < N; ++i)
            Queue.AddCopyJob(Job("http://site.test/" + std::to_string(i) + "/", "job" + std::to_string(i)));
    }
    // What the spider reports; Outcome 0 means job started.
    void Report(std::int32_t JobNumber, std::uint8_t Outcome = 0) {
        messaging::TSpiderOutputMsg msg;
        msg.Kind = Outcome == 0 ? messaging::somJobStarted : messaging::somJobEnded;
        msg.JobNumber = JobNumber;
        msg.Status = Outcome;
        const int index = Queue.FindJobIndex(JobNumber);
        if (index >= 0) msg.Job = Queue.Entry(index).Job;
        Queue.OnSpiderOutput(msg);
    }
    // Starts the entry at Index and lets the spider report it running.
    void RunEntry(int Index) {
        Queue.SelectRow(Index);
        Queue.StartSelectedJob();
        Report(Queue.Entry(Index).JobNumber);
    }
    // The commands posted so far, oldest first, as (kind, job number).
    std::vector<std::pair<int, int>> TakeCommands() {
        std::vector<std::pair<int, int>> commands;
        messaging::TSpiderInputMsg msg;
        while (Input.TakeFirst(msg)) commands.emplace_back(msg.Kind, msg.JobNumber);
        return commands;
    }
};

} // namespace jobqueuetest
