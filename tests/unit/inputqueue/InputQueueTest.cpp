#include "messaging/SpiderInputMsg.h"

#include "support/TraceLogCapture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace messaging;
using TCommands = std::vector<std::pair<int, int>>; // kind and job number, front to back

namespace {

TSpiderInputMsg Command(int Kind, int JobNumber) {
    TSpiderInputMsg msg;
    msg.Kind = static_cast<std::uint8_t>(Kind);
    msg.JobNumber = JobNumber;
    return msg;
}

// Empties the queue.
TCommands Drain(TSpiderInputMessageQueue& Queue) {
    TCommands out;
    for (TSpiderInputMsg msg; Queue.TakeFirst(msg);) out.emplace_back(msg.Kind, msg.JobNumber);
    return out;
}

} // namespace

TEST(InputQueue, EleventhPostIsRefusedOnlyListenedPostsCountAndClearFreesTheSlots) {
    testsupport::TTraceLogCapture trace;
    TSpiderInputMessageQueue queue;
    int heard = 0;
    queue.SetPostListener([&] { ++heard; });
    for (int i = 1; i <= 10; ++i) ASSERT_TRUE(queue.PostPause(i)) << "post " << i;
    EXPECT_FALSE(queue.PostStop(11));
    EXPECT_EQ(heard, 10);
    EXPECT_EQ(trace.CountRows("\"Message\",\"Spider input queue full\""), 1u);
    const TCommands taken = Drain(queue);
    ASSERT_EQ(taken.size(), 10u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(taken[i], std::make_pair(int(simPauseJob), i + 1)) << i;
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(queue.PostResume(1));
    queue.Clear();
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(queue.PostResume(1)) << "post after clear " << i;
}

TEST(InputQueue, TakeMatchingFindsTheOldestOfTheKindsForTheJob) {
    const auto stops = SpiderInputKinds({simStopJob, simAbortJob});
    const auto downloadStops = SpiderInputKinds(
        {simStopFileDownload, simStopHostDownload, simStopFileExtDownload, simStopMimeTypeDownload});
    const struct { TCommands Queued; TSpiderInputKindSet Kinds; int Job; TCommands Remaining; } rows[] = {
        {{{simPauseJob, 7}, {simStopJob, 8}, {simStopJob, 7}}, stops, 7, {{simPauseJob, 7}, {simStopJob, 8}}},
        {{{simPauseJob, 3}, {simAbortJob, 9}, {simStopJob, 4}}, stops, 0, {{simPauseJob, 3}, {simStopJob, 4}}},
        {{{simPauseJob, 1}, {simStopMimeTypeDownload, 1}, {simStopFileDownload, 1}}, downloadStops, 1,
         {{simPauseJob, 1}, {simStopFileDownload, 1}}},
        {{{simPauseJob, 1}, {simResumeJob, 1}}, stops, 1, {{simPauseJob, 1}, {simResumeJob, 1}}},
        {{{simAbortJob, 2}}, stops, 1, {{simAbortJob, 2}}},
    };
    for (const auto& row : rows) {
        TSpiderInputMessageQueue queue;
        for (const auto& [kind, job] : row.Queued) ASSERT_TRUE(queue.Post(Command(kind, job)));
        TSpiderInputMsg msg;
        const bool taken = row.Remaining.size() < row.Queued.size();
        EXPECT_EQ(queue.TakeMatching(row.Kinds, row.Job, &msg), taken) << row.Job;
        EXPECT_EQ(Drain(queue), row.Remaining) << row.Job;
    }
}
