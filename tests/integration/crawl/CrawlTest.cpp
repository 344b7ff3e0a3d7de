// Whole crawls of the "small" test site: what is fetched and saved, the
// reports in order, and stop, abort and redirect handling on the way.

#include "Crawl.h"

#include "support/ContentCoding.h"

#include "engine/DownloadFilter.h"
#include "engine/InternetSettings.h"
#include "jobs/AppInfo.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <future>
#include <map>
#include <thread>

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

TEST_F(Crawl, ManyPagesAreEachRewrittenOnceWithTheirReportsFramedAndNoScratchLeft) {
    constexpr int Pages = 60;  // more than one page per rewriting thread
    std::string start;
    for (int i = 0; i < Pages; ++i) {
        start += "<a href=\"/p" + std::to_string(i) + ".htm\">x</a>";
        Server.Serve("/p" + std::to_string(i) + ".htm", 200, "<a href=\"/p" + std::to_string((i + 1) % Pages) + ".htm\">n</a>");
    }
    Server.Serve("/", 200, start);
    ASSERT_EQ(Engine.Run(Engine.Job(Server.URL("/"))), joCompleted);

    std::map<std::int32_t, std::vector<std::uint8_t>> perPage;
    std::map<std::string, int> rewrites;
    for (const auto& record : Engine.Recorder.Records()) {
        if (record.Msg.Kind < somRewriteStarted || record.Msg.Kind > somRewriteEnded) continue;
        perPage[record.Msg.FileReadWrite.FileNumber].push_back(record.Msg.Kind);
        if (record.Msg.Kind == somRewriteStarted) ++rewrites[record.Msg.FileReadWrite.LocalFile];
    }
    EXPECT_EQ(rewrites.size(), Pages + 1u);
    for (const auto& [file, count] : rewrites) EXPECT_EQ(count, 1) << file;
    for (const auto& [number, kinds] : perPage) {
        EXPECT_EQ(std::count(kinds.begin(), kinds.end(), somRewriteStarted), 1) << number;
        EXPECT_EQ(kinds.front(), somRewriteStarted) << number;
        EXPECT_EQ(kinds.back(), somRewriteEnded) << number;
    }
    for (int i = 0; i < Pages; ++i)
        EXPECT_EQ(testsupport::ReadFileText(Engine.Local("/p" + std::to_string(i) + ".htm")),
                  "<a href=\"p" + std::to_string((i + 1) % Pages) + ".htm\">n</a>");
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Engine.Dest.Path()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    // A download waiting behind a running one is reported once begun, so the
    // reports never show more running than the four threads.
    int running = 0, most = 0;
    for (const auto& record : Engine.Recorder.Records()) {
        if (record.Msg.Kind == somDownloadStarted) most = std::max(most, ++running);
        if (record.Msg.Kind == somDownloadEnded) --running;
    }
    EXPECT_EQ(most, 4);
    EXPECT_EQ(running, 0);
}

// The pages wait behind the four running downloads when the stop comes: none
// of them is asked for, and no report tells of them.
TEST_F(Crawl, AStopTakesBackTheDownloadsWaitingBehindTheRunningOnes) {
    constexpr int Pages = 8;
    std::promise<void> release;
    const auto released = release.get_future().share();
    std::string start;
    for (int i = 0; i < Pages; ++i) {
        const std::string path = "/p" + std::to_string(i) + ".htm";
        start += "<a href=\"" + path + "\">x</a>";
        TTestResponse held = testsupport::MakeResponse(200, std::string(2000, ' '));
        held.PieceSize = 1000;
        held.BeforePiece = [released](std::size_t) { released.wait_for(Patience); };
        Server.Serve(path, held);
    }
    Server.Serve("/", 200, start);
    Engine.Begin(Engine.Job(Server.URL("/")));
    ASSERT_TRUE(Server.WaitForRequests(5, Patience)) << "the start page and a page on each thread";
    ASSERT_TRUE(Engine.Input.PostStop(1));
    ASSERT_EQ(Engine.WaitForEnd(1, Patience), joStopped);
    release.set_value();

    std::size_t asked = 0;
    for (int i = 0; i < Pages; ++i) asked += Server.RequestsFor("/p" + std::to_string(i) + ".htm").size();
    EXPECT_EQ(asked, 4u);
    EXPECT_EQ(Engine.Of(somDownloadStarted).size(), 5u);
    EXPECT_EQ(Engine.Of(somDownloadEnded).size(), 5u);
    EXPECT_EQ(Engine.Ended(Server.URL("/p0.htm")).Results.Outcome, doStopped);
}

