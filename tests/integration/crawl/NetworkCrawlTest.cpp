// Crawls that follow links to HTTPS and FTP, and cookies shared by the download threads.

#include "Crawl.h"

#include "engine/InternetSettings.h"
#include "queue/DownloadResultText.h"
#include "support/TestFtpServer.h"

#include <condition_variable>
#include <mutex>

using testsupport::TTestWebServer;

TEST(NetworkCrawl, LinksToFTPAndHTTPSAreFollowedOnlyWhenTheJobAllowsThem) {
    testsupport::TTestFtpServer ftp;
    ftp.AddFile("/pub/notes.txt", "notes over ftp", 1500000000);
    TTestWebServer secure(TTestWebServer::TKind::HTTPS);
    secure.ServeFolder(testsupport::SiteFolder("secure"));
    TTestWebServer web;
    web.Serve("/", 200, "<a href=\"" + ftp.URL("/pub/notes.txt") + "\">notes</a><a href=\"" +
                            secure.URL("/logo.gif") + "\">logo</a>");
    for (const bool allowed : {true, false}) {
        SCOPED_TRACE(allowed ? "allowed" : "not allowed");
        ftp.ClearRecords();
        secure.ClearRequests();
        engine::TDownloadThreadServices trusting;
        trusting.ClientSettings.ExtraCAFile = secure.CAFile();
        TCrawl crawl(trusting);
        auto job = crawl.Job(web.URL("/"));
        job.RestrictLocation = jobs::lrAnywhere;
        job.DownloadFTP = job.DownloadHTTPS = allowed;

        EXPECT_EQ(crawl.Run(job), messaging::joCompleted);

        for (const auto& address : {ftp.URL("/pub/notes.txt"), secure.URL("/logo.gif")}) {
            const auto ended = crawl.Ended(address);
            EXPECT_EQ(ended.Results.Filtered, !allowed) << address;
            if (allowed) EXPECT_EQ(ended.Results.StatusCode, 200) << address;
            else EXPECT_EQ(queue::DownloadResultText(ended.Results, true), "Filtered: Protocol") << address;
        }
        EXPECT_EQ(ftp.CountRecords("RETR"), allowed ? 1u : 0u);
        EXPECT_EQ(ftp.Records().empty(), !allowed) << "a refused address is not even connected to";
        EXPECT_EQ(secure.RequestCount(), allowed ? 1u : 0u);
    }
}

TEST(NetworkCrawl, CookieOfTheFirstPageGoesBackWithTheRequestsOfAllFourThreads) {
    constexpr int Pages = 8;
    for (const bool allowed : {true, false}) {
        SCOPED_TRACE(allowed ? "cookies allowed" : "cookies not allowed");
        // A name of its own per row: a cookie jar may outlive a job.
        const std::string cookie = allowed ? "visit=allowed" : "visit=refused";
        TTestWebServer server;
        std::string index;
        for (int i = 0; i < Pages; ++i) index += "<a href=\"p" + std::to_string(i) + ".html\">p</a>";
        server.Serve("/", 200, index, {{"Set-Cookie", cookie + "; Path=/"}});
        // Each request waits until four are being served at once, so every thread is seen asking.
        std::mutex lock;                  // guards waiting
        std::condition_variable arrived;  // signalled when a request arrives
        int waiting = 0;
        for (int i = 0; i < Pages; ++i)
            server.ServeHandler("/p" + std::to_string(i) + ".html", [&](const testsupport::TRecordedRequest&) {
                std::unique_lock guard(lock);
                ++waiting;
                arrived.notify_all();
                arrived.wait_for(guard, Patience, [&] { return waiting >= 4; });
                return testsupport::MakeResponse(200, "<p>member</p>");
            });
        TCrawl crawl;
        auto job = crawl.Job(server.URL("/"));
        job.DownloadOptions.AllowCookies = allowed;

        EXPECT_EQ(crawl.Run(job), messaging::joCompleted);

        EXPECT_GE(waiting, 4) << "four downloads were never under way at once";
        for (int i = 0; i < Pages; ++i) {
            const auto requests = server.RequestsFor("/p" + std::to_string(i) + ".html");
            ASSERT_EQ(requests.size(), 1u) << i;
            EXPECT_EQ(requests[0].Header("Cookie"), allowed ? cookie : "") << i;
        }
    }
}
