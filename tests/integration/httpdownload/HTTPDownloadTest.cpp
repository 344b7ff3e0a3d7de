#include "support/DownloadFixture.h"

#include "base/AppTraceLog.h"
#include "support/TestProxy.h"

#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

using testsupport::HTTPDate;
using testsupport::ReadFileText;
using testsupport::MakeResponse;
using testsupport::TTestResponse;
using testsupport::TTestWebServer;

namespace {

class HTTPDownload : public testsupport::TDownloadFixture {};

constexpr std::time_t ServerTime = 1500000000;  // Fri, 14 Jul 2017 02:40:00 GMT

} // namespace

TEST_F(HTTPDownload, SavesThePageWithTheServersTimeAndSendsTheJobsRequestHeaders) {
    Server.Serve("/dir/page.html", 200, "<html>hello</html>",
                 {{"Content-Type", "text/html; charset=utf-8"}, {"Last-Modified", HTTPDate(ServerTime)}});
    Options.JobOptions.HTTPHeaders = "X-One: 1\r\nX-Two: two\r\n";
    engine::TFileDownloadThread thread(Filter, MIMETable, Services());
    Prepare(thread);
    web::TURL referrer;
    referrer.SetFullURL(Server.URL("/index.html"));
    const std::string file = Path("site/dir/page.html");

    const auto result = Download(thread, Server.URL("/dir/page.html"), file, 1, &referrer);

    EXPECT_EQ(result.StatusCode, 200);
    EXPECT_EQ(result.StatusText, "OK");
    EXPECT_TRUE(result.HaveStatus);
    EXPECT_FALSE(result.HaveOsError);
    EXPECT_TRUE(result.IsPage);
    EXPECT_EQ(result.FilterResult, engine::dfPassed);
    EXPECT_EQ(result.LocalFile, file);
    EXPECT_EQ(ReadFileText(file), "<html>hello</html>");
    EXPECT_EQ(ModificationTime(file), ServerTime);
    EXPECT_FALSE(testsupport::FileExists(file + ".part"));
    EXPECT_EQ(thread.Progress().ContentType, "text/html; charset=utf-8");
    EXPECT_EQ(Filter.FileCount(), 1);
    EXPECT_EQ(Filter.TotalBytes(), 18);
    const auto requests = Server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Method, "GET");
    EXPECT_EQ(requests[0].Header("User-Agent"), "HarvexisTest/1.0");
    EXPECT_EQ(requests[0].Header("Referer"), Server.URL("/index.html"));
    EXPECT_EQ(requests[0].Header("X-One"), "1");
    EXPECT_EQ(requests[0].Header("X-Two"), "two");
    EXPECT_EQ(requests[0].Header("Accept"), "*/*");
    EXPECT_FALSE(requests[0].HasHeader("If-Modified-Since"));
}

TEST_F(HTTPDownload, ReferrerIsLeftOutWhenTheJobSaysSo) {
    Server.Serve("/a.txt", 200, "a", {{"Content-Type", "text/plain"}});
    Options.JobOptions.UseReferrer = false;
    engine::TFileDownloadThread thread(Filter, MIMETable, Services());
    Prepare(thread);
    web::TURL referrer;
    referrer.SetFullURL(Server.URL("/index.html"));
    Download(thread, Server.URL("/a.txt"), Path("a.txt"), 1, &referrer);
    ASSERT_EQ(Server.RequestCount(), 1u);
    EXPECT_FALSE(Server.Requests()[0].HasHeader("Referer"));
}

TEST_F(HTTPDownload, RedirectsAreHandedBackAsTargets) {
    struct TRow {
        int Status;
        std::string Location;
        std::string Expected;  // target relative to the server, "" = none
    };
    const TRow rows[] = {
        {302, "/new/place.html", "/new/place.html"},
        {302, "sibling.html", "/old/sibling.html"},
        {301, Server.URL("/moved.html"), "/moved.html"},
        {303, "../up.html", "/up.html"},
        {307, "/temp.html", "/temp.html"},
        {308, "/permanent.html", "/permanent.html"},
    };
    for (const auto& row : rows) {
        Server.ClearRequests();
        Server.Serve("/old/page.html", row.Status, "", {{"Location", row.Location}});
        const auto result = Download("/old/page.html", Path("old/page.html"));
        const std::string name = std::to_string(row.Status) + " " + row.Location;
        EXPECT_EQ(result.StatusCode, row.Status) << name;
        ASSERT_TRUE(result.RedirectTarget.IsValid()) << name;
        EXPECT_EQ(result.RedirectTarget.GetFullURL(), Server.URL(row.Expected)) << name;
        EXPECT_FALSE(testsupport::FileExists(Path("old/page.html"))) << name;
        EXPECT_EQ(Server.RequestCount(), 1u) << name << ": the redirect was followed";
    }
}