TEST_F(Crawl, FilesOfTheSiteKeepTheirContentWhateverTheirNames) {
    // "page.html.part" is a file of the site; the second run updates the first one's copy.
    TTestWebServer twin;
    twin.ServeFolder(testsupport::SiteFolder("twin"));
    for (const char* run : {"first run", "update"}) {
        SCOPED_TRACE(run);
        ASSERT_EQ(Engine.Run(Engine.Job(twin.URL("/"))), joCompleted);
        for (const std::string name : {"/page.html", "/page.html.part"})
            EXPECT_EQ(testsupport::ReadFileText(Engine.Local(name)),
                      testsupport::ReadFileText(testsupport::SiteFolder("twin") + name));
    }
}

TEST_F(Crawl, PageAboveTheScanBoundIsSavedButNotReadInToBeScanned) {
    for (const bool scanned : {true, false}) {
        SCOPED_TRACE(scanned);
        engine::TDownloadThreadServices downloads;
        downloads.MaxPageScanSize = 1000;
        TCrawl engine(std::move(downloads));
        const std::string page = "<a href=\"/linked.gif\">x</a>" + std::string(scanned ? 500 : 2000, ' ');
        Server.Serve("/big.htm", 200, page);
        Server.ClearRequests();
        ASSERT_EQ(engine.Run(engine.Job(Server.URL("/big.htm"))), joCompleted);

        // A scanned page is rewritten; one too large is left as it came.
        EXPECT_EQ(testsupport::ReadFileText(engine.Local("/big.htm")) == page, !scanned);
        EXPECT_EQ(Server.RequestsFor("/linked.gif").size(), scanned ? 1u : 0u);
        const auto parsed = engine.Of(somParseEnded);
        ASSERT_EQ(parsed.size(), 1u);
        EXPECT_EQ(parsed[0].Msg.FileReadWrite.ErrorText.find("not scanned") != std::string::npos, !scanned);
    }
}

// A page is parsed from the body its download kept when that body is the
// whole file; a page too large to keep, or one whose download only added
// the end to a partial file, is read back from its file.
TEST_F(Crawl, EveryLinkOfAPageIsFollowedWhetherItsBodyWasKeptOrNot) {
    Server.Serve("/start.htm", 200, "<a href=\"big.htm\">b</a><a href=\"resumed.htm\">r</a><a href=\"a.gif\">a</a>");
    Server.Serve("/big.htm", 200, std::string(1 << 21, ' ') + "<a href=\"after-big.gif\">x</a>");
    const std::string head = "<a href=\"first-half.gif\">1</a>";
    const std::string whole = head + "<a href=\"second-half.gif\">2</a>";
    Server.ServeHandler("/resumed.htm", [whole](const testsupport::TRecordedRequest& Request) {
        return testsupport::ConditionalResponse(testsupport::MakeResponse(200, whole, {{"ETag", "\"v\""}}), Request);
    });
    std::filesystem::create_directories(Engine.Local(""));
    testsupport::WriteFileText(Engine.Local("/resumed.htm#part"), head);
    testsupport::WriteFileText(Engine.Local("/resumed.htm#validator"), "\"v\"");

    ASSERT_EQ(Engine.Run(Engine.Job(Server.URL("/start.htm"))), joCompleted);
    ASSERT_EQ(Server.RequestsFor("/resumed.htm").size(), 1u);
    EXPECT_FALSE(Server.RequestsFor("/resumed.htm")[0].Header("Range").empty()) << "the partial file was resumed";
    for (const char* linked : {"/a.gif", "/after-big.gif", "/first-half.gif", "/second-half.gif"})
        EXPECT_EQ(Server.RequestsFor(linked).size(), 1u) << linked;
}

TEST_F(Crawl, CompressedPageIsSavedDecodedAndItsLinksFollowed) {
    const std::string page = "<a href=\"/linked.gif\">x</a>";
    TTestResponse answer = testsupport::MakeResponse(200, testsupport::ContentCoded(page, "gzip"),
                                                     {{"Content-Encoding", "gzip"}});
    answer.PieceSize = answer.Body.size();  // sent as it is, not compressed once more
    Server.Serve("/packed.htm", answer);
    ASSERT_EQ(Engine.Run(Engine.Job(Server.URL("/packed.htm"))), joCompleted);
    EXPECT_EQ(Server.RequestsFor("/linked.gif").size(), 1u);
    EXPECT_THAT(testsupport::ReadFileText(Engine.Local("/packed.htm")), ::testing::HasSubstr("linked.gif\">x</a>"));
}

