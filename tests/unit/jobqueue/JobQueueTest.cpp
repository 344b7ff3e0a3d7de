#include "JobQueueFixture.h"

#include "support/TraceLogCapture.h"
#include "web/StartingURL.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

using namespace queue;
using jobqueuetest::Texts;
using jobqueuetest::TQueueFixture;
using Commands = std::vector<std::pair<int, int>>;

TEST(JobQueue, NumbersJobsFromOneAndNeverReusesANumber) {
    TQueueFixture f;
    EXPECT_EQ(f.Queue.TrayHint(), "Ready");
    f.AddJobs(3);
    f.Queue.RemoveJob(2);
    f.Queue.AddCopyJob(f.Job("http://site.test/again/"));
    EXPECT_EQ(f.Numbers(), (std::vector<int>{1, 2, 4}));
}

TEST(JobQueue, TheHundredAndFirstJobIsRefusedWithTheQueueFullBox) {
    TQueueFixture f;
    f.AddJobs(100);
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

TEST(JobQueue, OutcomesMapToStatusesAndFinishedNormally) {
    const std::tuple<std::uint8_t, std::int32_t, bool> rows[] = {{2, jsComplete, true},
                                                                 {3, jsStopped, true},
                                                                 {4, jsAborted, true},
                                                                 {5, jsError, false},
                                                                 {9, jsError, false}};
    for (const auto& [outcome, status, normal] : rows) {
        TQueueFixture f;
        f.AddJobs(1);
        f.RunEntry(0);
        f.Report(1, outcome);
        EXPECT_EQ(f.Queue.Entry(0).Status, status) << int(outcome);
        EXPECT_EQ(f.Queue.FinishedNormally(), normal) << int(outcome);
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

TEST(JobStatusText, NamesEveryStatusAndQuestionsOthers) {
    const std::pair<std::int32_t, const char*> rows[] = {
        {jsQueued, "Queued"},
        {jsBusy, "Busy"},
        {jsComplete, "Complete"},
        {jsStopped, "Stopped"},
        {jsAborted, "Aborted"},
        {jsError, "Error"},
        {-1, "?"},
        {6, "?"},
    };
    for (const auto& [status, text] : rows)
        EXPECT_EQ(JobStatusText(status), text) << status;
}
