// Whole crawls of the "small" test site: what is fetched and saved, the
// reports in order, and stop, abort and redirect handling on the way.

#include "Crawl.h"

#include "engine/DownloadFilter.h"
#include "engine/InternetSettings.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <future>
#include <map>

using namespace messaging;
using testsupport::TTestResponse;
using testsupport::TTestWebServer;

namespace {

class Crawl : public ::testing::Test {
protected:
    Crawl() { Server.ServeFolder(testsupport::SiteFolder("small")); }

    TTestWebServer Server;
    TCrawl Engine;  // after the server: stops before it
};

} // namespace

TEST_F(Crawl, CopiesASmallSiteCompletelyAndReportsInOrder) {
    ASSERT_EQ(Engine.Run(Engine.Job(Server.URL("/"))), joCompleted);

    EXPECT_EQ(Engine.DownloadedPaths(), (std::vector<std::string>{"/", "/a.gif", "/b.htm", "/bg.gif", "/c.htm",
                                                                  "/deep.gif", "/f.htm", "/next.htm"}));
    EXPECT_EQ(Server.RequestsFor("/b.htm").size() + Server.RequestsFor("/B.HTM").size(), 1u)
        << "two links that differ only in case are one download";
    EXPECT_TRUE(Server.RequestsFor("/q.htm?x=1").empty()) << "query results are not saved by default";
    for (const char* path : {"/index.html", "/a.gif", "/b.htm", "/c.htm", "/f.htm", "/deep.gif"})
        EXPECT_TRUE(std::filesystem::exists(Engine.Local(path))) << path;

    const auto records = Engine.Recorder.Records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front().Msg.Kind, somJobStarted);
    EXPECT_EQ(records.back().Msg.Kind, somJobEnded);
    EXPECT_EQ(records.back().Msg.StartPageFile, Engine.Local("/index.html"));
    // Every download is framed by its start and end; every parse and rewrite too.
    std::map<std::int32_t, std::vector<std::uint8_t>> perDownload;
    for (const auto& record : records)
        if (record.Msg.Kind >= somDownloadStarted && record.Msg.Kind <= somDownloadEnded)
            perDownload[record.Msg.FileDownload.DownloadNumber].push_back(record.Msg.Kind);
    for (const auto& [number, kinds] : perDownload) {
        EXPECT_EQ(kinds.front(), somDownloadStarted) << number;
        EXPECT_EQ(kinds.back(), somDownloadEnded) << number;
    }
    EXPECT_EQ(Engine.Of(somParseStarted).size(), Engine.Of(somParseEnded).size());
    EXPECT_EQ(Engine.Of(somRewriteStarted).size(), Engine.Of(somRewriteEnded).size());
}

TEST_F(Crawl, DistancesFollowEmbeddingAndMaxDistanceZeroKeepsTheStartPageAndItsContent) {
    auto job = Engine.Job(Server.URL("/"));
    job.MaxDistance = 0;
    ASSERT_EQ(Engine.Run(job), joCompleted);
    EXPECT_EQ(Engine.DownloadedPaths(), (std::vector<std::string>{"/", "/a.gif", "/bg.gif", "/f.htm"}));
    std::map<std::string, std::uint8_t> reason;
    for (const auto& record : Engine.Of(somDownloadEnded))
        reason[record.Msg.FileDownload.Address.GetUrlPath()] = record.Msg.FileDownload.Results.FilterReason;
    EXPECT_EQ(reason["/b.htm"], engine::dfDepth);
    EXPECT_EQ(reason["/next.htm"], engine::dfDepth);
    EXPECT_EQ(reason["/f.htm"], 0) << "a frame is embedded content: distance 0";
    EXPECT_TRUE(Server.RequestsFor("/b.htm").empty()) << "a refused address is not asked for";
}

TEST_F(Crawl, StopOrAbortWhilePausedAtTheFirstPage) {
    for (const bool abort : {false, true}) {
        SCOPED_TRACE(abort ? "abort" : "stop");
        TCrawl engine;
        Server.ServeHandler("/", [&](const testsupport::TRecordedRequest&) {
            engine.Input.PostPause(1);  // hold the job at the first page
            return testsupport::MakeResponse(200, "<base href=\"/\"><img src=\"a.gif\"><a href=\"b.htm\">b</a>");
        });
        engine.Begin(engine.Job(Server.URL("/")));
        ASSERT_TRUE(engine.WaitForReport(somJobPaused, ""));
        ASSERT_TRUE(engine.WaitForReport(somDownloadEnded, "/"));
        if (abort) {
            engine.Input.PostAbort(1);
        } else {
            engine.Input.PostStop(1);
            engine.Input.PostResume(1);
        }
        ASSERT_EQ(engine.WaitForEnd(1, Patience), abort ? joAborted : joStopped);
        EXPECT_EQ(engine.DownloadedPaths(), std::vector<std::string>{"/"});
        if (abort) {
            EXPECT_TRUE(engine.Of(somPruneStarted).empty()) << "an abort skips pruning";
            continue;
        }
        // A stopped job still parses and rewrites what it saved.
        EXPECT_EQ(engine.Of(somParseEnded).size(), 1u);
        EXPECT_EQ(engine.Of(somRewriteEnded).size(), 1u);
        const std::string page = testsupport::ReadFileText(engine.Local("/index.html"));
        EXPECT_THAT(page, testing::HasSubstr("src=\"" + Server.URL("/a.gif") + "\""))
            << "links to files not saved point at the web";
        EXPECT_THAT(page, testing::Not(testing::HasSubstr("<base")));
    }
}