// A page that asks not to be indexed is removed after it is read: links to
// it go back to its address, not to the file that is gone.
TEST_F(Crawl, LinksToAPageRemovedForNoIndexKeepTheirAddress) {
    Server.Serve("/top.htm", 200, "<a href=\"/gone.htm\">g</a><a href=\"/kept.htm\">k</a>");
    Server.Serve("/gone.htm", 200, "<meta name=\"robots\" content=\"noindex\">");
    Server.Serve("/kept.htm", 200, "kept");
    auto job = Engine.Job(Server.URL("/top.htm"));
    job.HonorRobotNoIndexTags = true;
    ASSERT_EQ(Engine.Run(job), joCompleted);
    EXPECT_FALSE(std::filesystem::exists(Engine.Local("/gone.htm")));
    EXPECT_EQ(testsupport::ReadFileText(Engine.Local("/top.htm")),
              "<a href=\"" + Server.URL("/gone.htm") + "\">g</a><a href=\"kept.htm\">k</a>");
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

TEST_F(Crawl, WhatAPageEmbedsIsSavedWithItsQueryButLinksWithAQueryAreNot) {
    struct TRow {
        std::string Tags, Target;
        bool Saved;
    };
    const TRow rows[] = {
        {"<link rel=\"stylesheet\" href=\"style.css?v=3\">", "/q/style.css?v=3", true},
        {"<link rel=\"shortcut icon\" href=\"fav.ico?2\">", "/q/fav.ico?2", true},
        {"<script src=\"app.js?2022.1\"></script>", "/q/app.js?2022.1", true},
        {"<img src=\"pic.gif?w=10\">", "/q/pic.gif?w=10", true},
        {"<a href=\"dup.css?v=1\">css</a><link rel=stylesheet href=\"dup.css?v=1\">", "/q/dup.css?v=1", true},
        {"<a href=\"list.htm?page=2\">more</a>", "/q/list.htm?page=2", false},
        {"<link rel=\"next\" href=\"more.htm?page=3\">", "/q/more.htm?page=3", false},
        {"<img src=\"x.gif\" longdesc=\"about.htm?img=x\">", "/q/about.htm?img=x", false},
    };
    std::string page;
    for (const auto& row : rows) {
        page += row.Tags;
        Server.Serve(row.Target, 200, "x", {{"Content-Type", "text/plain"}});
    }
    Server.Serve("/q/", 200, page);
    ASSERT_EQ(Engine.Run(Engine.Job(Server.URL("/q/"))), joCompleted);
    for (const auto& row : rows) {
        EXPECT_EQ(Engine.Ended(Server.URL(row.Target)).Results.FilterReason, row.Saved ? 0 : engine::dfQuery)
            << row.Target;
        EXPECT_EQ(Server.RequestsFor(row.Target).size(), row.Saved ? 1u : 0u) << row.Target;
    }
}

TEST_F(Crawl, TheStartIsAskedForWithTheJobsReferrerAndEveryRequestWithAnAgentName) {
    struct TRow {
        std::string Agent, Referrer, SentAgent;
    };
    const TRow rows[] = {
        {"", "", jobs::AppInfo.DefaultAgentName()},
        {"Mirror/1.0", Server.URL("/from.htm"), "Mirror/1.0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.SentAgent);
        Server.ClearRequests();
        TCrawl engine;
        auto job = engine.Job(Server.URL("/site/index.htm"));
        job.DownloadOptions.HTTPAgentName = row.Agent;
        job.StartingReferrer = row.Referrer;
        ASSERT_EQ(engine.Run(job), joCompleted);
        const auto start = Server.RequestsFor("/site/index.htm");
        ASSERT_EQ(start.size(), 1u);
        EXPECT_EQ(start[0].Header("Referer"), row.Referrer);
        ASSERT_GT(Server.RequestCount(), 1u);
        for (const auto& request : Server.Requests())
            EXPECT_EQ(request.Header("User-Agent"), row.SentAgent) << request.Target;
    }
}

TEST_F(Crawl, APageSavedUnderAnAddedExtensionIsParsedAgainOnTheNextRunWhenUnchanged) {
    Server.Serve("/r/", 200, "<a href=\"x.php\">x</a>");
    Server.ServeHandler("/r/x.php", [](const testsupport::TRecordedRequest& Request) {
        if (Request.HasHeader("If-Modified-Since")) return testsupport::MakeResponse(304, "");
        return testsupport::MakeResponse(200, "<a href=\"y.htm\">y</a>");
    });
    Server.Serve("/r/y.htm", 200, "<p>y</p>");
    for (const bool update : {false, true}) {
        SCOPED_TRACE(update ? "update" : "no update");
        TCrawl engine;
        auto job = engine.Job(Server.URL("/r/"));
        ASSERT_EQ(engine.Run(job), joCompleted);
        ASSERT_TRUE(std::filesystem::exists(engine.Local("/r/x.php.htm")));
        job.DownloadOptions.UpdateOldFiles = update;
        ASSERT_EQ(engine.Run(job), joCompleted);
        std::size_t reached = 0;
        for (const auto& record : engine.Of(somDownloadEnded))
            reached += record.Msg.FileDownload.Address.GetUrlPath() == "/r/y.htm" ? 1 : 0;
        EXPECT_EQ(reached, 2u) << "the second run reaches y.htm through the saved x.php.htm";
    }
}

// A run knows which files it gave names in the folders it made; the next run
// knows nothing of the kind, so a file put into such a folder between the
// runs is found and kept.
TEST_F(Crawl, AFilePutIntoTheCopyBetweenRunsIsFoundByTheNextRun) {
    Server.Serve("/new/", 200, "<a href=\"late.htm\">late</a>");
    Server.Serve("/new/late.htm", 404, "");
    const auto job = Engine.Job(Server.URL("/new/"));
    ASSERT_EQ(Engine.Run(job), joCompleted);
    ASSERT_FALSE(std::filesystem::exists(Engine.Local("/new/late.htm")));
    testsupport::WriteFileText(Engine.Local("/new/late.htm"), "the user's own");
    Server.Serve("/new/late.htm", 200, "from the server");

    ASSERT_EQ(Engine.Run(job), joCompleted);
    EXPECT_EQ(testsupport::ReadFileText(Engine.Local("/new/late.htm")), "the user's own");
    EXPECT_EQ(Server.RequestsFor("/new/late.htm").size(), 1u);
}

TEST_F(Crawl, AFrontEndThatStopsTakingReportsFailsTheJobAndTheEndStillArrives) {
    std::string page;
    for (int i = 0; i < TSpiderOutputMessageQueue::Capacity + 50; ++i)
        page += "<a href=\"p" + std::to_string(i) + ".htm\">x</a>";
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

// A stop with exclusion ends the transfer and changes the job for the rest of
// the run; after a redirected start the location stays with the new server.
TEST_F(Crawl, StopWithExclusionEndsTheTransferAndRefusesWhatItExcludesForTheRestOfTheRun) {
    using TPostStop = bool (TSpiderInputMessageQueue::*)(std::int32_t, std::int32_t);
    struct TRow {
        std::string Start, HostFolder;
        TPostStop PostStop;
        std::uint8_t LaterPageRefusal;
    };
    const TRow rows[] = {
        {Server.URL("/"), "127.0.0.1", &TSpiderInputMessageQueue::PostStopHost, engine::dfDomainName},
        {Server.URL("/start"), "localhost", &TSpiderInputMessageQueue::PostStopFileExtension, 0},
    };
    Server.Serve("/start", 302, "", {{"Location", "http://localhost:" + std::to_string(Server.Port()) + "/"}});
    Server.Serve("/", 200, "<img src=\"big.bin\"><a href=\"b.htm\">b</a>");
    Server.Serve("/c.htm", 200, "<p>c</p>");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Start);
        Server.ClearRequests();
        std::promise<void> transferStopped, jobPaused;
        auto stopped = transferStopped.get_future().share();
        // b.htm ends only once the job is paused, so that c.htm, which it links
        // to, cannot be handed out before the stop is taken.
        TTestResponse b = testsupport::MakeResponse(200, "<a href=\"c.htm\">c</a>");
        b.BeforePiece = [paused = jobPaused.get_future().share()](std::size_t) { paused.wait_for(Patience); };
        Server.Serve("/b.htm", b);
        TTestResponse big = testsupport::MakeResponse(200, std::string(64 * 1024, 'x'));
        big.PieceSize = 1024;
        big.BeforePiece = [stopped](std::size_t piece) {
            if (piece == 2) stopped.wait_for(Patience);  // hold the body until the stop has ended the transfer
        };
        Server.Serve("/big.bin", big);
        TCrawl engine;
        auto job = engine.Job(row.Start);
        job.RestrictLocation = jobs::lrAtServer;
        engine.Begin(job);

        TSpiderOutputMsg progress;
        ASSERT_TRUE(engine.WaitForReport(somDownloadProgress, "/big.bin", &progress));
        // b.htm, fetched beside big.bin, must be in before the exclusion; c.htm comes after it.
        ASSERT_TRUE(engine.WaitForReport(somDownloadStarted, "/b.htm"));
        ASSERT_TRUE(engine.Input.PostPause(1));
        ASSERT_TRUE(engine.WaitForReport(somJobPaused, ""));
        jobPaused.set_value();
        ASSERT_TRUE(engine.WaitForReport(somDownloadEnded, "/b.htm"));
        ASSERT_TRUE((engine.Input.*row.PostStop)(1, progress.FileDownload.DownloadNumber));
        // The body stays held until the stop has ended the transfer, so it cannot complete first.
        ASSERT_TRUE(engine.WaitForReport(somDownloadEnded, "/big.bin"));
        transferStopped.set_value();
        ASSERT_TRUE(engine.Input.PostResume(1));
        ASSERT_EQ(engine.WaitForEnd(1, Patience), joCompleted);

        const std::string site = "http://" + row.HostFolder + ":" + std::to_string(Server.Port());
        EXPECT_EQ(engine.Ended(site + "/big.bin").Results.Outcome, doStopped);
        EXPECT_FALSE(std::filesystem::exists(engine.Dest.Path() + "/" + row.HostFolder + "/big.bin"));
        EXPECT_EQ(engine.Ended(site + "/c.htm").Results.FilterReason, row.LaterPageRefusal);
        EXPECT_EQ(Server.RequestsFor("/c.htm").size(), row.LaterPageRefusal == 0 ? 1u : 0u);
    }
}

TEST_F(Crawl, RedirectChainEndsAfterTwentyRedirectsOrAtTheDepthOrFileCountLimit) {
    for (int i = 0; i < 30; ++i)
        Server.Serve("/r/" + std::to_string(i), 302, "", {{"Location", Server.URL("/r/" + std::to_string(i + 1))}});
    const struct {
        std::int32_t MaxDistance, MaxFileCount;
        std::size_t Requests;  // the start and the redirects followed
        std::uint8_t Reason;   // the filter's code on the last one; 0: it failed instead
    } rows[] = {{-1, -1, 21, 0}, {1, -1, 4, engine::dfDepth}, {-1, 2, 3, engine::dfFileCount}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Requests);
        Server.ClearRequests();
        auto job = Engine.Job(Server.URL("/r/0"));
        job.MaxDistance = row.MaxDistance;
        job.MaxFileCount = row.MaxFileCount;
        // A chain the limits cut short is refused, not failed; one that runs too long copied nothing.
        ASSERT_EQ(Engine.Run(job), row.Reason ? joCompleted : joFailed);
        EXPECT_EQ(Server.RequestCount(), row.Requests);
        const auto last = Engine.Ended(Server.URL("/r/" + std::to_string(row.Requests - 1))).Results;
        EXPECT_EQ(last.FilterReason, row.Reason);
        EXPECT_EQ(last.OsError, row.Reason ? 0 : engine::TooManyRedirectsError);
        EXPECT_FALSE(last.RedirectQueued);
    }
    EXPECT_FALSE(std::filesystem::exists(Engine.Dest.Path() + "/127.0.0.1")) << "a redirect saves nothing";
}

