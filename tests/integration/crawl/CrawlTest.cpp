#include "CrawlEngine.h"

#include "engine/DownloadFilter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using namespace messaging;
using testsupport::TOutputRecorder;
using testsupport::TTestResponse;
using testsupport::TTestWebServer;

namespace {

// Refresh targets are followed only when absolute, so the page names its server.
std::string IndexPage(const TTestWebServer& Server) {
    return "<html><head><base href=\"/\"><meta http-equiv=\"refresh\" content=\"30; URL=" +
           Server.URL("/next.htm") + "\"></head><body background=\"bg.gif\"><img src=\"a.gif\"><a href=\"b.htm\">b</a><a href=\"B.HTM\">B again</a>"
    "<frameset><frame src=\"f.htm\"></frameset><a href=\"q.htm?x=1\">query</a>"
    "<a href=\"mailto:me@site.test\">mail</a></body></html>";
}

void ServeSmallSite(TTestWebServer& Server) {
    Server.Serve("/", 200, IndexPage(Server));
    Server.Serve("/a.gif", 200, "GIF89a", {{"Content-Type", "image/gif"}});
    Server.Serve("/bg.gif", 200, "GIF89a-bg", {{"Content-Type", "image/gif"}});
    Server.Serve("/b.htm", 200, "<a href=\"c.htm\">c</a><img src=\"deep.gif\">");
    Server.Serve("/c.htm", 200, "<p>end</p>");
    Server.Serve("/deep.gif", 200, "GIF89a-deep", {{"Content-Type", "image/gif"}});
    Server.Serve("/f.htm", 200, "<p>frame</p>");
    Server.Serve("/next.htm", 200, "<p>next</p>");
    Server.Serve("/q.htm?x=1", 200, "<p>query</p>");
}

} // namespace

TEST(Crawl, CopiesASmallSiteCompletelyAndReportsInOrder) {
    TEngine engine;
    ServeSmallSite(engine.Server);
    engine.Start(engine.Job("/"), 1);
    ASSERT_EQ(engine.WaitForEnd(1), joCompleted);

    EXPECT_EQ(engine.DownloadedPaths(), (std::vector<std::string>{"/", "/a.gif", "/b.htm", "/bg.gif", "/c.htm",
                                                                  "/deep.gif", "/f.htm", "/next.htm"}));
    EXPECT_EQ(engine.Server.RequestsFor("/b.htm").size() + engine.Server.RequestsFor("/B.HTM").size(), 1u)
        << "two links that differ only in case are one download";
    EXPECT_TRUE(engine.Server.RequestsFor("/q.htm?x=1").empty()) << "query results are not saved by default";
    for (const char* path : {"/index.html", "/a.gif", "/b.htm", "/c.htm", "/f.htm", "/deep.gif"})
        EXPECT_TRUE(std::filesystem::exists(engine.Local(path))) << path;

    const auto records = engine.Recorder.Records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front().Msg.Kind, somJobStarted);
    EXPECT_EQ(records.back().Msg.Kind, somJobEnded);
    EXPECT_EQ(records.back().Msg.StartPageFile, engine.Local("/index.html"));
    // Every download is framed by its start and end, with one number that only grows.
    std::map<std::int32_t, std::vector<std::uint8_t>> perDownload;
    for (const auto& record : records)
        if (record.Msg.Kind >= somDownloadStarted && record.Msg.Kind <= somDownloadEnded)
            perDownload[record.Msg.FileDownload.DownloadNumber].push_back(record.Msg.Kind);
    for (const auto& [number, kinds] : perDownload) {
        EXPECT_EQ(kinds.front(), somDownloadStarted) << number;
        EXPECT_EQ(kinds.back(), somDownloadEnded) << number;
    }
    // Each parsed page is framed by one parse start and one parse end.
    EXPECT_EQ(engine.Of(somParseStarted).size(), engine.Of(somParseEnded).size());
    EXPECT_EQ(engine.Of(somRewriteStarted).size(), engine.Of(somRewriteEnded).size());
}

