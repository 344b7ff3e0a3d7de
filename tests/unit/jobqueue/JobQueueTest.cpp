#include "JobQueueFixture.h"

#include "support/TraceLogCapture.h"
#include "web/StartingURL.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace queue;
using jobqueuetest::TQueueFixture;
using Commands = std::vector<std::pair<int, int>>;

TEST(JobQueue, NumbersJobsFromOneAndNeverReusesANumber) {
    TQueueFixture f;
    f.AddJobs(3);
    ASSERT_EQ(f.Queue.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(f.Queue.Entry(i).JobNumber, i + 1);
        EXPECT_EQ(f.Queue.Entry(i).Status, jsQueued);
    }
    f.Queue.RemoveJob(2);
    f.Queue.AddCopyJob(f.Job("http://site.test/again/"));
    EXPECT_EQ(f.Queue.Entry(2).JobNumber, 4);
    EXPECT_EQ(f.Queue.NextJobNumber(), 5);
}

TEST(JobQueue, TheHundredAndFirstJobIsRefusedWithTheQueueFullBox) {
    TQueueFixture f;
    f.AddJobs(100);
    ASSERT_EQ(f.Queue.Count(), 100);
    ASSERT_TRUE(f.FrontEnd.Warnings.empty());
    EXPECT_EQ(f.Queue.AddCopyJob(f.Job("http://site.test/last/")), ajQueueFull);
    EXPECT_EQ(f.Queue.Count(), 100);
    ASSERT_EQ(f.FrontEnd.Warnings.size(), 1u);
    EXPECT_EQ(f.FrontEnd.Warnings[0].Caption, "Cannot Add Job");
    EXPECT_EQ(f.FrontEnd.Warnings[0].Text, "The job queue is full.");
}

TEST(JobQueue, HiddenQueueStartsItsOneJobAtOnceAndRefusesASecondSilently) {
    TQueueFixture f;
    testsupport::TTraceLogCapture trace;
    EXPECT_EQ(f.Queue.AddCopyJob(f.Job("http://site.test/")), ajAdded);
    EXPECT_TRUE(f.Queue.CommandPending());
    messaging::TSpiderInputMsg start;
    ASSERT_TRUE(f.Input.TakeFirst(start));
    EXPECT_EQ(start.Kind, messaging::simStartJob);
    EXPECT_EQ(start.JobNumber, 1);
    EXPECT_EQ(web::GetStartingURL(start.Job).GetHostName(), "site.test");
    EXPECT_EQ(start.HTTPProxy.Address, "proxy.test") << "the front end fills in the proxy records";

    EXPECT_EQ(f.Queue.AddCopyJob(f.Job("http://other.test/")), ajQueueFull);
    EXPECT_EQ(f.Queue.Count(), 1);
    EXPECT_TRUE(f.FrontEnd.Warnings.empty());
    EXPECT_EQ(trace.CountRows("Queue disabled and full"), 1u);
}

TEST(JobQueue, HiddenQueueDropsItsJobWhateverTheOutcomeSoTheNextCopyRuns) {
    for (std::uint8_t outcome : {messaging::joCompleted, messaging::joStopped, messaging::joAborted,
                                 messaging::joFailed}) {
        TQueueFixture f;
        f.Queue.AddCopyJob(f.Job("http://site.test/"));
        f.Report(1);
        EXPECT_EQ(f.Queue.Entry(0).Status, jsBusy);
        f.Report(1, outcome);
        EXPECT_EQ(f.Queue.Count(), 0) << int(outcome);
        EXPECT_FALSE(f.Queue.CommandPending());
        EXPECT_EQ(f.Queue.AddCopyJob(f.Job("http://site.test/next/")), ajAdded) << int(outcome);
    }
}

TEST(JobQueue, ValidationRefusesAddressesThatCannotBeCopiedWithTheirTexts) {
    struct TRow {
        const char* Address;
        TAddJobResult Result;
        const char* Text;
    };
    const TRow rows[] = {
        {"", ajRefused, "Please enter a starting address."},
        {"mailto:me@site.test", ajRefused, "mailto:me@site.test is an invalid starting address."},
        {"file:///tmp/page.html", ajRefused, "file:///tmp/page.html is an invalid starting address."},
        {"javascript:void(0)", ajRefused, "javascript:void(0) is an invalid starting address."},
        {"not an address", ajRefused, "not an address is an invalid starting address."},
        {"http://site.test/", ajAdded, ""},
        {"https://site.test/", ajAdded, ""},
        {"ftp://site.test/pub/", ajAdded, ""},
    };
    for (const auto& row : rows) {
        TQueueFixture f;
        f.Queue.SetQueueShown(true);
        EXPECT_EQ(f.Queue.AddCopyJob(f.Job(row.Address)), row.Result) << row.Address;
        if (row.Result == ajAdded) {
            EXPECT_TRUE(f.FrontEnd.Warnings.empty()) << row.Address;
            continue;
        }
        EXPECT_EQ(f.Queue.Count(), 0) << row.Address;
        ASSERT_EQ(f.FrontEnd.Warnings.size(), 1u) << row.Address;
        EXPECT_EQ(f.FrontEnd.Warnings[0].Caption, "Cannot Add Job") << row.Address;
        EXPECT_EQ(f.FrontEnd.Warnings[0].Text, row.Text) << row.Address;
    }
}

