// The dispatcher's per-download stops and its pause between downloads, seen
// through the reports of a whole engine against a local server.

#include "CrawlEngine.h"
#include "engine/DownloadFilter.h"

#include <gtest/gtest.h>

#include <future>

using namespace messaging;
using testsupport::TTestResponse;

namespace {

// The first report of Kind about Path, waiting for it.
std::optional<TSpiderOutputMsg> WaitForDownloadReport(TEngine& Engine, std::uint8_t Kind, const std::string& Path) {
    std::optional<TSpiderOutputMsg> found;
    Engine.Recorder.WaitFor(
        [&](const Records& records) {
            for (const auto& record : records)
                if (record.Msg.Kind == Kind && record.Msg.FileDownload.Address.GetUrlPath() == Path) {
                    found = record.Msg;
                    return true;
                }
            return false;
        },
        Patience);
    return found;
}

} // namespace

TEST(Dispatch, StopWithHostExclusionEndsTheTransferAndRefusesTheHostForTheRestOfTheRun) {
    TEngine engine;
    std::promise<void> stopPosted;
    auto stopped = stopPosted.get_future().share();
    engine.Server.Serve("/", 200, "<img src=\"big.bin\"><a href=\"b.htm\">b</a>");
    engine.Server.Serve("/b.htm", 200, "<a href=\"c.htm\">c</a>");
    engine.Server.Serve("/c.htm", 200, "<p>c</p>");
    TTestResponse big{200, std::string(64 * 1024, 'x'), {{"Content-Type", "application/octet-stream"}}};
    big.PieceSize = 1024;
    big.BeforePiece = [stopped](std::size_t piece) {
        if (piece == 2) stopped.wait_for(Patience);  // hold the body until the stop is posted
    };
    engine.Server.Serve("/big.bin", big);
    engine.Start(engine.Job("/"), 1);

    const auto progress = WaitForDownloadReport(engine, somDownloadProgress, "/big.bin");
    ASSERT_TRUE(progress);
    // b.htm, fetched beside big.bin, must be in before the exclusion; c.htm comes after it.
    ASSERT_TRUE(WaitForDownloadReport(engine, somDownloadEnded, "/b.htm"));
    ASSERT_TRUE(engine.Input.PostStopHost(1, progress->FileDownload.DownloadNumber));
    stopPosted.set_value();
    ASSERT_EQ(engine.WaitForEnd(1), joCompleted);

    const auto ended = WaitForDownloadReport(engine, somDownloadEnded, "/big.bin");
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->FileDownload.Results.Outcome, doStopped);
    EXPECT_FALSE(std::filesystem::exists(engine.Local("/big.bin")));
    const auto later = WaitForDownloadReport(engine, somDownloadEnded, "/c.htm");
    ASSERT_TRUE(later);
    EXPECT_EQ(later->FileDownload.Results.FilterReason, engine::dfDomainName);
    EXPECT_TRUE(engine.Server.RequestsFor("/c.htm").empty());
}

TEST(Dispatch, StopBeforeTheTransferStartedDoesNothing) {
    TEngine engine;
    std::promise<void> release;
    auto released = release.get_future().share();
    engine.Server.ServeHandler("/", [released](const testsupport::TRecordedRequest&) {
        released.wait_for(Patience);  // no answer yet: the transfer has not started
        return TTestResponse{200, "<p>start</p>", {}};
    });
    auto job = engine.Job("/");
    engine.Start(job, 1);
    const auto started = WaitForDownloadReport(engine, somDownloadStarted, "/");
    ASSERT_TRUE(started);
    ASSERT_TRUE(engine.Server.WaitForRequests(1, Patience));
    ASSERT_TRUE(engine.Input.PostStopMimeType(1, started->FileDownload.DownloadNumber));
    // The dispatcher takes the command within its next pass.
    const auto deadline = std::chrono::steady_clock::now() + Patience;
    while (engine.Input.Count() != 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    release.set_value();
    ASSERT_EQ(engine.WaitForEnd(1), joCompleted);
    const auto ended = WaitForDownloadReport(engine, somDownloadEnded, "/");
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->FileDownload.Results.Outcome, doCompleted);
    EXPECT_TRUE(std::filesystem::exists(engine.Local("/index.html")));
}

TEST(Dispatch, PauseBetweenDownloadsHoldsBackOnlyTheThreadThatFinished) {
    TEngine engine;
    std::string links;
    for (int i = 1; i <= 4; ++i) {
        links += "<a href=\"p" + std::to_string(i) + ".htm\">x</a>";
        engine.Server.Serve("/p" + std::to_string(i) + ".htm", 200, "<p>page</p>");
    }
    engine.Server.Serve("/", 200, links);
    auto job = engine.Job("/");
    job.PauseBetweenDownloads = 2;
    engine.Start(job, 1);
    ASSERT_EQ(engine.WaitForEnd(1), joCompleted);

    using Clock = std::chrono::steady_clock;
    std::map<std::string, Clock::time_point> startedAt;
    Clock::time_point startPageEnded{};
    for (const auto& report : engine.TimelineCopy()) {
        if (report.Kind == somDownloadStarted) startedAt[report.Path] = report.At;
        if (report.Kind == somDownloadEnded && report.Path == "/") startPageEnded = report.At;
    }
    // Threads 1-3 are free at once; thread 0, which fetched the start page, waits its pause.
    std::vector<Clock::duration> delays;
    for (int i = 1; i <= 4; ++i) delays.push_back(startedAt["/p" + std::to_string(i) + ".htm"] - startPageEnded);
    std::sort(delays.begin(), delays.end());
    EXPECT_LT(delays[2], std::chrono::milliseconds(1500)) << "three idle threads were not held back";
    EXPECT_GE(delays[3], std::chrono::milliseconds(1900)) << "the fourth page waited for a paused thread";
}