TEST_F(HTTPDownload, FailedStatusesSaveNothing) {
    const int statuses[] = {404, 500, 403};
    for (int status : statuses) {
        Server.Serve("/x.html", status, "error page");
        const auto result = Download("/x.html", Path("x.html"));
        EXPECT_TRUE(result.HaveStatus) << status;
        EXPECT_EQ(result.StatusCode, status);
        EXPECT_FALSE(result.HaveOsError) << status;
        EXPECT_FALSE(testsupport::FileExists(Path("x.html"))) << status;
        EXPECT_FALSE(testsupport::FileExists(Path("x.html.part"))) << status;
    }
    EXPECT_EQ(Filter.FileCount(), 0);
}

TEST_F(HTTPDownload, ContentTypeExtendsTheFileNameWhenAsked) {
    Server.Serve("/script.asp", 200, "<p>page</p>", {{"Content-Type", "text/html"}});
    Options.JobOptions.AddFileExtensions = true;
    const auto result = Download("/script.asp", Path("script.asp"));
    EXPECT_EQ(result.LocalFile, Path("script.asp.htm"));
    EXPECT_EQ(ReadFileText(Path("script.asp.htm")), "<p>page</p>");
    EXPECT_FALSE(testsupport::FileExists(Path("script.asp")));
    EXPECT_TRUE(result.IsPage);
}

TEST_F(HTTPDownload, FilterRefusalsMakeNoRequest) {
    Server.Serve("/deep.html", 200, "x");
    Job.MaxDistance = 0;
    engine::TFileDownloadThread thread(Filter, MIMETable, Services());
    Prepare(thread);
    const auto result = Download(thread, Server.URL("/deep.html"), Path("deep.html"), 1);
    EXPECT_EQ(result.FilterResult, engine::dfDepth);
    EXPECT_EQ(Server.RequestCount(), 0u);
    EXPECT_EQ(result.LocalFile, Path("deep.html"));
}

TEST_F(HTTPDownload, MissingDestinationIsReportedAsAFailure) {
    Server.Serve("/page.html", 200, "x");
    const auto result = Download("/page.html", "");
    EXPECT_TRUE(result.ExceptionRaised);
    EXPECT_EQ(result.ExceptionText, "No destination filename");
    EXPECT_EQ(Server.RequestCount(), 0u);
}

TEST_F(HTTPDownload, CookiesGoBackOnlyWhenAllowed) {
    for (bool allowed : {true, false}) {
        Server.ClearRequests();
        Server.Serve("/set.html", 200, "set", {{"Set-Cookie", "visit=42; Path=/"}});
        Server.Serve("/check.html", 200, "check");
        Options.JobOptions.AllowCookies = allowed;
        engine::TCookieStore jar;  // a fresh jar for each row
        auto services = Services();
        services.Cookies = &jar;
        // Two threads of one dispatcher share the jar.
        engine::TFileDownloadThread first(Filter, MIMETable, services);
        engine::TFileDownloadThread second(Filter, MIMETable, services);
        Prepare(first);
        Prepare(second);
        Download(first, Server.URL("/set.html"), Path("set.html"));
        Download(second, Server.URL("/check.html"), Path("check.html"));
        const auto checks = Server.RequestsFor("/check.html");
        ASSERT_EQ(checks.size(), 1u);
        EXPECT_EQ(checks[0].Header("Cookie"), allowed ? "visit=42" : "") << "allowed " << allowed;
    }
}

