#include "messaging/SpiderOutputMsgQueue.h"
#include "messaging/SpiderOutputSplitter.h"

#include "support/OutputQueueDrain.h"
#include "support/TraceLogCapture.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <thread>

using namespace messaging;
using namespace std::chrono_literals;
using testsupport::TOutputQueueDrain;
using testsupport::TOutputRecorder;

namespace {

constexpr auto Generous = 20s;

TSpiderOutputMsg Report(std::uint8_t Kind, std::int32_t JobNumber) {
    TSpiderOutputMsg msg;
    msg.Kind = Kind;
    msg.JobNumber = JobNumber;
    return msg;
}

// A queue with a splitter, a front-end thread and one subscriber to every kind.
struct TFrontEnd {
    std::unique_ptr<TSpiderOutputMessageQueue> Queue =
        std::make_unique<TSpiderOutputMessageQueue>();
    TSpiderOutputSplitter Splitter{*Queue};
    TOutputRecorder Recorder;
    std::unique_ptr<TOutputQueueDrain> Drain;

    TFrontEnd() {
        Recorder.Subscribe(Splitter, ~TSpiderOutputKindSet{0});
        Drain = std::make_unique<TOutputQueueDrain>(*Queue, Splitter);
    }
    ~TFrontEnd() { Drain.reset(); }
};

std::vector<std::uint32_t> LabelsOf(const std::vector<TOutputRecorder::TRecord>& Records) {
    std::vector<std::uint32_t> labels;
    for (const auto& record : Records)
        labels.push_back(record.Label);
    return labels;
}

} // namespace

TEST(OutputQueue, WithoutDestinationPostingFails) {
    testsupport::TTraceLogCapture trace;
    TSpiderOutputMessageQueue queue;
    EXPECT_FALSE(queue.PostMessage(Report(somJobStarted, 1)));
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_EQ(trace.CountRows("\"Warning\",\"No destination window\""), 1u);
}

TEST(OutputQueue, LabelsStartAtOneAndNeverRestart) {
    testsupport::TTraceLogCapture trace;
    TFrontEnd front;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(front.Queue->PostMessage(Report(somJobPaused, i)));
    ASSERT_TRUE(front.Drain->WaitUntilDrained(Generous));
    front.Queue->ClearMessageQueue();
    front.Drain->RefuseNotifications(true);
    EXPECT_FALSE(front.Queue->PostMessage(Report(somJobPaused, 3))); // spends label 4
    front.Drain->RefuseNotifications(false);
    ASSERT_TRUE(front.Queue->PostMessage(Report(somJobPaused, 4)));
    ASSERT_TRUE(front.Drain->WaitUntilDrained(Generous));
    EXPECT_EQ(front.Drain->NotifiedLabels(), (std::vector<std::uint32_t>{1, 2, 3, 5}));
    EXPECT_EQ(LabelsOf(front.Recorder.Records()), (std::vector<std::uint32_t>{1, 2, 3, 5}));
    EXPECT_EQ(trace.CountRows("\"Spider output msg queue cleared\""), 1u);
    EXPECT_EQ(trace.CountRows("\"API Error\",\"Notify destination window\""), 1u);
}

TEST(OutputQueue, HoldsAHundredAndRefusesTheNextWithoutEntry) {
    testsupport::TTraceLogCapture trace;
    TFrontEnd front;
    front.Drain->Hold();
    for (int i = 0; i < TSpiderOutputMessageQueue::Capacity; ++i)
        ASSERT_TRUE(front.Queue->PostMessage(Report(somDownloadProgress, i))) << "message " << i;
    const std::string before = trace.Text();
    EXPECT_FALSE(front.Queue->PostMessage(Report(somDownloadProgress, 100)));
    EXPECT_EQ(front.Queue->Count(), 100);
    EXPECT_EQ(trace.Text(), before) << "a full queue fails silently";
    front.Drain->Release();
    ASSERT_TRUE(front.Recorder.WaitForCount(100, Generous));
    EXPECT_EQ(front.Queue->Count(), 0);
}

// A poster far ahead of a front end that is held for a while: every message
// arrives once, in posting order. The retry period is set beyond the test's
// limit, so only the wake-up on retrieval can let a blocked post go on.
TEST(OutputQueue, DeliversInPostingOrderThroughAFullQueue) {
    TFrontEnd front;
    front.Queue->SetRetryTimingForTests(1h, 1h);
    front.Drain->Hold();
    constexpr int Messages = 1000;
    auto poster = std::async(std::launch::async, [&] {
        int posted = 0;
        for (int i = 0; i < Messages; ++i)
            posted += front.Queue->TryToPostMessage(Report(somDownloadEnded, i));
        return posted;
    });
    EXPECT_EQ(poster.wait_for(100ms), std::future_status::timeout) << "the 101st post waits";
    EXPECT_EQ(front.Queue->Count(), 100);
    front.Drain->Release();
    ASSERT_EQ(poster.wait_for(Generous), std::future_status::ready);
    EXPECT_EQ(poster.get(), Messages);
    ASSERT_TRUE(front.Recorder.WaitForCount(Messages, Generous));
    const auto records = front.Recorder.Records();
    for (int i = 0; i < Messages; ++i) {
        ASSERT_EQ(records[i].Msg.JobNumber, i) << "position " << i;
        ASSERT_EQ(records[i].Label, static_cast<std::uint32_t>(i + 1)) << "position " << i;
    }
}