TEST_F(Crawl, RedirectedStartMovesTheLocationRestriction) {
    ASSERT_EQ(Engine.Run(Engine.Job(Server.URL("/moved/"))), joCompleted);
    EXPECT_EQ(Engine.DownloadedPaths(), (std::vector<std::string>{"/moved/", "/site/docs/b.htm", "/site/img/a.gif",
                                                                  "/site/index.htm", "/site/page.htm"}));
    EXPECT_EQ(Engine.Ended(Server.URL("/other/x.htm")).Results.FilterReason, engine::dfLocation)
        << "outside the new base folder";
}

TEST_F(Crawl, AFrontEndThatStopsTakingReportsFailsTheJobAndTheEndStillArrives) {
    std::string page;
    for (int i = 0; i < 150; ++i) page += "<a href=\"p" + std::to_string(i) + ".htm\">x</a>";
    Server.Serve("/", 200, page);
    Engine.Output.SetRetryTimingForTests(std::chrono::milliseconds(300), std::chrono::milliseconds(10));
    auto job = Engine.Job(Server.URL("/"));
    job.MaxDistance = 0;  // nothing but the page itself is fetched
    Engine.Drain.Hold();
    Engine.Begin(job);
    ASSERT_TRUE(Server.WaitForRequests(1, Patience));
    // The spider fills the queue with link reports, gives up, clears it and
    // posts the end; the front end is held, so only the job number shows it.
    const auto giveUp = std::chrono::steady_clock::now() + Patience;
    while (Engine.Engine.CurrentJobNumber() != 0 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::yield();
    EXPECT_EQ(Engine.Output.Count(), 1);
    Engine.Drain.Release();
    EXPECT_EQ(Engine.WaitForEnd(1, Patience), joFailed);
}

TEST_F(Crawl, FlatCopyMovesEveryFileUpAndReportsTheMovedStartPage) {
    auto job = Engine.Job(Server.URL("/site/index.htm"));
    job.FlattenDestinationFolders = true;
    ASSERT_EQ(Engine.Run(job), joCompleted);

    const std::string dest = Engine.Dest.Path();
    for (const char* name : {"/index.htm", "/page.htm", "/a.gif", "/b.htm"})
        EXPECT_TRUE(std::filesystem::exists(dest + name)) << name;
    EXPECT_FALSE(std::filesystem::exists(dest + "/127.0.0.1")) << "the emptied folders are pruned";
    EXPECT_EQ(Engine.Of(somJobEnded).back().Msg.StartPageFile, dest + "/index.htm");
    EXPECT_EQ(Engine.Of(somFlattenEnded).size(), 1u);
    EXPECT_GE(Engine.Of(somFlattenFileMoved).size(), 4u);
    EXPECT_EQ(Engine.Of(somPruneEnded).size(), 1u);
    // Flat copies are not rewritten: links between folders would break.
    EXPECT_TRUE(Engine.Of(somRewriteStarted).empty());
}

TEST_F(Crawl, StopWithHostExclusionEndsTheTransferAndRefusesTheHostForTheRestOfTheRun) {
    std::promise<void> stopPosted;
    auto stopped = stopPosted.get_future().share();
    Server.Serve("/", 200, "<img src=\"big.bin\"><a href=\"b.htm\">b</a>");
    Server.Serve("/b.htm", 200, "<a href=\"c.htm\">c</a>");
    Server.Serve("/c.htm", 200, "<p>c</p>");
    TTestResponse big = testsupport::MakeResponse(200, std::string(64 * 1024, 'x'));
    big.PieceSize = 1024;
    big.BeforePiece = [stopped](std::size_t piece) {
        if (piece == 2) stopped.wait_for(Patience);  // hold the body until the stop is posted
    };
    Server.Serve("/big.bin", big);
    Engine.Begin(Engine.Job(Server.URL("/")));

    TSpiderOutputMsg progress;
    ASSERT_TRUE(Engine.WaitForReport(somDownloadProgress, "/big.bin", &progress));
    // b.htm, fetched beside big.bin, must be in before the exclusion; c.htm comes after it.
    ASSERT_TRUE(Engine.WaitForReport(somDownloadEnded, "/b.htm"));
    ASSERT_TRUE(Engine.Input.PostStopHost(1, progress.FileDownload.DownloadNumber));
    stopPosted.set_value();
    ASSERT_EQ(Engine.WaitForEnd(1, Patience), joCompleted);

    EXPECT_EQ(Engine.Ended(Server.URL("/big.bin")).Results.Outcome, doStopped);
    EXPECT_FALSE(std::filesystem::exists(Engine.Local("/big.bin")));
    EXPECT_EQ(Engine.Ended(Server.URL("/c.htm")).Results.FilterReason, engine::dfDomainName);
    EXPECT_TRUE(Server.RequestsFor("/c.htm").empty());
}

TEST_F(Crawl, EndlessRedirectChainEndsAfterTwentyRedirectsWithAFailure) {
    for (int i = 0; i < 30; ++i)
        Server.Serve("/r/" + std::to_string(i), 302, "", {{"Location", Server.URL("/r/" + std::to_string(i + 1))}});
    // Nothing was copied: the job failed at its start.
    ASSERT_EQ(Engine.Run(Engine.Job(Server.URL("/r/0"))), joFailed);
    EXPECT_EQ(Server.RequestCount(), 21u) << "the start and twenty redirects";
    const auto last = Engine.Ended(Server.URL("/r/20")).Results;
    EXPECT_TRUE(last.HaveOsError);
    EXPECT_EQ(last.OsError, engine::TooManyRedirectsError);
    EXPECT_FALSE(last.RedirectQueued);
    EXPECT_FALSE(std::filesystem::exists(Engine.Dest.Path() + "/127.0.0.1")) << "a redirect saves nothing";
}