TEST(JobQueue, AMissingDestinationIsCreatedOnlyWhenTheUserAgrees) {
    for (bool yes : {true, false}) {
        TQueueFixture f;
        f.FrontEnd.AnswerYes = yes;
        auto job = f.Job("http://site.test/");
        const std::string missing = f.Dest.Path() + "/new/deeper";
        job.SetDestinationFolder(missing);
        EXPECT_EQ(f.Queue.AddCopyJob(job), yes ? ajAdded : ajRefused);
        ASSERT_EQ(f.FrontEnd.Questions.size(), 1u);
        EXPECT_EQ(f.FrontEnd.Questions[0].Caption, "Folder Does Not Exist");
        EXPECT_EQ(f.FrontEnd.Questions[0].Text, "Create " + missing + "?");
        EXPECT_EQ(std::filesystem::is_directory(missing), yes);
    }
}

TEST(JobQueue, AFolderThatCannotBeCreatedRefusesTheJobWithTheErrorBox) {
    TQueueFixture f;
    testsupport::WriteFileText(f.Dest.File("file"), "in the way");
    auto job = f.Job("http://site.test/");
    job.SetDestinationFolder(f.Dest.File("file") + "/below");
    EXPECT_EQ(f.Queue.AddCopyJob(job), ajRefused);
    ASSERT_EQ(f.FrontEnd.Warnings.size(), 1u);
    EXPECT_EQ(f.FrontEnd.Warnings[0].Caption, "Error");
    EXPECT_EQ(f.FrontEnd.Warnings[0].Text, "Unable to create folder.");
}

TEST(JobQueue, AJobWithoutDestinationGoesToTheDocumentsFolder) {
    TQueueFixture f;
    f.FrontEnd.Documents = f.Dest.Path() + "/Documents";
    auto job = f.Job("http://site.test/");
    job.SetDestinationFolder("");
    f.Queue.SetQueueShown(true);
    ASSERT_EQ(f.Queue.AddCopyJob(job), ajAdded);
    EXPECT_EQ(f.Queue.Entry(0).Job.DestinationFolder, f.FrontEnd.Documents);
    EXPECT_TRUE(std::filesystem::is_directory(f.FrontEnd.Documents));
}

TEST(JobQueue, OutcomesMapToStatusesAndFinishedNormally) {
    struct TRow {
        std::uint8_t Outcome;
        std::int32_t Status;
        bool Normal;
    };
    const TRow rows[] = {{2, jsComplete, true}, {3, jsStopped, true}, {4, jsAborted, true},
                         {5, jsError, false},   {9, jsError, false}};
    for (const auto& row : rows) {
        TQueueFixture f;
        f.AddJobs(1);
        f.RunEntry(0);
        EXPECT_EQ(f.Queue.Entry(0).Status, jsBusy);
        EXPECT_TRUE(f.FrontEnd.TrayBusy);
        f.Report(1, row.Outcome);
        EXPECT_EQ(f.Queue.Entry(0).Status, row.Status) << int(row.Outcome);
        EXPECT_EQ(f.Queue.FinishedNormally(), row.Normal) << int(row.Outcome);
        EXPECT_FALSE(f.FrontEnd.TrayBusy);
        EXPECT_FALSE(f.FrontEnd.BusyCursor);
    }
}

TEST(JobQueue, EntriesMovedOrDeletedAboveARunningJobKeepItsReportsOnIt) {
    TQueueFixture f;
    f.AddJobs(4);
    f.RunEntry(2);  // job 3
    f.Queue.SelectRow(2);
    f.Queue.MoveSelectedUp();
    f.Queue.MoveSelectedUp();
    EXPECT_EQ(f.Queue.SelectedIndex(), 0);
    EXPECT_EQ(f.Queue.Entry(0).JobNumber, 3);
    EXPECT_EQ(f.Queue.Entry(0).Job.JobName, "job2") << "the number travels with its job";
    f.Queue.SelectRow(1);
    f.Queue.DeleteSelectedJob();
    f.Report(3, messaging::joCompleted);
    EXPECT_EQ(f.Queue.Entry(0).Status, jsComplete);
    EXPECT_EQ(f.Queue.Entry(1).Status, jsQueued);
}

