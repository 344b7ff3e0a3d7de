#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputMsgQueue.h"
#include "messaging/SpiderOutputSplitter.h"
#include "queue/CopyProgress.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace messaging;
using namespace queue;

namespace {

// Stands in for the front end's thread: the test drains the queue itself.
struct TQuietNotifier final : TSpiderOutputNotifier {
    bool NotifySpiderOutput(std::uint32_t) override { return true; }
};

struct TEventLog final : TCopyProgressObserver {
    std::vector<std::string> Events;
    void Add(const char* What, int First, int Last) {
        Events.push_back(What + std::to_string(First) + "-" + std::to_string(Last));
    }
    void CompletedRowsRemoved(int First, int Last) override { Add("done-", First, Last); }
    void CompletedRowsInserted(int First, int Last) override { Add("done+", First, Last); }
    void CompletedRowsChanged(int First, int Last) override { Add("done~", First, Last); }
    void ActiveRowsRemoved(int First, int Last) override { Add("active-", First, Last); }
    void ActiveRowsInserted(int First, int Last) override { Add("active+", First, Last); }
    void ActiveRowsChanged(int First, int Last) override { Add("active~", First, Last); }
    void StateChanged() override { Events.push_back("state"); }
};

// The model fed with real reports through a real output queue and splitter.
struct TProgressUnderTest {
    TQuietNotifier Notifier;
    TSpiderOutputMessageQueue Output;
    TSpiderOutputSplitter Splitter{Output};
    TSpiderInputMessageQueue Input;
    bool Friendly = true;
    TCopyProgress Model{Input, [this] { return Friendly; }};
    TEventLog Log;

