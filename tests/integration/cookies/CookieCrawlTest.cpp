#include "integration/https/SiteCrawl.h"

#include "support/TestWebServer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using testsupport::TRecordedRequest;
using testsupport::TSiteCrawl;
using testsupport::TTestWebServer;

namespace {

constexpr int PageCount = 8;
constexpr int ThreadCount = 4;

// Holds each request until ThreadCount of them are being served at once (or
// a generous time has passed), so that every download thread is seen asking.
class TMeetingPoint {
public:
    // True when the meeting happened.
    bool Arrive() {
        std::unique_lock guard(Lock);
        if (++Waiting >= ThreadCount) Met = true;
        Changed.notify_all();
        return Changed.wait_for(guard, std::chrono::seconds(20), [this] { return Met; });
    }
    bool Happened() const {
        std::lock_guard guard(Lock);
        return Met;
    }

private:
    mutable std::mutex Lock;         // guards Waiting and Met
    std::condition_variable Changed; // signalled when a request arrives
    int Waiting = 0;
    bool Met = false;
};

} // namespace

TEST(Cookies, CookieOfTheFirstPageGoesBackWithTheRequestsOfAllFourThreads) {
    for (const bool allowed : {true, false}) {
        SCOPED_TRACE(allowed ? "cookies allowed" : "cookies not allowed");
        // A name of its own per row: the program's jar outlives a job.
        const std::string cookie = allowed ? "visit=allowed" : "visit=refused";
        TTestWebServer server;
        std::string index;
        for (int i = 0; i < PageCount; ++i) index += "<a href=\"p" + std::to_string(i) + ".html\">p</a>";
        server.Serve("/", 200, index, {{"Set-Cookie", cookie + "; Path=/"}});
        TMeetingPoint meeting;
        for (int i = 0; i < PageCount; ++i)
            server.ServeHandler("/p" + std::to_string(i) + ".html", [&](const TRecordedRequest& Request) {
                meeting.Arrive();
                if (Request.Header("Cookie") != cookie)
                    return testsupport::MakeResponse(403, "no cookie", {{"Content-Type", "text/plain"}});
                return testsupport::MakeResponse(200, "<p>member</p>");
            });
        TSiteCrawl crawl;  // the download threads use the program's cookie jar
        auto job = crawl.Job(server.URL("/"));
        job.DownloadOptions.AllowCookies = allowed;

        EXPECT_EQ(crawl.Run(job), messaging::joCompleted);

        EXPECT_TRUE(meeting.Happened()) << "four downloads were never under way at once";
        for (int i = 0; i < PageCount; ++i) {
            const std::string page = "/p" + std::to_string(i) + ".html";
            const auto requests = server.RequestsFor(page);
            ASSERT_EQ(requests.size(), 1u) << page;
            EXPECT_EQ(requests[0].Header("Cookie"), allowed ? cookie : "") << page;
            EXPECT_EQ(crawl.Ended(server.URL(page)).Results.StatusCode, allowed ? 200 : 403) << page;
        }
    }
}