TEST(JobQueue, TheBusyEntryCannotBeDeletedNotEvenWithCtrlDelete) {
    TQueueFixture f;
    f.AddJobs(2);
    f.RunEntry(0);
    f.Queue.SelectRow(0);
    f.Queue.DeleteSelectedJob();
    EXPECT_TRUE(f.Queue.KeyDown(TQueueKey::Delete, true));
    EXPECT_FALSE(f.Queue.KeyDown(TQueueKey::Delete, false)) << "without Ctrl the key is the list's";
    EXPECT_EQ(f.Queue.Count(), 2);
    f.Queue.SelectRow(1);
    f.Queue.KeyDown(TQueueKey::Delete, true);
    EXPECT_EQ(f.Queue.Count(), 1);
}

TEST(JobQueue, MovingPastTheEndsChangesNothing) {
    TQueueFixture f;
    f.AddJobs(2);
    f.Queue.SelectRow(0);
    f.Queue.MoveSelectedUp();
    f.Queue.SelectRow(1);
    f.Queue.MoveSelectedDown();
    EXPECT_EQ(f.Queue.Entry(0).JobNumber, 1);
    EXPECT_EQ(f.Queue.Entry(1).JobNumber, 2);
    f.Queue.KeyDown(TQueueKey::Up, true);
    EXPECT_EQ(f.Queue.Entry(0).JobNumber, 2);
}

TEST(JobQueue, ButtonsFollowTheSelectedEntrysStatus) {
    struct TRow {
        std::int32_t Status;  // of entry 0, while entry 1 stays queued
        TJobQueueButtons Expected;
    };
    const TRow rows[] = {
        {jsQueued, {false, true, true, false, true}},   {jsBusy, {false, true, false, true, false}},
        {jsComplete, {false, true, true, false, true}}, {jsStopped, {false, true, true, false, true}},
        {jsAborted, {false, true, false, false, true}}, {jsError, {false, true, true, false, true}},
    };
    for (const auto& row : rows) {
        TQueueFixture f;
        f.AddJobs(2);
        if (row.Status != jsQueued) f.RunEntry(0);
        if (row.Status > jsBusy) f.Report(1, static_cast<std::uint8_t>(row.Status));
        f.Queue.SelectRow(0);
        const auto b = f.Queue.UpdateButtons();
        const auto& e = row.Expected;
        EXPECT_EQ(b.MoveUp, e.MoveUp) << row.Status;
        EXPECT_EQ(b.MoveDown, e.MoveDown) << row.Status;
        EXPECT_EQ(b.Start, e.Start) << row.Status;
        EXPECT_EQ(b.Stop, e.Stop) << row.Status;
        EXPECT_EQ(b.Delete, e.Delete) << row.Status;
    }
}

TEST(JobQueue, NoButtonWithoutSelectionAndNoStartWhileAnotherJobIsBusy) {
    TQueueFixture f;
    f.AddJobs(2);
    const auto none = f.Queue.UpdateButtons();
    EXPECT_FALSE(none.MoveUp || none.MoveDown || none.Start || none.Stop || none.Delete);
    f.RunEntry(0);
    f.Queue.SelectRow(1);
    EXPECT_FALSE(f.Queue.UpdateButtons().Start);
}

TEST(JobQueue, TwoQuickStartsSendOneCommand) {
    TQueueFixture f;
    f.AddJobs(1);
    f.Queue.SelectRow(0);
    f.Queue.StartSelectedJob();
    f.Queue.StartSelectedJob();
    EXPECT_EQ(f.TakeCommands(), (Commands{{messaging::simStartJob, 1}}));
}

TEST(JobQueue, AFinishedJobRestartsUnderItsOwnNumberAndSubfolder) {
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
    std::filesystem::create_directory(f.Dest.File("00000001"));
    std::filesystem::create_directory(f.Dest.File("00000002"));
    f.AddJobs(1);
    f.RunEntry(0);
    EXPECT_EQ(f.Queue.Entry(0).Job.UniqueSubfolder, "00000003");
    f.Report(1, messaging::joStopped);
    f.TakeCommands();
    f.RunEntry(0);
    EXPECT_EQ(f.Queue.Entry(0).Job.UniqueSubfolder, "00000003");
    EXPECT_EQ(f.Queue.Entry(0).JobNumber, 1);
    EXPECT_FALSE(std::filesystem::exists(f.Dest.File("00000004")));
}

TEST(JobQueue, StopAndAbortReachOnlyABusyJob) {
    TQueueFixture f;
    f.AddJobs(2);
    f.Queue.SelectRow(1);
    f.Queue.StopSelectedJob();
    EXPECT_FALSE(f.Queue.AbortJob(1));
    f.RunEntry(0);
    f.TakeCommands();
    f.Queue.SelectRow(0);
    f.Queue.StopSelectedJob();
    EXPECT_TRUE(f.Queue.AbortJob(0)) << "an abort gets through while the stop is unanswered";
    EXPECT_EQ(f.TakeCommands(), (Commands{{messaging::simStopJob, 1}, {messaging::simAbortJob, 1}}));
}

