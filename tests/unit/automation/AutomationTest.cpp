#include "jobs/SavedOptions.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputMsgTypes.h"
#include "queue/CommandPlaceholders.h"
#include "queue/CompletionCommandLines.h"
#include "queue/JobCompletionAutomation.h"
#include "queue/JobQueue.h"
#include "queue/ProcessRunner.h"
#include "queue/ShutdownComputer.h"
#include "support/TempDir.h"
#include "support/TraceLogCapture.h"
#include "unit/CaseTable.h"
#include "web/StartingURL.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <thread>

using namespace queue;
using Kind = TCountdownKind;

namespace {

struct TFakeRunner final : TProcessRunner {
    struct TProcess final : TRunningProcess {
        explicit TProcess(bool& Runs) : Runs(Runs) {}
        bool StillRuns() override { return Runs; }
        bool& Runs;
    };
    std::unique_ptr<TRunningProcess> Start(const TProcessRequest& Request, int& Error) override {
        Started.push_back(Request.Program + " " + Request.Parameters);
        Error = Fails ? ENOENT : 0;
        return Fails ? nullptr : std::make_unique<TProcess>(Runs);
    }
    bool Fails = false, Runs = true;
    std::vector<std::string> Started;
};

struct TFakePowerOff final : TShutdownComputer {
    bool ShutdownComputer(std::string& ErrorText) override {
        ErrorText = "refused";
        return ++Calls, false;
    }
    int Calls = 0;
};

struct TWarnings final : TJobQueuePrompts {
    void ShowWarning(const std::string& Caption, const std::string& Text) override { Shown.push_back(Caption + ": " + Text); }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    std::vector<std::string> Shown;
};

// One job of a shown queue ends; the switches, the completion command and the
// countdown lengths decide what follows.
struct TRow {
    const char* Name;
    std::uint8_t Outcome;
    int Jobs;             // in the queue; the first one runs and ends
    const char* Switches; // letters: a start automatically, r remove completed, s shut down, p run the program
    const char* Command;
    bool Fails;         // the program cannot start
    int StartNextLength;
    Kind After;         // the countdown right after the job's end
    int Ticks;          // then this many ticks
    Kind Later;         // the countdown after them
    int Starts, PowerOffs, Left, Warnings; // start commands posted, shutdowns tried, jobs in the queue, boxes
};

const TRow Rows[] = {
    {"next job after 5 s", messaging::joCompleted, 2, "a", "", false, 5, Kind::StartNextJob, 5, Kind::None, 1, 0, 2, 0},
    {"failed job starts nothing", messaging::joFailed, 2, "a", "", false, 5, Kind::None, 0, Kind::None, 0, 0, 2, 0},
    {"not automatic", messaging::joStopped, 2, "", "", false, 5, Kind::None, 0, Kind::None, 0, 0, 2, 0},
    {"removed when finished", messaging::joAborted, 2, "ar", "", false, 5, Kind::StartNextJob, 0, Kind::StartNextJob, 0, 0, 1, 0},
    {"shutdown after the last", messaging::joAborted, 1, "s", "", false, 5, Kind::ShutdownComputer, 30, Kind::None, 0, 1, 1, 1},
    {"shutdown after a failed last", messaging::joFailed, 1, "s", "", false, 5, Kind::ShutdownComputer, 0, Kind::ShutdownComputer, 0, 0, 1, 0},
    {"queued job prevents shutdown", messaging::joCompleted, 2, "s", "", false, 5, Kind::None, 0, Kind::None, 0, 0, 2, 0},
    {"waits for the program", messaging::joCompleted, 2, "ap", "zip -r %d", false, 5, Kind::WaitForProcess, 60, Kind::StartNextJob, 0, 0, 2, 0},
    {"placeholders only: no wait", messaging::joCompleted, 2, "ap", "%c", false, 5, Kind::StartNextJob, 0, Kind::StartNextJob, 0, 0, 2, 0},
    {"no box unless last", messaging::joCompleted, 2, "ap", "nothing", true, 5, Kind::StartNextJob, 0, Kind::StartNextJob, 0, 0, 2, 0},
    {"box for the last", messaging::joCompleted, 1, "ap", "nothing", true, 5, Kind::None, 0, Kind::None, 0, 0, 1, 1},
    {"negative length: at once", messaging::joCompleted, 2, "a", "", false, -5, Kind::None, 0, Kind::None, 1, 0, 2, 0},
};

} // namespace