    TProgressUnderTest() {
        Output.SetDestinationWindow(&Notifier);
        EXPECT_TRUE(Model.Subscribe(Splitter));
        Model.AddObserver(Log);
        Send(Report(somJobStarted));
    }
    static TSpiderOutputMsg Report(std::uint8_t Kind, std::int32_t Download = 0, const std::string& File = {}) {
        TSpiderOutputMsg msg;
        msg.Kind = Kind;
        msg.JobNumber = 7;
        msg.FileDownload.DownloadNumber = Download;
        msg.FileDownload.Address.SetFullURL("http://127.0.0.1:8/files/" + std::to_string(Download) + ".gif");
        msg.FileDownload.LocalFile = File;
        msg.FileDownload.Results.Outcome = doCompleted;
        msg.FileDownload.Results.StatusCode = 200;
        msg.FileDownload.Results.StatusText = "OK";
        return msg;
    }
    void Send(const TSpiderOutputMsg& Msg) {
        ASSERT_TRUE(Output.PostMessage(Msg));
        Splitter.DeliverQueued();
    }
};

TEST(CopyProgress, ShowsReceivedBytesOrPercentOfARunningDownload) {
    struct {
        std::int64_t Expected, Received;
        const char *Size, *Done;
    } const cases[] = {
        {0, 512, "", "512"}, {0, 38000, "", "37 KB"}, {0, 2500000, "", "2 MB"}, {4000, 1000, "3 KB", "25%"},
    };
    for (const auto& c : cases) {
        TProgressUnderTest progress;
        progress.Send(progress.Report(somDownloadStarted, 3));
        auto msg = progress.Report(somDownloadProgress, 3, "/tmp/x/3.gif");
        msg.FileDownload.Progress = {"image/gif", c.Expected, c.Received, 10, 0, true};
        progress.Send(msg);
        progress.Model.Flush();
        ASSERT_EQ(progress.Model.ActiveRows().size(), 1u);
        EXPECT_EQ(progress.Model.ActiveRows()[0].Size, c.Size) << c.Received;
        EXPECT_EQ(progress.Model.ActiveRows()[0].Done, c.Done) << c.Received;
        const TActiveDownload* download = progress.Model.ActiveDownloadOfRow(0);
        ASSERT_NE(download, nullptr);
        EXPECT_EQ(progress.Model.StopDownloadText(TStopScope::Extension, *download),
                  "Stop downloading all with extension .gif");
    }
}

TEST(CopyProgress, FinishedDownloadsShowResultTextAndIcon) {
    struct {
        std::int32_t Status;
        const char* StatusText;
        bool Friendly;
        const char* Shown;
        TDownloadResultIcon Icon;
    } const cases[] = {
        {200, "200", false, "OK", TDownloadResultIcon::Success},
        {201, "Created", true, "OK", TDownloadResultIcon::Failure},
        {301, "Moved Permanently", false, "Moved Permanently", TDownloadResultIcon::Success},
        {301, "Moved Permanently", true, "OK", TDownloadResultIcon::Success},
        {412, "Precondition Failed", true, "Precondition Failed", TDownloadResultIcon::Success},
    };
    for (const auto& c : cases) {
        TProgressUnderTest progress;
        progress.Friendly = c.Friendly;
        progress.Send(progress.Report(somJobStarted)); // the setting is read at the start
        auto msg = progress.Report(somDownloadEnded, 1);
        msg.FileDownload.Results.StatusCode = c.Status;
        msg.FileDownload.Results.StatusText = c.StatusText;
        progress.Send(msg);
        ASSERT_EQ(progress.Model.CompletedCount(), 1);
        EXPECT_EQ(progress.Model.CompletedRow(0).Result, c.Shown) << c.Status;
        EXPECT_EQ(progress.Model.CompletedRow(0).Icon, c.Icon) << c.Status;
        EXPECT_EQ(progress.Model.CompletedRow(0).Location, "http://127.0.0.1:8/files/1.gif");
    }
}

TEST(CopyProgress, AFileSavedTwiceShowsOneRowThatFollowsItsMove) {
    testsupport::TTempDir dir;
    const std::string saved = dir.File("Sub/Page.htm");
    std::filesystem::create_directory(dir.File("Sub"));
    testsupport::WriteFileText(saved, "<p>");
    TProgressUnderTest progress;
    progress.Send(progress.Report(somDownloadEnded, 1, saved));
    progress.Send(progress.Report(somDownloadEnded, 2, saved));
    progress.Model.Flush();
    EXPECT_EQ(progress.Model.CompletedCount(), 1);
    EXPECT_EQ(progress.Model.FilesDone(), 2);

    progress.Send(progress.Report(somFlattenStarted));
    auto move = progress.Report(somFlattenFileMoved);
    move.Flattening = {dir.File("sub/page.htm"), dir.File("Page.htm")};
    progress.Send(move);
    progress.Model.Flush();
    EXPECT_EQ(progress.Model.CompletedRow(0).Location, dir.File("Page.htm"));
    EXPECT_EQ(progress.Model.ActiveRows().at(0).Location, dir.File("sub"));
    EXPECT_EQ(progress.Log.Events.back(), "active+0-0");
    EXPECT_EQ(progress.Log.Events.at(progress.Log.Events.size() - 2), "done~0-0");
}

TEST(CopyProgress, OneFlushOfManyReportsGivesRowRanges) {
    TProgressUnderTest progress;
    progress.Send(progress.Report(somDownloadStarted, 100));
    progress.Model.Flush();
    progress.Log.Events.clear();
    for (int i = 0; i < 40; ++i) {
        progress.Send(progress.Report(somDownloadStarted, i));
        progress.Send(progress.Report(somDownloadEnded, i));
    }
    progress.Send(progress.Report(somDownloadEnded, 100));
    progress.Send(progress.Report(somDownloadStarted, 200));
    progress.Model.Flush();
    progress.Model.Flush(); // nothing new: nothing told
    const std::vector<std::string> expected = {"done+0-40", "active-0-0", "active+0-0", "state"};
    EXPECT_EQ(progress.Log.Events, expected);
    EXPECT_EQ(progress.Model.DownloadCaption(), "Download Progress: 41 of 1");

    progress.Send(progress.Report(somJobStarted));
    progress.Model.Flush();
    EXPECT_EQ(progress.Log.Events.at(4), "done-0-40");
}

TEST(CopyProgress, StoppingAPausedJobResumesItFirst) {
    TProgressUnderTest progress;
    ASSERT_TRUE(progress.Model.SetPaused(true));
    ASSERT_TRUE(progress.Model.Stop());
    EXPECT_FALSE(progress.Model.PauseDown());
    for (auto kind : {simPauseJob, simStopJob, simResumeJob}) {
        TSpiderInputMsg msg;
        ASSERT_TRUE(progress.Input.TakeMatching(SpiderInputKinds({simPauseJob, simStopJob, simResumeJob}), 0, &msg));
        EXPECT_EQ(msg.Kind, kind);
        EXPECT_EQ(msg.JobNumber, 7);
    }
}

} // namespace
