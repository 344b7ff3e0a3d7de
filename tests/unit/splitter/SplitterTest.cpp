#include "messaging/SpiderOutputSplitter.h"

#include "support/OutputQueueDrain.h"
#include "support/TraceLogCapture.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

using namespace messaging;
using namespace std::chrono_literals;

namespace {

constexpr auto Generous = 20s;

TSpiderOutputMsg Report(std::uint8_t Kind, std::int32_t JobNumber = 1) {
    TSpiderOutputMsg msg;
    msg.Kind = Kind;
    msg.JobNumber = JobNumber;
    return msg;
}

// Every kind the engine sends, in the order of a small job.
const std::uint8_t JobKinds[] = {
    somJobStarted,   somDownloadStarted, somDownloadProgress, somDownloadEnded,
    somParseStarted, somParseProgress,   somLinkFound,        somParseEnded,
    somJobPaused,    somJobResumed,      somRewriteStarted,   somRewriteProgress,
    somRewriteEnded, somFlattenStarted,  somFlattenFileMoved, somFlattenEnded,
    somPruneStarted, somPruneFolder,     somPruneEnded,       somJobEnded,
};

struct TSplitterFixture {
    std::unique_ptr<TSpiderOutputMessageQueue> Queue =
        std::make_unique<TSpiderOutputMessageQueue>();
    TSpiderOutputSplitter Splitter{*Queue};
};

std::vector<int> KindsOf(const std::vector<testsupport::TOutputRecorder::TRecord>& Records) {
    std::vector<int> kinds;
    for (const auto& record : Records)
        kinds.push_back(record.Msg.Kind);
    return kinds;
}

} // namespace

// The program's own subscriptions: each view sees exactly its kinds, in posting order.
TEST(Splitter, EachSubscriberSeesOnlyItsKindsInOrder) {
    struct Row {
        const char* Subscriber;
        TSpiderOutputKindSet Kinds;
        std::vector<int> Expected;
    } rows[] = {
        {"sound", SpiderOutputKinds({1, 4, 7}), {1, 7, 4}},
        {"speech", SpiderOutputKinds({1, 4}), {1, 4}},
        {"job log", SpiderOutputKinds({4}), {4}},
        {"progress view",
         SpiderOutputKindRange(1, 7) | SpiderOutputKindRange(9, 22),
         {1, 5, 6, 7, 9, 10, 11, 12, 2, 3, 13, 14, 16, 20, 21, 22, 17, 18, 19, 4}},
        {"start page", SpiderOutputKinds({1, 4}), {1, 4}},
        {"job queue", SpiderOutputKinds({1, 4}), {1, 4}},
    };
    TSplitterFixture f;
    std::vector<testsupport::TOutputRecorder> recorders(std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i)
        ASSERT_TRUE(recorders[i].Subscribe(f.Splitter, rows[i].Kinds)) << rows[i].Subscriber;
    testsupport::TOutputQueueDrain drain(*f.Queue, f.Splitter);
    for (auto kind : JobKinds)
        ASSERT_TRUE(f.Queue->TryToPostMessage(Report(kind)));
    ASSERT_TRUE(drain.WaitUntilDrained(Generous));
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(KindsOf(recorders[i].Records()), rows[i].Expected) << rows[i].Subscriber;
}

TEST(Splitter, HandlersRunInSubscriptionOrderWithTheLabel) {
    TSplitterFixture f;
    std::mutex lock; // guards calls
    std::vector<std::string> calls;
    for (const char* name : {"first", "second", "third"})
        f.Splitter.RegisterForSpiderOutput(SpiderOutputKinds({somJobEnded}),
                                           [&, name](const TSpiderOutputMsg&, std::uint32_t Label) {
                                               std::lock_guard guard(lock);
                                               calls.push_back(name + std::to_string(Label));
                                           });
    testsupport::TOutputQueueDrain drain(*f.Queue, f.Splitter);
    ASSERT_TRUE(f.Queue->TryToPostMessage(Report(somJobEnded)));
    ASSERT_TRUE(f.Queue->TryToPostMessage(Report(somJobEnded)));
    ASSERT_TRUE(drain.WaitUntilDrained(Generous));
    std::lock_guard guard(lock);
    EXPECT_EQ(calls, (std::vector<std::string>{"first1", "second1", "third1", "first2", "second2",
                                               "third2"}));
}

TEST(Splitter, TenthSubscriptionIsRefused) {
    testsupport::TTraceLogCapture trace;
    TSplitterFixture f;
    int calls = 0;
    for (int i = 0; i < TSpiderOutputSplitter::MaxSubscriptions; ++i)
        ASSERT_TRUE(f.Splitter.RegisterForSpiderOutput(
            SpiderOutputKinds({somJobStarted}),
            [&](const TSpiderOutputMsg&, std::uint32_t) { ++calls; }));
    EXPECT_FALSE(f.Splitter.RegisterForSpiderOutput(
        SpiderOutputKinds({somJobStarted}),
        [&](const TSpiderOutputMsg&, std::uint32_t) { calls += 100; }));
    EXPECT_EQ(f.Splitter.SubscriptionCount(), 9);
    EXPECT_EQ(trace.CountRows("\"Warning\",\"Array full\""), 1u);
    testsupport::TOutputQueueDrain drain(*f.Queue, f.Splitter);
    ASSERT_TRUE(f.Queue->TryToPostMessage(Report(somJobStarted)));
    ASSERT_TRUE(drain.WaitUntilDrained(Generous));
    EXPECT_EQ(calls, 9);
}

