#include "JobQueueFixture.h"

#include "engine/InternetSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace queue;
using jobqueuetest::Texts;
using jobqueuetest::TQueueFixture;
using Commands = std::vector<std::pair<int, int>>;

namespace {

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

TEST(JobQueueCommands, EachStatusAllowsItsCommandsAndTheCommandsObey) {
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

TEST(JobQueueCommands, ObserversHearEveryRowAndQueueWideChange) {
    const auto runSecond = [](TQueueFixture& f) {
        f.RunEntry(1);
        f.Observer.Events.clear();
    };
    struct TRow {
        const char* Name;
        std::function<void(TQueueFixture&)> Act;
        Texts Expected;
    };
    const TRow rows[] = {
        {"add",
         [](TQueueFixture& f) { f.Queue.AddCopyJob(f.Job("http://site.test/new/")); },
         {"page queue", "inserted 3", "hint 0 of 4 Jobs Completed"}},
        {"remove",
         [](TQueueFixture& f) { f.Queue.RemoveJob(1); },
         {"removed 1", "hint 0 of 2 Jobs Completed"}},
        {"move", [](TQueueFixture& f) { f.Queue.MoveJob(0, 2); }, {"moved 0>2"}},
        {"started",
         [](TQueueFixture& f) { f.RunEntry(1); },
         {"pending", "status 1", "hint Current Job: job1\r\n0 of 3 Jobs Completed", "busy",
          "page progress", "answered"}},
        {"stop", [&](TQueueFixture& f) { runSecond(f), f.Queue.StopJob(1); }, {"pending"}},
        {"ended",
         [&](TQueueFixture& f) { runSecond(f), f.Report(2, messaging::joCompleted); },
         {"status 1", "hint 1 of 3 Jobs Completed", "idle"}},
        {"unknown job", [](TQueueFixture& f) { f.Report(42); }, {"busy", "page progress"}},
    };
    for (const auto& row : rows) {
        TQueueFixture f;
        f.AddJobs(3);
        f.Observer.Events.clear();
        row.Act(f);
        EXPECT_EQ(f.Observer.Events, row.Expected) << row.Name;
    }
}

TEST(JobQueueCommands, MoveJobShiftsTheEntriesBetweenAndStaysInsideTheQueue) {
    struct TRow {
        int Index, Delta;
        std::vector<int> Numbers; // job numbers from the top afterwards; 1 2 3 4 when refused
    };
    const TRow rows[] = {
        {0, 1, {2, 1, 3, 4}},  {0, 2, {2, 3, 1, 4}}, {3, -3, {4, 1, 2, 3}}, {2, -1, {1, 3, 2, 4}},
        {0, -1, {1, 2, 3, 4}}, {3, 1, {1, 2, 3, 4}}, {1, 0, {1, 2, 3, 4}},  {4, -1, {1, 2, 3, 4}},
    };
    for (const auto& row : rows) {
        TQueueFixture f;
        f.AddJobs(4);
        const bool moved = row.Numbers != std::vector<int>{1, 2, 3, 4};
        EXPECT_EQ(f.Queue.MoveJob(row.Index, row.Delta), moved) << row.Index << " by " << row.Delta;
        EXPECT_EQ(f.Numbers(), row.Numbers) << row.Index << " by " << row.Delta;
    }
}

TEST(JobQueueCommands, EntriesMovedOrRemovedAboveARunningJobKeepItsReportsOnIt) {
    TQueueFixture f;
    f.AddJobs(4);
    f.RunEntry(2);
    f.Queue.MoveJob(2, -2);
    EXPECT_EQ(f.Queue.Entry(0).Job.JobName, "job2") << "the number travels with its job";
    f.Queue.RemoveJob(1);
    f.Report(3, messaging::joCompleted);
    EXPECT_EQ(f.Queue.Entry(0).Status, jsComplete);
    EXPECT_EQ(f.Queue.Entry(1).Status, jsQueued);
}

TEST(JobQueueCommands, AbortGetsThroughAnUnansweredStopButReachesOnlyABusyJob) {
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

TEST(JobQueueCommands, StartNextQueuedJobTakesTheFirstQueuedEntryFromTheTop) {
    TQueueFixture f;
    f.AddJobs(3);
    f.RunEntry(0);
    f.Report(1, messaging::joCompleted);
    f.Queue.MoveJob(2, -1);
    f.Queue.StartNextQueuedJob();
    EXPECT_EQ(f.TakeCommands(), (Commands{{messaging::simStartJob, 3}}));
}

TEST(JobQueueCommands, AFinishedJobRestartsUnderItsOwnNumberAndUniqueSubfolder) {
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

TEST(JobQueueCommands, StartCommandCarriesTheSettingsProxiesWithTheRunsOverridesOnTop) {
    const std::string bypass = engine::LocalProxyBypass;
    struct TRow {
        const char* Port;
        bool LocalBypass;
        TStartOverrides Overrides;
        std::string HTTP, FTP; // use address:port user:password bypass
    };
    const TRow rows[] = {
        {"8080", false, {}, "1 proxy.test:8080 u:p ", "0 :0 : "},
        {"80x", false, {}, "0 proxy.test:0 u:p ", "0 :0 : "},
        {"8080", true, {}, "1 proxy.test:8080 u:p " + bypass, "0 :0 : " + bypass},
        {"8080",
         true,
         {.HTTPProxy = jobs::TProxyServerInfo{true, "other.test", 3128}},
         "1 other.test:3128 : ",
         "0 :0 : " + bypass},
        {"8080",
         false,
         {.FTPProxy = jobs::TProxyServerInfo{true, "ftp.test", 21}},
         "1 proxy.test:8080 u:p ",
         "1 ftp.test:21 : "},
        {"8080",
         false,
         {.ProxyUser = "me", .ProxyPassword = "pw", .PassiveFTP = true},
         "1 proxy.test:8080 me:pw ",
         "0 :0 me:pw "},
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