TEST(OutputQueue, GivesUpAfterTheLimitAndFailsFastUntilCleared) {
    testsupport::TTraceLogCapture trace;
    TFrontEnd front;
    front.Queue->SetRetryTimingForTests(300ms, 20ms);
    front.Drain->Hold();
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(front.Queue->TryToPostMessage(Report(somDownloadProgress, 1)));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(front.Queue->TryToPostMessage(Report(somDownloadEnded, 1)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_TRUE(front.Queue->GaveUp());
    EXPECT_EQ(trace.CountRows("\"Spider output msg queue full\""), 1u);
    const std::size_t retries = trace.CountRows("\"Warning\",\"Post message failed\"");
    EXPECT_GE(retries, 2u);
    EXPECT_LE(retries, 17u) << "one attempt per retry period at most, plus the first";

    // Later posts of the doomed job try once and return.
    EXPECT_FALSE(front.Queue->TryToPostMessage(Report(somParseStarted, 0)));
    EXPECT_EQ(trace.CountRows("\"Spider output msg queue full\""), 1u);

    // The failing job clears the queue; its end report still goes through,
    // and the front end finds the dropped labels gone.
    front.Queue->ClearMessageQueue();
    EXPECT_FALSE(front.Queue->GaveUp());
    TSpiderOutputMsg ended = Report(somJobEnded, 1);
    ended.Status = joFailed;
    ASSERT_TRUE(front.Queue->TryToPostMessage(ended));
    front.Drain->Release();
    ASSERT_TRUE(front.Recorder.WaitForCount(1, Generous));
    ASSERT_TRUE(front.Drain->WaitUntilDrained(Generous));
    const auto records = front.Recorder.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Msg.Kind, somJobEnded);
    EXPECT_EQ(records[0].Msg.Status, joFailed);
    EXPECT_EQ(trace.CountRows("\"Retrieval of msg 1 failed\""), 1u);
    EXPECT_EQ(trace.CountRows("\"Retrieval of msg 100 failed\""), 1u);
    EXPECT_EQ(trace.CountRows(" failed\",\"OnSpiderOutput\""), 100u);
}

TEST(OutputQueue, ADestinationArrivingLateLetsAWaitingPostThrough) {
    auto queue = std::make_unique<TSpiderOutputMessageQueue>();
    queue->SetRetryTimingForTests(1h, 1h);
    auto poster = std::async(std::launch::async,
                             [&] { return queue->TryToPostMessage(Report(somJobStarted, 8)); });
    EXPECT_EQ(poster.wait_for(50ms), std::future_status::timeout);
    TSpiderOutputSplitter splitter(*queue);
    TOutputRecorder recorder;
    recorder.Subscribe(splitter, SpiderOutputKinds({somJobStarted}));
    TOutputQueueDrain drain(*queue, splitter);
    ASSERT_EQ(poster.wait_for(Generous), std::future_status::ready);
    EXPECT_TRUE(poster.get());
    ASSERT_TRUE(recorder.WaitForCount(1, Generous));
    EXPECT_EQ(recorder.Records()[0].Msg.JobNumber, 8);
}

TEST(OutputQueue, RetrieveTakesAnyLabelAndKeepsTheOthersInOrder) {
    // A notifier that only records: the test retrieves by hand.
    struct TLabels : TSpiderOutputNotifier {
        bool NotifySpiderOutput(std::uint32_t Label) override {
            Seen.push_back(Label);
            return true;
        }
        std::vector<std::uint32_t> Seen;
    } labels;
    auto queue = std::make_unique<TSpiderOutputMessageQueue>();
    queue->SetDestinationWindow(&labels);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(queue->PostMessage(Report(somPruneFolder, 10 + i)));
    TSpiderOutputMsg msg;
    ASSERT_TRUE(queue->Retrieve(3, msg));
    EXPECT_EQ(msg.JobNumber, 12);
    EXPECT_FALSE(queue->Retrieve(3, msg)) << "taken once only";
    ASSERT_TRUE(queue->PostMessage(Report(somPruneFolder, 15))); // reuses the freed slot
    const std::pair<std::uint32_t, int> expected[] = {{1, 10}, {2, 11}, {4, 13}, {5, 14}, {6, 15}};
    for (const auto& [label, job] : expected) {
        ASSERT_TRUE(queue->Retrieve(label, msg)) << "label " << label;
        EXPECT_EQ(msg.JobNumber, job) << "label " << label;
    }
    EXPECT_EQ(queue->Count(), 0);
    queue->SetDestinationWindow(nullptr);
}
