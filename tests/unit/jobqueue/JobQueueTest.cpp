#include "engine/InternetSettings.h"
#include "jobs/SavedOptions.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputMsgTypes.h"
#include "queue/JobQueue.h"
#include "support/TempDir.h"
#include "support/TraceLogCapture.h"
#include "web/StartingURL.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace queue;
using Texts = std::vector<std::string>;
using Commands = std::vector<std::pair<int, int>>;

namespace {

// Records what the queue tells or asks the user as "Caption: Text"; answers as told.
struct TRecordingPrompts final : TJobQueuePrompts {
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

// A queue with its own input queue and settings file in a temporary folder.
struct TQueueFixture {
    testsupport::TTempDir Data, Dest;
    jobs::TSavedOptions Options;
    messaging::TSpiderInputMessageQueue Input;
    TRecordingPrompts Prompts;
    TJobQueue Queue{Input, Options, Prompts};

    TQueueFixture() { Options.Initialize(Data.Path() + "/"); }

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
    Commands TakeCommands() {
        Commands commands;
        messaging::TSpiderInputMsg msg;
        while (Input.TakeFirst(msg)) commands.emplace_back(msg.Kind, msg.JobNumber);
        return commands;
    }
    // The job numbers from the top.
    std::vector<int> Numbers() const {
        std::vector<int> numbers;
        for (int i = 0; i < Queue.Count(); ++i) numbers.push_back(Queue.Entry(i).JobNumber);
        return numbers;
    }
};

// Entry 0 of two brought to a status; Pending leaves its start (Queued) or
// stop (Busy) unanswered.
struct TStateRow {
    const char* Name;
    std::int32_t Status;
    bool Pending;
    TJobCommands Allowed; // {MoveUp, MoveDown, Start, Stop, Remove} of entry 0
    bool OtherStarts;     // entry 1, Queued, may start
};

void BringTo(TQueueFixture& f, const TStateRow& Row) {
    f.AddJobs(2);
    if (Row.Status != jsQueued) f.RunEntry(0);
    if (Row.Status > jsBusy) f.Report(1, static_cast<std::uint8_t>(Row.Status));
    if (Row.Pending) Row.Status == jsQueued ? f.Queue.StartJob(0) : f.Queue.StopJob(0);
    f.TakeCommands();
}

} // namespace

TEST(JobQueue, NumbersJobsFromOneNeverReusesANumberAndHoldsAHundred) {
    TQueueFixture f;
    EXPECT_EQ(f.Queue.TrayHint(), "Ready");
    f.AddJobs(3);
    f.Queue.RemoveJob(2);
    f.Queue.AddCopyJob(f.Job("http://site.test/again/"));
    EXPECT_EQ(f.Numbers(), (std::vector<int>{1, 2, 4}));
    f.AddJobs(97);
    EXPECT_EQ(f.Queue.AddCopyJob(f.Job("http://site.test/last/")), ajQueueFull);
    EXPECT_EQ(f.Queue.Count(), 100);
    EXPECT_EQ(f.Prompts.Warnings, Texts{"Cannot Add Job: The job queue is full."});
}

TEST(JobQueue, HiddenQueueRunsOneJobAtOnceRefusesASecondSilentlyAndDropsItWhateverTheOutcome) {
    for (std::uint8_t outcome : {messaging::joCompleted, messaging::joStopped, messaging::joAborted,
                                 messaging::joFailed}) {
        TQueueFixture f;
        testsupport::TTraceLogCapture trace;
        EXPECT_EQ(f.Queue.AddCopyJob(f.Job("http://site.test/")), ajAdded);
        f.Report(1);
        EXPECT_EQ(f.Queue.AddCopyJob(f.Job("http://other.test/")), ajQueueFull);
        EXPECT_EQ(trace.CountRows("Queue disabled and full"), 1u);
        f.Report(1, outcome);
        EXPECT_EQ(f.Queue.Count(), 0) << int(outcome);
        EXPECT_EQ(f.Queue.AddCopyJob(f.Job("http://site.test/next/")), ajAdded) << int(outcome);
        EXPECT_EQ(f.TakeCommands(), (Commands{{messaging::simStartJob, 2}}))
            << "a start clears what was not taken";
        EXPECT_TRUE(f.Prompts.Warnings.empty());
    }
}

TEST(JobQueue, AMissingDestinationIsCreatedWhenTheUserAgreesAndNoneMeansTheDocumentsFolder) {
    struct TRow {
        const char* Destination; // below the test folder; empty: none, the documents folder
        bool Yes, Added;
        Texts Warnings;
    };
    const TRow rows[] = {{"new/deeper", true, true, {}},
                         {"new/deeper", false, false, {}},
                         {"", true, true, {}},
                         {"file/below", true, false, {"Error: Unable to create folder."}}};
    for (const auto& row : rows) {
        TQueueFixture f;
        testsupport::WriteFileText(f.Dest.File("file"), "in the way");
        f.Prompts.AnswerYes = row.Yes;
        f.Prompts.Documents = f.Dest.File("Documents");
        const std::string folder =
            *row.Destination ? f.Dest.File(row.Destination) : f.Prompts.Documents;
        auto job = f.Job("http://site.test/");
        job.SetDestinationFolder(*row.Destination ? folder : "");
        EXPECT_EQ(f.Queue.AddCopyJob(job), row.Added ? ajAdded : ajRefused) << folder;
        EXPECT_EQ(f.Prompts.Questions, Texts{"Folder Does Not Exist: Create " + folder + "?"});
        EXPECT_EQ(f.Prompts.Warnings, row.Warnings) << folder;
        EXPECT_EQ(std::filesystem::is_directory(folder), row.Added) << folder;
    }
}

TEST(JobQueue, ShutdownAbortsTheBusyJobWaitsForTheSpiderAndRefusesLaterStarts) {
    TQueueFixture f;
    f.AddJobs(1);
    f.RunEntry(0);
    f.TakeCommands();
    int asks = 0, terminateRequests = 0;
    f.Queue.PrepareForAppShutdown({[&] { ++terminateRequests; }, [&] { return ++asks >= 3; }});
    EXPECT_EQ(f.TakeCommands(), (Commands{{messaging::simAbortJob, 1}}));
    EXPECT_EQ(terminateRequests, 1);
    EXPECT_EQ(asks, 3);
    f.Report(1, messaging::joStopped);
    EXPECT_FALSE(f.Queue.StartJob(0)) << "no start after shutdown";
}

TEST(JobQueue, ShutdownGivesUpOnASpiderThatNeverEnds) {
    TQueueFixture f;
    f.Queue.SetShutdownWait(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    f.Queue.PrepareForAppShutdown({nullptr, [] { return false; }});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(JobQueue, EachStatusAllowsItsCommandsAndTheCommandsObey) {
    const TStateRow rows[] = {
        {"queued", jsQueued, false, {false, true, true, false, true}, true},
        {"start pending", jsQueued, true, {false, true, false, false, false}, false},
        {"busy", jsBusy, false, {false, true, false, true, false}, false},
        {"stop pending", jsBusy, true, {false, true, false, false, false}, false},
        {"complete", jsComplete, false, {false, true, true, false, true}, true},
        {"stopped", jsStopped, false, {false, true, true, false, true}, true},
        {"aborted", jsAborted, false, {false, true, false, false, true}, true},
        {"error", jsError, false, {false, true, true, false, true}, true},
    };
    const std::pair<bool (TJobQueue::*)(int), bool TJobCommands::*> commands[] = {
        {&TJobQueue::StartJob, &TJobCommands::Start},
        {&TJobQueue::StopJob, &TJobCommands::Stop},
        {&TJobQueue::RemoveJob, &TJobCommands::Remove},
    };
    for (const auto& row : rows) {
        TQueueFixture f;
        BringTo(f, row);
        EXPECT_EQ(f.Queue.Entry(0).Status, row.Status) << row.Name;
        EXPECT_EQ(f.Queue.FinishedNormally(), row.Status >= jsComplete && row.Status <= jsAborted);
        EXPECT_TRUE(f.Queue.AllowedCommands(0) == row.Allowed) << row.Name;
        EXPECT_EQ(f.Queue.AllowedCommands(1).Start, row.OtherStarts) << row.Name;
        for (const auto& [command, allowed] : commands) {
            TQueueFixture g;
            BringTo(g, row);
            const bool done = (g.Queue.*command)(0);
            EXPECT_EQ(done, row.Allowed.*allowed) << row.Name;
            const bool acted = !g.TakeCommands().empty() || g.Queue.Count() != 2;
            EXPECT_EQ(acted, done) << row.Name << ": a command acts exactly when it says so";
        }
    }
    TQueueFixture f;
    f.AddJobs(2);
    EXPECT_TRUE(f.Queue.AllowedCommands(1) == (TJobCommands{true, false, true, false, true}));
    EXPECT_TRUE(f.Queue.AllowedCommands(2) == TJobCommands{});
}

TEST(JobQueue, EntriesMovedOrRemovedAboveARunningJobKeepItsReportsOnItAndTheNextQueuedStarts) {
    TQueueFixture f;
    f.AddJobs(4);
    f.RunEntry(2);
    f.Queue.MoveJob(2, -2);
    EXPECT_EQ(f.Queue.Entry(0).Job.JobName, "job2") << "the number travels with its job";
    f.Queue.RemoveJob(1);
    f.Report(3, messaging::joCompleted);
    EXPECT_EQ(f.Queue.Entry(0).Status, jsComplete);
    EXPECT_EQ(f.Queue.Entry(1).Status, jsQueued);
    f.TakeCommands();
    f.Queue.StartNextQueuedJob();
    EXPECT_EQ(f.TakeCommands(), (Commands{{messaging::simStartJob, 2}})) << "the first queued from the top";
}

TEST(JobQueue, AbortGetsThroughAnUnansweredStopButReachesOnlyABusyJob) {
    TQueueFixture f;
    f.AddJobs(2);
    f.RunEntry(0);
    f.TakeCommands();
    f.Queue.StopJob(0);
    EXPECT_FALSE(f.Queue.AbortJob(1));
    EXPECT_TRUE(f.Queue.AbortJob(0));
    EXPECT_EQ(f.TakeCommands(),
              (Commands{{messaging::simStopJob, 1}, {messaging::simAbortJob, 1}}));
}

TEST(JobQueue, AFinishedJobRestartsUnderItsOwnNumberAndUniqueSubfolder) {
    struct TAutomation final : TJobQueueAutomation {
        bool StartJobsAutomatically() const override { return false; }
        bool SaveToUniqueSubfolder() const override { return true; }
        void StartNextJobCountdown() override {}
        void StopCountdown() override {}
        bool CountdownRunning() const override { return false; }
        bool RunJobStoppedApp(std::int32_t, const std::string&) override { return false; }
        void AfterJobStopped(bool) override {}
    } automation;
    TQueueFixture f;
    f.Queue.SetAutomation(&automation);
    f.AddJobs(1);
    f.RunEntry(0);
    f.Report(1, messaging::joStopped);
    f.RunEntry(0);
    EXPECT_EQ(f.TakeCommands(), (Commands{{messaging::simStartJob, 1}}));
    EXPECT_EQ(f.Queue.Entry(0).Job.UniqueSubfolder, "00000001");
    EXPECT_FALSE(std::filesystem::exists(f.Dest.File("00000002")));
}

TEST(JobQueue, StartCommandCarriesTheSettingsProxiesWithTheRunsOverridesOnTop) {
    const std::string bypass = engine::LocalProxyBypass;
    struct TRow {
        const char* Port;
        bool LocalBypass;
        TStartOverrides Overrides;
        std::string HTTP, FTP; // use address:port user:password bypass
    };
    const auto proxy = [](const char* Address, std::int32_t Port) {
        jobs::TProxyServerInfo record;
        record.UseProxyServer = true;
        record.Address = Address;
        record.Port = Port;
        return record;
    };
    TStartOverrides otherHTTP, ftpAndUser;
    otherHTTP.HTTPProxy = proxy("other.test", 3128);
    ftpAndUser.FTPProxy = proxy("ftp.test", 21);
    ftpAndUser.ProxyUser = "me";
    ftpAndUser.ProxyPassword = "pw";
    ftpAndUser.PassiveFTP = true;
    const TRow rows[] = {
        {"8080", false, {}, "1 proxy.test:8080 u:p ", "0 :0 : "},
        {"80x", false, {}, "0 proxy.test:0 u:p ", "0 :0 : "},
        {"8080", true, otherHTTP, "1 other.test:3128 : ", "0 :0 : " + bypass},
        {"8080", false, ftpAndUser, "1 proxy.test:8080 me:pw ", "1 ftp.test:21 me:pw "},
    };
    const auto describe = [](const jobs::TProxyServerInfo& P) {
        return std::to_string(P.UseProxyServer) + " " + P.Address + ":" + std::to_string(P.Port) +
               " " + P.Username + ":" + P.Password + " " + P.ProxyBypass;
    };
    for (const auto& row : rows) {
        TQueueFixture f;
        const auto& keys = jobs::Settings::HTTPProxy;
        for (const auto& [key, value] : {std::pair{keys.Address, "proxy.test"},
                                         {keys.Port, row.Port},
                                         {keys.Username, "u"},
                                         {keys.Password, "p"}})
            f.Options.Write(key, value);
        f.Options.Write(keys.UseProxyServer, true);
        f.Options.Write(keys.AllowLocalBypass, row.LocalBypass);
        f.Options.Write(jobs::Settings::FTPProxy.AllowLocalBypass, row.LocalBypass);
        f.Queue.SetStartOverrides(row.Overrides);
        f.Queue.AddCopyJob(f.Job("http://site.test/"));
        messaging::TSpiderInputMsg start;
        ASSERT_TRUE(f.Input.TakeFirst(start)) << row.HTTP;
        EXPECT_EQ(describe(start.HTTPProxy), row.HTTP);
        EXPECT_EQ(describe(start.FTPProxy), row.FTP);
        EXPECT_EQ(start.Job.DownloadOptions.UsePassiveFTP, row.Overrides.PassiveFTP) << row.HTTP;
    }
}