TEST(Automation, AJobsEndLeadsToTheCountdownAndActionItsSwitchesAsk) {
    for (const TRow& row : Rows) {
        testsupport::TTempDir data, dest;
        jobs::TSavedOptions options;
        options.Initialize(data.Path() + "/");
        options.Write(jobs::Settings::CountdownStartNextJob, row.StartNextLength);
        const std::string switches = row.Switches;
        const auto on = [&switches](char Letter) { return switches.find(Letter) != std::string::npos; };
        options.Write(jobs::Settings::StartJobsAutomatically, on('a'));
        messaging::TSpiderInputMessageQueue input;
        TWarnings prompts;
        TFakeRunner runner;
        runner.Fails = row.Fails;
        TFakePowerOff powerOff;
        TJobQueue queue(input, options, prompts);
        queue.SetQueueShown(true);
        TJobCompletionAutomation automation(queue, options, prompts, runner, powerOff);
        automation.SetRemoveCompletedJobs(on('r'));
        automation.SetShutdownWhenAllJobsCompleted(on('s'));
        automation.SetRunAppOnJobCompletion(on('p'));
        automation.SetJobCompletionCommandLine(row.Command);
        for (int i = 0; i < row.Jobs; ++i) {
            jobs::TCopyJob job;
            job.Reset();
            job.SetDestinationFolder(dest.Path());
            web::SetStartingURL(job, "http://site.test/" + std::to_string(i) + "/");
            queue.AddCopyJob(job);
        }
        automation.StopCountdown();
        queue.StartJob(0);
        messaging::TSpiderOutputMsg msg;
        msg.Kind = messaging::somJobStarted;
        msg.JobNumber = 1;
        queue.OnSpiderOutput(msg);
        queue.StopJob(0); // the user's stop, answered by the job's end
        input.Clear();
        msg.Kind = messaging::somJobEnded;
        msg.Status = row.Outcome;
        queue.OnSpiderOutput(msg);
        EXPECT_EQ(automation.CountdownKind(), row.After) << row.Name;
        EXPECT_EQ(automation.CountdownMessage().empty(), row.After == Kind::None) << row.Name;
        for (int i = 0; i < row.Ticks; ++i) automation.Tick();
        EXPECT_EQ(automation.CountdownKind(), row.Later) << row.Name;
        EXPECT_EQ(static_cast<int>(input.Count()), row.Starts) << row.Name;
        EXPECT_EQ(powerOff.Calls, row.PowerOffs) << row.Name;
        EXPECT_EQ(queue.Count(), row.Left) << row.Name;
        EXPECT_EQ(static_cast<int>(prompts.Shown.size()), row.Warnings) << row.Name;
        EXPECT_EQ(runner.Started.size(), *row.Command ? 1u : 0u) << row.Name;
    }
}

TEST(Automation, PlaceholdersAreFilledInOrder) {
    for (const auto& row : unittest::ReadCases("automation/placeholders.tsv", 7)) {
        jobs::TCopyJob job;
        job.SetDestinationFolder(row[1]);
        job.UniqueSubfolder = row[2];
        web::SetStartingURL(job, row[3]);
        job.JobName = row[5];
        EXPECT_EQ(ExpandPlaceholders(row[0], job, row[4]), row[6]) << row.Where;
    }
    EXPECT_TRUE(CommandIsPlaceholdersOnly(" \"%c\"  %d"));
    EXPECT_FALSE(CommandIsPlaceholdersOnly("%c x"));
    EXPECT_EQ(SplitCommandTokens("a \"b c\" \"say \"\"x\"\"\""), (std::vector<std::string>{"a", "b c", "say \"x\""}));
}

TEST(Automation, TheCommandLineFileOffersZipOnlyWhenThePathHasItAndSkipsBadLines) {
    testsupport::TTempDir bin, data;
    const std::string launchLine = "\"Launch copied site\", \"%c\"\r\n";
    EXPECT_EQ(DefaultCommandLinesText(bin.Path()), launchLine);
    testsupport::WriteFileText(bin.File("zip"), "#!/bin/sh\n");
    std::filesystem::permissions(bin.File("zip"), std::filesystem::perms::owner_all);
    const std::string zipLine = "\"Create ZIP file\", \"" + bin.File("zip") + " -r \"\"%d.zip\"\" \"\"%d\"\"\"\r\n";
    EXPECT_EQ(DefaultCommandLinesText("/nowhere::" + bin.Path()), launchLine + zipLine);
    testsupport::TTraceLogCapture trace;
    EXPECT_EQ(ParseCommandLines("a, b, c\n\"x\", \"y\"\r\none\n"), (std::vector<TCommandLineEntry>{{"x", "y"}}));
    EXPECT_EQ(trace.Count("Warning", "Invalid column count"), 2);
    EXPECT_EQ(LoadCommandLines(data.Path() + "/").at(0), (TCommandLineEntry{"Launch copied site", "%c"}));
    EXPECT_TRUE(testsupport::FileExists(data.File(CommandLinesFileBaseName)));
}

TEST(Automation, TheRealRunnerStartsWithoutAShellInItsFolderAndTheShutdownCommandReportsFailure) {
    testsupport::TTempDir folder;
    TSpawnProcessRunner runner;
    int error = 0;
    auto process = runner.Start({"sh", "-c \"echo $0 > out\" \"two words; true\"", folder.Path()}, error);
    ASSERT_TRUE(process);
    for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         process->StillRuns() && std::chrono::steady_clock::now() < deadline;)
        std::this_thread::yield();
    EXPECT_EQ(testsupport::ReadFileText(folder.File("out")), "two words; true\n");
    EXPECT_FALSE(runner.Start({"no-such-program-here", "", ""}, error));
    EXPECT_EQ(error, ENOENT);
    const std::pair<std::vector<std::string>, std::string> commands[] = {
        {{"true"}, ""}, {{"false"}, "false ended with status 1"}, {{"no-such-program-here"}, "Error 2 (No such file or directory)"}};
    for (const auto& [command, expected] : commands) {
        std::string text;
        EXPECT_EQ(TCommandShutdown(command).ShutdownComputer(text), expected.empty()) << command[0];
        EXPECT_EQ(text, expected);
    }
}
