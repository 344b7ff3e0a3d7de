#include "messaging/SpiderOutputMsgQueue.h"
#include "messaging/SpiderOutputSplitter.h"

#include "support/OutputQueueDrain.h"
#include "support/TraceLogCapture.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>

using namespace messaging;
using namespace std::chrono_literals;
using testsupport::TOutputQueueDrain;
using testsupport::TOutputRecorder;

namespace {

constexpr auto Generous = 20s;

TSpiderOutputMsg Report(std::uint8_t Kind, std::int32_t JobNumber = 1) {
    TSpiderOutputMsg msg;
    msg.Kind = Kind;
    msg.JobNumber = JobNumber;
    return msg;
}

// A queue with a splitter, a front-end thread and one subscriber to every kind.
struct TFrontEnd {
    std::unique_ptr<TSpiderOutputMessageQueue> Queue = std::make_unique<TSpiderOutputMessageQueue>();
    TSpiderOutputSplitter Splitter{*Queue};
    TOutputRecorder Recorder;
    std::unique_ptr<TOutputQueueDrain> Drain;

    explicit TFrontEnd(bool Subscribe = true) {
        if (Subscribe) Recorder.Subscribe(Splitter, ~TSpiderOutputKindSet{0});
        Drain = std::make_unique<TOutputQueueDrain>(*Queue, Splitter);
    }
    ~TFrontEnd() { Drain.reset(); }
};

} // namespace

// A poster far ahead of a front end that is held for a while: every message
// arrives once, in posting order. The retry period is set beyond the test's
// limit, so only the wake-up on retrieval can let a blocked post go on.
TEST(OutputQueue, DeliversInPostingOrderThroughAFullQueue) {
    testsupport::TTraceLogCapture trace;
    TFrontEnd front;
    front.Queue->SetRetryTimingForTests(1h, 1h);
    front.Drain->Hold();
    for (int i = 0; i < TSpiderOutputMessageQueue::Capacity; ++i)
        ASSERT_TRUE(front.Queue->PostMessage(Report(somDownloadEnded, i)));
    const std::string before = trace.Text();
    EXPECT_FALSE(front.Queue->PostMessage(Report(somDownloadEnded, -1)));
    EXPECT_EQ(trace.Text(), before) << "a full queue fails silently";
    constexpr int Full = TSpiderOutputMessageQueue::Capacity;
    constexpr int Messages = 3 * Full;
    auto poster = std::async(std::launch::async, [&] {
        int posted = 0;
        for (int i = Full; i < Messages; ++i) posted += front.Queue->TryToPostMessage(Report(somDownloadEnded, i));
        return posted;
    });
    EXPECT_EQ(poster.wait_for(100ms), std::future_status::timeout) << "the post beyond a full queue waits";
    front.Drain->Release();
    ASSERT_EQ(poster.wait_for(Generous), std::future_status::ready);
    EXPECT_EQ(poster.get(), Messages - Full);
    ASSERT_TRUE(front.Recorder.WaitForCount(Messages, Generous));
    const auto records = front.Recorder.Records();
    for (int i = 0; i < Messages; ++i) ASSERT_EQ(records[i].Msg.JobNumber, i) << "position " << i;
}

TEST(OutputQueue, ADestinationArrivingLateLetsAWaitingPostThrough) {
    auto queue = std::make_unique<TSpiderOutputMessageQueue>();
    queue->SetRetryTimingForTests(1h, 1h);
    auto poster = std::async(std::launch::async, [&] { return queue->TryToPostMessage(Report(somJobStarted, 8)); });
    EXPECT_EQ(poster.wait_for(50ms), std::future_status::timeout);
    TSpiderOutputSplitter splitter(*queue);
    TOutputRecorder recorder;
    recorder.Subscribe(splitter, SpiderOutputKinds({somJobStarted}));
    TOutputQueueDrain drain(*queue, splitter);
    ASSERT_EQ(poster.wait_for(Generous), std::future_status::ready);
    EXPECT_TRUE(poster.get());
    ASSERT_TRUE(recorder.WaitForCount(1, Generous));
}

// Counts notifications; the test takes the messages out itself.
struct TCountingNotifier final : TSpiderOutputNotifier {
    bool NotifySpiderOutput(std::uint32_t) override { return ++Notifications, true; }
    int Notifications = 0;
};

// The receiver is told only when the empty queue gets a message, takes out
// everything at once, and kinds no view subscribed to are never queued.
TEST(OutputQueue, NotifiesOncePerBatchAndQueuesOnlySubscribedKinds) {
    const struct {
        TSpiderOutputKindSet Subscribed;
        int Posts, Queued, Notifications;
    } rows[] = {
        {SpiderOutputKindRange(1, 22), 60, 60, 1},
        {SpiderOutputKinds({somJobEnded}), 60, 20, 1},
        {SpiderOutputKinds({somJobStarted}), 60, 0, 0},
    };
    for (const auto& row : rows) {
        TSpiderOutputMessageQueue queue;
        TSpiderOutputSplitter splitter(queue);
        TOutputRecorder recorder;
        recorder.Subscribe(splitter, row.Subscribed);
        TCountingNotifier notifier;
        queue.SetDestinationWindow(&notifier);
        for (int round = 1; round <= 2; ++round) {
            for (int i = 0; i < row.Posts; ++i)
                ASSERT_TRUE(queue.TryToPostMessage(Report(i % 3 == 0 ? somJobEnded : somParseProgress, i)));
            EXPECT_EQ(queue.Count(), row.Queued);
            EXPECT_EQ(notifier.Notifications, row.Notifications * round);
            EXPECT_EQ(splitter.DeliverQueued(), row.Queued);
            EXPECT_EQ(queue.Count(), 0);
        }
        EXPECT_EQ(recorder.Count(), 2u * row.Queued);
        // A receiver that takes over a non-empty queue is told at once.
        ASSERT_TRUE(queue.TryToPostMessage(Report(somJobEnded)));
        TCountingNotifier next;
        queue.SetDestinationWindow(&next);
        EXPECT_EQ(next.Notifications, row.Queued > 0 ? 1 : 0);
        queue.SetDestinationWindow(nullptr);
    }
}

