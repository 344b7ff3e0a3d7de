// One download thread fetching from the "files" test site.

#include "support/DownloadFixture.h"

#include "support/TestServerProcess.h"
#include "support/TraceLogCapture.h"

#include <future>

using testsupport::MakeResponse;
using testsupport::ReadFileText;
using testsupport::SiteFolder;
using testsupport::TTestResponse;

namespace {

class HTTPDownload : public testsupport::TDownloadFixture {
protected:
    HTTPDownload() { Server.ServeFolder(SiteFolder("files")); }
};

} // namespace

TEST_F(HTTPDownload, SavesThePageWithTheServersTimeAndSendsTheJobsRequestHeaders) {
    Options.JobOptions.HTTPHeaders = "X-One: 1\r\nX-Two: two\r\n";
    engine::TFileDownloadThread thread(Filter, MIMETable, Services());
    Prepare(thread);
    web::TURL referrer;
    referrer.SetFullURL(Server.URL("/index.html"));
    const std::string file = Path("site/dir/page.html");

    const auto result = Download(thread, Server.URL("/dir/page.html"), file, 1, &referrer);

    EXPECT_EQ(result.StatusCode, 200);
    EXPECT_EQ(result.StatusText, "OK");
    EXPECT_FALSE(result.HaveOsError);
    EXPECT_TRUE(result.IsPage);
    EXPECT_EQ(result.LocalFile, file);
    EXPECT_EQ(ReadFileText(file), "<html>hello</html>");
    EXPECT_EQ(ModificationTime(file), ModificationTime(SiteFolder("files") + "/dir/page.html"));
    EXPECT_FALSE(testsupport::FileExists(file + "#part"));
    EXPECT_EQ(thread.Slot(0).Progress().ContentType, "text/html");
    EXPECT_EQ(Filter.FileCount(), 1);
    EXPECT_EQ(Filter.TotalBytes(), 18);
    const auto requests = Server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("User-Agent"), "HarvexisTest/1.0");
    EXPECT_EQ(requests[0].Header("Referer"), Server.URL("/index.html"));
    EXPECT_EQ(requests[0].Header("X-One"), "1");
    EXPECT_EQ(requests[0].Header("X-Two"), "two");
    EXPECT_FALSE(requests[0].HasHeader("If-Modified-Since"));

    Options.JobOptions.UseReferrer = false;
    Prepare(thread);
    Download(thread, Server.URL("/a.txt"), Path("a.txt"), 1, &referrer);
    EXPECT_FALSE(Server.RequestsFor("/a.txt").at(0).HasHeader("Referer"));
}

// A download handed to the second slot waits behind the running one and
// begins when it ends; a stop ends the running transfer and takes the waiting
// one back before it begins, and the stop is not left over for the next. A
// thread that ends (the program closes) begins nothing that waits.
TEST_F(HTTPDownload, DownloadWaitingBehindTheRunningOneBeginsAfterItUnlessAStopTakesItBack) {
    std::promise<void> releaseFirst, releaseSecond, releaseThird;
    auto serveHeld = [&](const std::string& Target, std::promise<void>& Release) {
        TTestResponse held = MakeResponse(200, std::string(20000, 'h'));
        held.PieceSize = 5000;
        held.BeforePiece = [released = Release.get_future().share()](std::size_t Piece) {
            if (Piece > 0) released.wait_for(std::chrono::seconds(20));
        };
        Server.Serve(Target, held);
    };
    serveHeld("/held1.bin", releaseFirst);
    serveHeld("/held2.bin", releaseSecond);
    serveHeld("/held3.bin", releaseThird);
    auto start = [&](engine::TFileDownloadThread& Thread, int Slot, const std::string& Target) {
        web::TURL address;
        address.SetFullURL(Server.URL(Target));
        return Thread.StartDownload(Slot, address, Path(Target.substr(1)), 1, nullptr);
    };
    engine::TFileDownloadThread thread(Filter, MIMETable, Services());
    Prepare(thread);

    ASSERT_TRUE(start(thread, 0, "/held1.bin"));
    ASSERT_TRUE(WaitForState(thread, engine::dsReadingData, 0));
    ASSERT_TRUE(start(thread, 1, "/a.txt"));
    EXPECT_FALSE(start(thread, 1, "/file.bin")) << "the slot is taken";
    EXPECT_EQ(thread.Slot(1).State(), engine::dsQueued);
    releaseFirst.set_value();
    ASSERT_TRUE(WaitForState(thread, engine::dsFinished, 1));
    EXPECT_EQ(thread.Slot(0).State(), engine::dsFinished);
    EXPECT_EQ(thread.Slot(0).CompleteData().SavedBytes, 20000);
    EXPECT_EQ(thread.Slot(1).CompleteData().StatusCode, 200);
    EXPECT_EQ(ReadFileText(Path("a.txt")), "a");
    thread.MarkIdle(0);
    thread.MarkIdle(1);

    ASSERT_TRUE(start(thread, 1, "/held2.bin"));
    ASSERT_TRUE(WaitForState(thread, engine::dsReadingData, 1));
    ASSERT_TRUE(start(thread, 0, "/file.bin"));
    EXPECT_EQ(thread.Stop(), 1u) << "slot 0 taken back";
    releaseSecond.set_value();
    ASSERT_TRUE(WaitForState(thread, engine::dsFinished, 1));
    EXPECT_TRUE(thread.Slot(1).CompleteData().Stopped);
    EXPECT_EQ(thread.Slot(0).State(), engine::dsIdle);
    EXPECT_TRUE(Server.RequestsFor("/file.bin").empty());

    thread.MarkIdle(1);
    ASSERT_TRUE(start(thread, 0, "/file.bin"));
    ASSERT_TRUE(WaitForState(thread, engine::dsFinished, 0));
    EXPECT_FALSE(thread.Slot(0).CompleteData().Stopped);
    EXPECT_EQ(thread.Slot(0).CompleteData().StatusCode, 200);

    {
        engine::TFileDownloadThread ending(Filter, MIMETable, Services());
        Prepare(ending);
        ASSERT_TRUE(start(ending, 0, "/held3.bin"));
        ASSERT_TRUE(WaitForState(ending, engine::dsReadingData, 0));
        ASSERT_TRUE(start(ending, 1, "/dir/page.html"));
    }
    releaseThird.set_value();
    EXPECT_TRUE(Server.RequestsFor("/dir/page.html").empty());
}

