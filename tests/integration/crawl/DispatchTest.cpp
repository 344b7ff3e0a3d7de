// The dispatcher's per-download stops, seen through the reports of a whole
// engine.

#include "Crawl.h"

#include <filesystem>
#include <future>

using namespace messaging;
using testsupport::TTestResponse;
using testsupport::TTestWebServer;

TEST(Dispatch, StopWithHostExclusionEndsTheTransferAndRefusesTheHostForTheRestOfTheRun) {
    TTestWebServer server;
    TCrawl engine;
    std::promise<void> stopPosted;
    auto stopped = stopPosted.get_future().share();
    server.Serve("/", 200, "<img src=\"big.bin\"><a href=\"b.htm\">b</a>");
    server.Serve("/b.htm", 200, "<a href=\"c.htm\">c</a>");
    server.Serve("/c.htm", 200, "<p>c</p>");
    TTestResponse big = testsupport::MakeResponse(200, std::string(64 * 1024, 'x'));
    big.PieceSize = 1024;
    big.BeforePiece = [stopped](std::size_t piece) {
        if (piece == 2) stopped.wait_for(Patience);  // hold the body until the stop is posted
    };
    server.Serve("/big.bin", big);
    engine.Begin(engine.Job(server.URL("/")));

    TSpiderOutputMsg progress;
    ASSERT_TRUE(engine.WaitForReport(somDownloadProgress, "/big.bin", &progress));
    // b.htm, fetched beside big.bin, must be in before the exclusion; c.htm comes after it.
    ASSERT_TRUE(engine.WaitForReport(somDownloadEnded, "/b.htm"));
    ASSERT_TRUE(engine.Input.PostStopHost(1, progress.FileDownload.DownloadNumber));
    stopPosted.set_value();
    ASSERT_EQ(engine.WaitForEnd(1, Patience), joCompleted);

    EXPECT_EQ(engine.Ended(server.URL("/big.bin")).Results.Outcome, doStopped);
    EXPECT_FALSE(std::filesystem::exists(engine.Local("/big.bin")));
    EXPECT_EQ(engine.Ended(server.URL("/c.htm")).Results.FilterReason, engine::dfDomainName);
    EXPECT_TRUE(server.RequestsFor("/c.htm").empty());
}

TEST(Dispatch, StopBeforeTheTransferStartedDoesNothing) {
    TTestWebServer server;
    TCrawl engine;
    std::promise<void> release;
    auto released = release.get_future().share();
    server.ServeHandler("/", [released](const testsupport::TRecordedRequest&) {
        released.wait_for(Patience);  // no answer yet: the transfer has not started
        return testsupport::MakeResponse(200, "<p>start</p>");
    });
    engine.Begin(engine.Job(server.URL("/")));
    TSpiderOutputMsg started;
    ASSERT_TRUE(engine.WaitForReport(somDownloadStarted, "/", &started));
    ASSERT_TRUE(server.WaitForRequests(1, Patience));
    ASSERT_TRUE(engine.Input.PostStopMimeType(1, started.FileDownload.DownloadNumber));
    // The dispatcher takes the command within its next pass.
    const auto deadline = std::chrono::steady_clock::now() + Patience;
    while (engine.Input.Count() != 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    release.set_value();
    ASSERT_EQ(engine.WaitForEnd(1, Patience), joCompleted);
    EXPECT_EQ(engine.Ended(server.URL("/")).Results.Outcome, doCompleted);
    EXPECT_TRUE(std::filesystem::exists(engine.Local("/index.html")));
}