TEST(JobQueue, ReportsForUnknownJobsChangeNothingButAreTraced) {
    TQueueFixture f;
    testsupport::TTraceLogCapture trace;
    f.AddJobs(1);
    f.Report(42);
    EXPECT_EQ(f.Queue.Entry(0).Status, jsQueued);
    EXPECT_EQ(trace.CountRows("Job 42 not found"), 1u);
}

TEST(JobQueue, TrayHintCountsFinishedJobsAndNamesTheCurrentOne) {
    TQueueFixture f;
    EXPECT_EQ(f.Queue.TrayHint(), "Ready");
    f.AddJobs(3);
    EXPECT_EQ(f.Queue.TrayHint(), "0 of 3 Jobs Completed");
    f.RunEntry(0);
    f.Report(1, messaging::joFailed);
    f.RunEntry(1);
    EXPECT_EQ(f.FrontEnd.TrayHint, "Current Job: job1\r\n1 of 3 Jobs Completed");
    EXPECT_EQ(f.FrontEnd.Captions.back(), "Harvexis - http://site.test/1/");
}

TEST(JobQueue, RemoveFinishedJobsKeepsQueuedAndBusyEntries) {
    TQueueFixture f;
    f.AddJobs(4);
    f.RunEntry(0);
    f.Report(1, messaging::joFailed);
    f.RunEntry(2);
    f.Report(3, messaging::joAborted);
    f.RunEntry(3);
    f.Queue.RemoveFinishedJobs();
    ASSERT_EQ(f.Queue.Count(), 2);
    EXPECT_EQ(f.Queue.Entry(0).JobNumber, 2);
    EXPECT_EQ(f.Queue.Entry(1).JobNumber, 4);
    f.Queue.RemoveIdleJobs();
    ASSERT_EQ(f.Queue.Count(), 1);
    EXPECT_EQ(f.Queue.Entry(0).Status, jsBusy);
}

TEST(JobQueue, UnreadableJobFileIsReportedWithItsPath) {
    TQueueFixture f;
    const std::string path = f.Dest.File("missing.hcj");
    EXPECT_FALSE(f.Queue.AddJobFile(path));
    ASSERT_EQ(f.FrontEnd.Warnings.size(), 1u);
    EXPECT_EQ(f.FrontEnd.Warnings[0].Caption, "Unable to read job file");
    EXPECT_EQ(f.FrontEnd.Warnings[0].Text, "Unable to read job file\r\n" + path);
}

TEST(JobQueue, AJobFileIsQueuedAsAnyJob) {
    TQueueFixture f;
    const std::string path = f.Dest.File("site.hcj");
    ASSERT_TRUE(f.Job("http://site.test/docs/", "Docs").SaveToFile(path));
    f.Queue.SetQueueShown(true);
    EXPECT_TRUE(f.Queue.AddJobFile(path));
    EXPECT_EQ(f.Queue.Entry(0).Job.JobName, "Docs");
}

TEST(JobQueue, ShutdownAbortsTheBusyJobAndWaitsForTheSpider) {
    TQueueFixture f;
    f.AddJobs(1);
    f.RunEntry(0);
    f.TakeCommands();
    int asks = 0, terminateRequests = 0;
    f.Queue.PrepareForAppShutdown({[&] { ++terminateRequests; }, [&] { return ++asks >= 3; }});
    EXPECT_EQ(f.TakeCommands(), (Commands{{messaging::simAbortJob, 1}}));
    EXPECT_EQ(terminateRequests, 1);
    EXPECT_EQ(asks, 3);
    EXPECT_TRUE(f.Queue.ShuttingDown());
    f.Queue.SelectRow(0);
    f.Report(1, messaging::joAborted);
    f.Queue.StartSelectedJob();
    EXPECT_TRUE(f.TakeCommands().empty()) << "no start after shutdown";
}

TEST(JobQueue, ShutdownGivesUpOnASpiderThatNeverEnds) {
    TQueueFixture f;
    f.Queue.SetShutdownWait(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    f.Queue.PrepareForAppShutdown({nullptr, [] { return false; }});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(JobStatusText, NamesEveryStatusAndQuestionsOthers) {
    const std::pair<std::int32_t, const char*> rows[] = {
        {jsQueued, "Queued"},   {jsBusy, "Busy"},     {jsComplete, "Complete"}, {jsStopped, "Stopped"},
        {jsAborted, "Aborted"}, {jsError, "Error"},   {-1, "?"},                {6, "?"},
    };
    for (const auto& [status, text] : rows) EXPECT_EQ(JobStatusText(status), text) << status;
}