TEST_F(HTTPDownload, RedirectsAreHandedBackAsTargetsAndErrorsSaveNothing) {
    struct TRow {
        std::string Target;
        int Status;
        std::string Redirect;  // expected target on the server; "" = none
    };
    const TRow rows[] = {
        {"/old/302.html", 302, "/new/place.html"}, {"/old/302b.html", 302, "/old/sibling.html"},
        {"/old/301.html", 301, "/moved.html"},     {"/old/303.html", 303, "/up.html"},
        {"/old/307.html", 307, "/temp.html"},      {"/old/308.html", 308, "/permanent.html"},
        {"/gone.html", 404, ""},                   {"/broken.html", 500, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Target);
        Server.ClearRequests();
        const auto result = Download(row.Target, Path("page.html"));
        EXPECT_EQ(result.StatusCode, row.Status);
        EXPECT_FALSE(result.HaveOsError);
        EXPECT_EQ(result.RedirectTarget.IsValid(), !row.Redirect.empty());
        if (!row.Redirect.empty()) {
            EXPECT_EQ(result.RedirectTarget.GetFullURL(), Server.URL(row.Redirect));
        }
        EXPECT_FALSE(testsupport::FileExists(Path("page.html")));
        EXPECT_FALSE(testsupport::FileExists(Path("page.html#part")));
        EXPECT_EQ(Server.RequestCount(), 1u) << "a redirect is not followed";
    }
    EXPECT_EQ(Filter.FileCount(), 0);
}

TEST_F(HTTPDownload, RefusedConnectionIsTriedAgainAsOftenAsTheJobSays) {
    const std::pair<std::string, int> rows[] = {{"http", 0}, {"http", 2}, {"ftp", 3}};
    Job.DownloadFTP = true;
    for (const auto& [scheme, retries] : rows) {
        SCOPED_TRACE(scheme + " " + std::to_string(retries));
        testsupport::TTraceLogCapture trace;
        Options.JobOptions.ConnectRetries = retries;
        engine::TFileDownloadThread thread(Filter, MIMETable, Services());
        Prepare(thread);
        const std::string port = std::to_string(testsupport::ClosedLoopbackPort());

        const auto result = Download(thread, scheme + "://127.0.0.1:" + port + "/file.txt", Path("file.txt"));

        EXPECT_EQ(result.OsError, engine::InternetErrorCode(CURLE_COULDNT_CONNECT));
        EXPECT_EQ(trace.CountRows("connect retry"), static_cast<std::size_t>(retries));
        const std::string last = std::to_string(retries) + " of " + std::to_string(retries);
        EXPECT_EQ(trace.CountRows("connect retry " + last), retries > 0 ? 1u : 0u);
        EXPECT_FALSE(testsupport::FileExists(Path("file.txt")));
    }
}

TEST_F(HTTPDownload, ResponseDrippingAByteAtATimeEndsWithTheTimeOut) {
    Options.JobOptions.Timeout = 1000;
    TTestResponse drip = MakeResponse(200, std::string(100, 'd'));
    drip.PieceSize = 1;
    // Each byte follows the last after 300 ms: never idle for the time-out.
    std::promise<void> finish;
    std::shared_future<void> finished = finish.get_future().share();
    drip.BeforePiece = [finished](std::size_t) { finished.wait_for(std::chrono::milliseconds(300)); };
    Server.Serve("/drip.html", drip);
    const auto start = std::chrono::steady_clock::now();

    const auto result = Download("/drip.html", Path("drip.html"));

    finish.set_value();
    EXPECT_EQ(result.OsError, engine::InternetErrorCode(CURLE_OPERATION_TIMEDOUT));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
    EXPECT_FALSE(testsupport::FileExists(Path("drip.html")));
}