// A report arrives with every field its kind gives meaning to, also through
// slots that held reports of other kinds before.
TEST(OutputQueue, AReportArrivesWithTheFieldsOfItsKind) {
    using TRead = std::string (*)(const TSpiderOutputMsg&);
    const TRead job = [](const TSpiderOutputMsg& M) { return M.Job.JobName; };
    const TRead download = [](const TSpiderOutputMsg& M) { return M.FileDownload.LocalFile; };
    const TRead page = [](const TSpiderOutputMsg& M) { return M.FileReadWrite.LocalFile; };
    const TRead link = [](const TSpiderOutputMsg& M) { return std::to_string(M.Link.ValueOffset); };
    const TRead start = [](const TSpiderOutputMsg& M) { return M.StartPageFile; };
    const TRead error = [](const TSpiderOutputMsg& M) { return M.JobErrorText; };
    const TRead folder = [](const TSpiderOutputMsg& M) { return M.FolderPath; };
    const TRead moved = [](const TSpiderOutputMsg& M) { return M.Flattening.SourceFile; };
    const struct { std::uint8_t Kind; std::vector<TRead> Fields; } rows[] = {
        {somJobStarted, {job}},          {somDownloadStarted, {download}}, {somDownloadEnded, {download}},
        {somParseStarted, {page}},       {somLinkFound, {link, page}},     {somRewriteEnded, {page}},
        {somPruneFolder, {folder, start}}, {somFlattenFileMoved, {moved, start}},
        {somJobEnded, {job, download, start, error}},
    };
    TFrontEnd front;
    for (int round = 0; round < 2; ++round)
        for (const auto& row : rows) {
            TSpiderOutputMsg msg = Report(row.Kind, round);
            const std::string mark = std::to_string(row.Kind);
            msg.Job.JobName = msg.FileDownload.LocalFile = msg.FileReadWrite.LocalFile = mark;
            msg.StartPageFile = msg.JobErrorText = msg.FolderPath = msg.Flattening.SourceFile = mark;
            msg.Link.ValueOffset = row.Kind;
            ASSERT_TRUE(front.Queue->PostMessage(msg));
        }
    ASSERT_TRUE(front.Recorder.WaitForCount(2 * std::size(rows), Generous));
    const auto records = front.Recorder.Records();
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& row = rows[i % std::size(rows)];
        ASSERT_EQ(records[i].Msg.Kind, row.Kind);
        EXPECT_EQ(records[i].Msg.JobNumber, static_cast<std::int32_t>(i / std::size(rows)));
        for (const TRead read : row.Fields) EXPECT_EQ(read(records[i].Msg), std::to_string(row.Kind)) << i;
    }
}

TEST(Splitter, EachSubscriberSeesOnlyItsKindsInSubscriptionOrderAndAFailingOneStopsNoOther) {
    testsupport::TTraceLogCapture trace;
    TFrontEnd front(false);
    std::mutex lock; // guards calls
    std::vector<std::string> calls;
    const std::pair<const char*, TSpiderOutputKindSet> subscribers[] = {
        {"ended", SpiderOutputKinds({somJobEnded})}, {"failing", SpiderOutputKinds({somJobEnded})},
        {"started", SpiderOutputKinds({somJobStarted, somDownloadEnded})}, {"both", SpiderOutputKinds({somJobStarted, somJobEnded})}};
    for (const auto& [name, kinds] : subscribers)
        ASSERT_TRUE(front.Splitter.RegisterForSpiderOutput(kinds, [&, name = std::string(name)](const TSpiderOutputMsg& Msg, std::uint32_t Label) {
            std::lock_guard guard(lock);
            calls.push_back(name + std::to_string(Label) + ":" + std::to_string(Msg.Kind));
            if (name == "failing") throw std::runtime_error("view went wrong");
        }));
    for (auto kind : {somJobStarted, somParseStarted, somJobEnded}) ASSERT_TRUE(front.Queue->TryToPostMessage(Report(kind)));
    ASSERT_TRUE(front.Drain->WaitUntilDrained(Generous));
    front.Splitter.OnSpiderOutput(4711);
    std::lock_guard guard(lock);
    EXPECT_EQ(calls, (std::vector<std::string>{"started1:" + std::to_string(somJobStarted), "both1:" + std::to_string(somJobStarted),
                                               "ended2:" + std::to_string(somJobEnded), "failing2:" + std::to_string(somJobEnded),
                                               "both2:" + std::to_string(somJobEnded)}))
        << "the parse report that no view subscribed to is not queued and takes no label";
    EXPECT_EQ(trace.CountRows("\"Exception\",\"view went wrong\",\"OnSpiderOutput\""), 1u);
    EXPECT_EQ(trace.CountRows("\"Warning\",\"Retrieval of msg 4711 failed\""), 1u);
}