TEST(Crawl, DistancesFollowEmbeddingAndMaxDistanceZeroKeepsTheStartPageAndItsContent) {
    TEngine engine;
    ServeSmallSite(engine.Server);
    auto job = engine.Job("/");
    job.MaxDistance = 0;
    engine.Start(job, 1);
    ASSERT_EQ(engine.WaitForEnd(1), joCompleted);
    EXPECT_EQ(engine.DownloadedPaths(), (std::vector<std::string>{"/", "/a.gif", "/bg.gif", "/f.htm"}));
    std::map<std::string, std::uint8_t> reason;
    for (const auto& record : engine.Of(somDownloadEnded))
        reason[record.Msg.FileDownload.Address.GetUrlPath()] = record.Msg.FileDownload.Results.FilterReason;
    EXPECT_EQ(reason["/b.htm"], engine::dfDepth);
    EXPECT_EQ(reason["/next.htm"], engine::dfDepth);
    EXPECT_EQ(reason["/f.htm"], 0) << "a frame is embedded content: distance 0";
}

TEST(Crawl, StopAfterTheFirstDownloadStillParsesAndRewritesButFetchesNothingMore) {
    TEngine engine;
    ServeSmallSite(engine.Server);
    engine.Server.ServeHandler("/", [&](const testsupport::TRecordedRequest&) {
        engine.Input.PostPause(1);  // hold the job at the first page ...
        return TTestResponse{200, IndexPage(engine.Server), {}};
    });
    engine.Start(engine.Job("/"), 1);
    ASSERT_TRUE(engine.Recorder.WaitFor(
        [](const Records& records) {
            bool paused = false, ended = false;
            for (const auto& record : records) {
                paused = paused || record.Msg.Kind == somJobPaused;
                ended = ended || record.Msg.Kind == somDownloadEnded;
            }
            return paused && ended;
        },
        Patience));
    engine.Input.PostStop(1);  // ... then stop it and let it go on
    engine.Input.PostResume(1);
    ASSERT_EQ(engine.WaitForEnd(1), joStopped);
    EXPECT_EQ(engine.DownloadedPaths(), std::vector<std::string>{"/"});
    EXPECT_EQ(engine.Of(somParseEnded).size(), 1u);
    EXPECT_EQ(engine.Of(somRewriteEnded).size(), 1u);
    const std::string page = testsupport::ReadFileText(engine.Local("/index.html"));
    EXPECT_THAT(page, testing::HasSubstr("src=\"" + engine.Server.URL("/a.gif") + "\""))
        << "links to files not saved point at the web";
    EXPECT_THAT(page, testing::Not(testing::HasSubstr("<base")));
}

TEST(Crawl, AbortWhilePausedEndsTheJobAtOnce) {
    TEngine engine;
    ServeSmallSite(engine.Server);
    engine.Server.ServeHandler("/", [&](const testsupport::TRecordedRequest&) {
        engine.Input.PostPause(1);
        return TTestResponse{200, IndexPage(engine.Server), {}};
    });
    engine.Start(engine.Job("/"), 1);
    ASSERT_TRUE(engine.Recorder.WaitFor(
        [](const Records& records) {
            for (const auto& record : records)
                if (record.Msg.Kind == somDownloadEnded) return true;
            return false;
        },
        Patience));
    engine.Input.PostAbort(1);
    ASSERT_EQ(engine.WaitForEnd(1), joAborted);
    EXPECT_EQ(engine.DownloadedPaths(), std::vector<std::string>{"/"});
    EXPECT_TRUE(engine.Of(somPruneStarted).empty()) << "an abort skips pruning";
}

TEST(Crawl, RedirectedStartMovesTheLocationRestriction) {
    TEngine engine;
    engine.Server.Serve("/", 302, "", {{"Location", "/site/index.htm"}});
    engine.Server.Serve("/site/index.htm", 200, "<a href=\"page.htm\">in</a><a href=\"/other/x.htm\">out</a>");
    engine.Server.Serve("/site/page.htm", 200, "<p>in</p>");
    engine.Server.Serve("/other/x.htm", 200, "<p>out</p>");
    engine.Start(engine.Job("/"), 1);
    ASSERT_EQ(engine.WaitForEnd(1), joCompleted);
    EXPECT_EQ(engine.DownloadedPaths(), (std::vector<std::string>{"/", "/site/index.htm", "/site/page.htm"}));
    bool refused = false;
    for (const auto& record : engine.Of(somDownloadEnded))
        if (record.Msg.FileDownload.Address.GetUrlPath() == "/other/x.htm")
            refused = record.Msg.FileDownload.Results.FilterReason == engine::dfLocation;
    EXPECT_TRUE(refused) << "outside the new base folder";
    EXPECT_FALSE(std::filesystem::exists(engine.Local("/other/x.htm")));
}