// Pages are parsed while the other downloads of their cycle run, but what
// they link to waits for the next cycle, as when they were parsed after it:
// the closer files still come first when a limit cuts the copy short.
TEST_F(Crawl, LinksOfAPageParsedDuringItsCycleWaitForTheNextCycle) {
    std::string start = "<a href=\"/a.htm\">a</a>";
    for (int i = 1; i <= 8; ++i) {
        const std::string name = "/x" + std::to_string(i) + ".htm";
        start += "<a href=\"" + name + "\">x</a>";
        // A slow server: the first page is parsed long before these end.
        TTestResponse slow = testsupport::MakeResponse(200, std::string(100, 'x'));
        slow.PieceSize = 50;
        slow.BeforePiece = [](std::size_t) { std::this_thread::sleep_for(std::chrono::milliseconds(150)); };
        Server.Serve(name, slow);
    }
    Server.Serve("/", 200, start);
    Server.Serve("/a.htm", 200, "<a href=\"/a2.htm\">further</a>");
    Server.Serve("/a2.htm", 200, "a2");
    auto job = Engine.Job(Server.URL("/"));
    job.MaxFileCount = 10;  // the start page and the nine it links to
    ASSERT_EQ(Engine.Run(job), joCompleted);

    EXPECT_TRUE(Server.RequestsFor("/a2.htm").empty());
    EXPECT_EQ(Engine.Ended(Server.URL("/a2.htm")).Results.FilterReason, engine::dfFileCount);
    EXPECT_EQ(Server.RequestsFor("/x8.htm").size(), 1u);
}