TEST_F(HTTPDownload, SilentServerEndsWithATimeOut) {
    TTestResponse silent;
    silent.NeverAnswer = true;
    Server.Serve("/silent.html", silent);
    Options.JobOptions.Timeout = 300;
    Options.JobOptions.ConnectRetries = 3;
    const auto started = std::chrono::steady_clock::now();
    const auto result = Download("/silent.html", Path("silent.html"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_TRUE(result.HaveOsError);
    EXPECT_EQ(result.OsError, engine::InternetErrorCode(CURLE_OPERATION_TIMEDOUT));
    EXPECT_FALSE(testsupport::FileExists(Path("silent.html")));
    EXPECT_EQ(Server.RequestCount(), 1u);
}

TEST_F(HTTPDownload, RefusedConnectionIsAnError) {
    engine::TFileDownloadThread thread(Filter, MIMETable, Services());
    Prepare(thread);
    const std::string url = "http://127.0.0.1:" + std::to_string(testsupport::ClosedLoopbackPort()) + "/page.html";
    const auto result = Download(thread, url, Path("page.html"));
    EXPECT_TRUE(result.HaveOsError);
    EXPECT_EQ(result.OsError, engine::InternetErrorCode(CURLE_COULDNT_CONNECT));
    EXPECT_FALSE(base::SystemErrorText(result.OsError).empty());
    EXPECT_FALSE(result.HaveStatus);
}

TEST_F(HTTPDownload, HTTPSWithTheTestAuthorityAndWithAnUntrustedCertificate) {
    TTestWebServer secure(TTestWebServer::TKind::HTTPS);
    secure.Serve("/secure.html", 200, "<b>secure</b>");
    struct TRow {
        const char* Name;
        std::string CAFile;
        bool Saved;
    };
    const TRow rows[] = {{"trusted", secure.CAFile(), true}, {"untrusted", "", false}};
    for (const auto& row : rows) {
        engine::TFileDownloadThread thread(Filter, MIMETable, Services({row.CAFile}));
        Prepare(thread);
        const std::string file = Path(std::string(row.Name) + ".html");
        const auto result = Download(thread, secure.URL("/secure.html"), file);
        EXPECT_EQ(testsupport::FileExists(file), row.Saved) << row.Name;
        if (row.Saved) {
            EXPECT_EQ(ReadFileText(file), "<b>secure</b>");
            EXPECT_EQ(result.StatusCode, 200);
        } else {
            EXPECT_TRUE(result.HaveOsError) << row.Name;
            EXPECT_EQ(result.OsError, engine::InternetErrorCode(CURLE_PEER_FAILED_VERIFICATION));
            EXPECT_NE(base::SystemErrorText(result.OsError).find("SSL"), std::string::npos)
                << base::SystemErrorText(result.OsError);
        }
    }
}

TEST_F(HTTPDownload, CredentialsComeFromTheAddressOrThePasswordStoreWhenAllowed) {
    struct TRow {
        const char* Name;
        bool InAddress;
        bool InStore;
        bool Allowed;
        std::string Expected;  // Authorization header; "" = none
    };
    // "user:secret" and "stored:pw" in Base64.
    const TRow rows[] = {
        {"from the address", true, true, true, "Basic dXNlcjpzZWNyZXQ="},
        {"from the store", false, true, true, "Basic c3RvcmVkOnB3"},
        {"none anywhere", false, false, true, ""},
        {"not allowed", true, true, false, ""},
    };
    for (const auto& row : rows) {
        Server.ClearRequests();
        Server.Serve("/private.html", 200, "private");
        Options.JobOptions.AllowAuthentication = row.Allowed;
        auto services = Services();
        services.FindSitePassword = [&row](const std::string& Host, engine::TSiteCredentials& Found) {
            if (!row.InStore || Host != "127.0.0.1") return false;
            Found = {"stored", "pw"};
            return true;
        };
        engine::TFileDownloadThread thread(Filter, MIMETable, services);
        Prepare(thread);
        std::string url = Server.URL("/private.html");
        if (row.InAddress) url.insert(url.find("//") + 2, "user:secret@");
        const auto result = Download(thread, url, Path("private.html"));
        EXPECT_EQ(result.StatusCode, 200) << row.Name;
        ASSERT_EQ(Server.RequestCount(), 1u) << row.Name;
        EXPECT_EQ(Server.Requests()[0].Header("Authorization"), row.Expected) << row.Name;
        EXPECT_FALSE(thread.Address().GetUserName().empty() && row.InAddress) << row.Name;
    }
}