TEST(Crawl, StartDuringAJobRunsAfterItsEndAndDownloadNumbersKeepGrowing) {
    TEngine engine;
    ServeSmallSite(engine.Server);
    engine.Start(engine.Job("/c.htm"), 1);
    engine.Start(engine.Job("/f.htm"), 2);
    ASSERT_EQ(engine.WaitForEnd(2), joCompleted);
    const auto records = engine.Recorder.Records();
    std::vector<std::pair<std::uint8_t, std::int32_t>> jobEvents;
    std::vector<std::int32_t> numbers;
    for (const auto& record : records) {
        if (record.Msg.Kind == somJobStarted || record.Msg.Kind == somJobEnded)
            jobEvents.emplace_back(record.Msg.Kind, record.Msg.JobNumber);
        if (record.Msg.Kind == somDownloadStarted) numbers.push_back(record.Msg.FileDownload.DownloadNumber);
    }
    EXPECT_EQ(jobEvents, (std::vector<std::pair<std::uint8_t, std::int32_t>>{
                             {somJobStarted, 1}, {somJobEnded, 1}, {somJobStarted, 2}, {somJobEnded, 2}}));
    ASSERT_EQ(numbers.size(), 2u);
    EXPECT_LT(numbers[0], numbers[1]);
}

TEST(Crawl, AFrontEndThatStopsTakingReportsFailsTheJobAndTheEndStillArrives) {
    TEngine engine;
    std::string page;
    for (int i = 0; i < 150; ++i) page += "<a href=\"p" + std::to_string(i) + ".htm\">x</a>";
    engine.Server.Serve("/", 200, page);
    engine.Output.SetRetryTimingForTests(std::chrono::milliseconds(300), std::chrono::milliseconds(10));
    auto job = engine.Job("/");
    job.MaxDistance = 0;  // nothing but the page itself is fetched
    engine.Drain.Hold();
    engine.Start(job, 1);
    ASSERT_TRUE(engine.Server.WaitForRequests(1, Patience));
    // The spider fills the queue with link reports, gives up, clears it and
    // posts the end; the front end is held, so only the job number shows it.
    const auto giveUp = std::chrono::steady_clock::now() + Patience;
    while (engine.Engine.CurrentJobNumber() != 0 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::yield();
    EXPECT_EQ(engine.Output.Count(), 1);
    engine.Drain.Release();
    EXPECT_EQ(engine.WaitForEnd(1), joFailed);
    EXPECT_EQ(engine.Engine.CurrentJobNumber(), 0);
}

TEST(Crawl, FlatCopyMovesEveryFileUpAndReportsTheMovedStartPage) {
    TEngine engine;
    engine.Server.Serve("/site/index.htm", 200, "<img src=\"img/a.gif\"><a href=\"docs/b.htm\">b</a>");
    engine.Server.Serve("/site/img/a.gif", 200, "GIF89a", {{"Content-Type", "image/gif"}});
    engine.Server.Serve("/site/docs/b.htm", 200, "<p>b</p>");
    auto job = engine.Job("/site/index.htm");
    job.FlattenDestinationFolders = true;
    job.PrepareForRun();
    engine.Start(job, 1);
    ASSERT_EQ(engine.WaitForEnd(1), joCompleted);

    const std::string dest = engine.Dest.Path();
    for (const char* name : {"/index.htm", "/a.gif", "/b.htm"})
        EXPECT_TRUE(std::filesystem::exists(dest + name)) << name;
    EXPECT_FALSE(std::filesystem::exists(dest + "/127.0.0.1")) << "the emptied folders are pruned";
    EXPECT_EQ(engine.Of(somJobEnded).back().Msg.StartPageFile, dest + "/index.htm");
    EXPECT_EQ(engine.Of(somFlattenStarted).size(), 1u);
    EXPECT_EQ(engine.Of(somFlattenEnded).size(), 1u);
    EXPECT_GE(engine.Of(somFlattenFileMoved).size(), 3u);
    EXPECT_EQ(engine.Of(somPruneEnded).size(), 1u);
    // Flat copies are not rewritten: links between folders would break.
    EXPECT_TRUE(engine.Of(somRewriteStarted).empty());
}