TEST(Splitter, UnknownLabelIsReportedAndIgnored) {
    testsupport::TTraceLogCapture trace;
    TSplitterFixture f;
    testsupport::TOutputRecorder recorder;
    recorder.Subscribe(f.Splitter, ~TSpiderOutputKindSet{0});
    f.Splitter.OnSpiderOutput(4711);
    EXPECT_EQ(recorder.Count(), 0u);
    EXPECT_EQ(trace.CountRows("\"Warning\",\"Retrieval of msg 4711 failed\""), 1u);
}

TEST(Splitter, AFailingHandlerDoesNotStopTheOthers) {
    testsupport::TTraceLogCapture trace;
    TSplitterFixture f;
    f.Splitter.RegisterForSpiderOutput(SpiderOutputKinds({somDownloadEnded}),
                                       [](const TSpiderOutputMsg&, std::uint32_t) {
                                           throw std::runtime_error("view went wrong");
                                       });
    testsupport::TOutputRecorder recorder;
    recorder.Subscribe(f.Splitter, SpiderOutputKinds({somDownloadEnded}));
    testsupport::TOutputQueueDrain drain(*f.Queue, f.Splitter);
    ASSERT_TRUE(f.Queue->TryToPostMessage(Report(somDownloadEnded)));
    ASSERT_TRUE(drain.WaitUntilDrained(Generous));
    EXPECT_EQ(recorder.Count(), 1u);
    EXPECT_EQ(trace.CountRows("\"Exception\",\"view went wrong\",\"OnSpiderOutput\""), 1u);
}

// Slots and the splitter's message are reused: a report must arrive exactly
// as posted, with nothing left over from the report that used them before.
TEST(Splitter, ReportsArriveWholeAndWithoutLeftovers) {
    TSplitterFixture f;
    testsupport::TOutputRecorder recorder;
    recorder.Subscribe(f.Splitter, ~TSpiderOutputKindSet{0});
    testsupport::TOutputQueueDrain drain(*f.Queue, f.Splitter);

    TSpiderOutputMsg ended = Report(somDownloadEnded, 6);
    ended.Status = 1;
    ended.FileDownload.DownloadNumber = 77;
    ASSERT_TRUE(ended.FileDownload.Address.SetFullURL("http://site.test/old.html"));
    ended.FileDownload.LocalFile = "/copies/site.test/old.html";
    ended.FileDownload.Results.Outcome = doCompleted;
    ended.FileDownload.Results.StatusCode = 301;
    ASSERT_TRUE(ended.FileDownload.Results.RedirectTarget.SetFullURL("http://site.test/new.html"));
    ended.FileDownload.Results.RedirectQueued = true;
    ended.Link.TagName = "IMG";
    ended.Job.JobName = "Site";
    TSpiderOutputMsg moved = Report(somFlattenFileMoved, 6);
    moved.Flattening.SourceFile = "/copies/site.test/a/x.gif";
    moved.Flattening.DestinationFile = "/copies/x.gif";

    for (int round = 0; round < 150; ++round) { // more than the queue's slots
        ASSERT_TRUE(f.Queue->TryToPostMessage(ended));
        ASSERT_TRUE(f.Queue->TryToPostMessage(moved));
    }
    ASSERT_TRUE(recorder.WaitForCount(300, Generous));
    const auto records = recorder.Records();
    for (std::size_t i = 0; i < records.size(); i += 2) {
        const auto& e = records[i].Msg;
        ASSERT_EQ(e.Kind, somDownloadEnded) << "record " << i;
        EXPECT_EQ(e.FileDownload.DownloadNumber, 77);
        EXPECT_EQ(e.FileDownload.Address.GetFullURL(), "http://site.test/old.html");
        EXPECT_EQ(e.FileDownload.Results.StatusCode, 301);
        EXPECT_EQ(e.FileDownload.Results.RedirectTarget.GetFullURL(), "http://site.test/new.html");
        EXPECT_TRUE(e.FileDownload.Results.RedirectQueued);
        EXPECT_TRUE(e.Flattening.SourceFile.empty()) << "record " << i;
        const auto& m = records[i + 1].Msg;
        ASSERT_EQ(m.Kind, somFlattenFileMoved) << "record " << i + 1;
        EXPECT_EQ(m.Flattening.DestinationFile, "/copies/x.gif");
        EXPECT_FALSE(m.FileDownload.Address.IsValid()) << "record " << i + 1;
        EXPECT_TRUE(m.Link.TagName.empty()) << "record " << i + 1;
        EXPECT_TRUE(m.Job.JobName.empty()) << "record " << i + 1;
    }
}
