#include "engine/InternetClient.h"
#include "support/TestProxy.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <chrono>
#include <thread>

using namespace std::chrono_literals;
using engine::TInternetRequest;
using engine::TInternetRoot;
using engine::TInternetSession;
using testsupport::TTestWebServer;

namespace {

jobs::TDownloadOptions OptionsWith(std::int32_t TimeoutMs, bool AllowCookies = true,
                                   std::int32_t Retries = 0) {
    jobs::TDownloadOptions options;
    options.HTTPProxy.UseProxyServer = false;
    options.JobOptions.HTTPAgentName = "HarvexisTest/1.0";
    options.JobOptions.Timeout = TimeoutMs;
    options.JobOptions.AllowCookies = AllowCookies;
    options.JobOptions.ConnectRetries = Retries;
    return options;
}

// Sends one GET and reads the whole body; Error holds the failure, 0 on success.
struct TFetched {
    std::int32_t Error = 0;
    std::int32_t Status = 0;
    std::string Reason;
    std::string Body;
    bool Stopped = false;
};

TFetched Fetch(TInternetSession& Session, TInternetRoot Root, engine::TRequestParams Params) {
    TFetched result;
    if (!Session.EnsureRoot(Root, result.Error)) return result;
    TInternetRequest request(Session, Root);
    if (!request.Open(Params, result.Error) || !request.Send(result.Error)) {
        result.Stopped = request.Stopped();
        return result;
    }
    result.Status = request.StatusCode();
    result.Reason = request.StatusText();
    char buffer[5000];
    for (std::size_t count = 1; count > 0;)
        if (!request.Read(buffer, sizeof buffer, count, result.Error)) break;
        else result.Body.append(buffer, count);
    result.Stopped = request.Stopped();
    return result;
}

TFetched Get(TInternetSession& Session, const std::string& URL) {
    const auto root = URL.rfind("https:", 0) == 0 ? TInternetRoot::HTTPS : TInternetRoot::HTTP;
    return Fetch(Session, root, {URL, "", "", "", {}, true});
}

} // namespace

TEST(InternetClient, ReadsStatusHeadersAndALargeBodyInPieces) {
    TTestWebServer server;
    std::string big(300000, 'x');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
    server.Serve("/big.bin", 200, big, {{"Content-Type", "application/octet-stream"}, {"X-Test", " v "}});
    server.Serve("/gone", 404, "nothing here");

    TInternetSession session(nullptr, {});
    session.SetOptions(OptionsWith(5000));
    const auto fetched = Get(session, server.URL("/big.bin"));
    EXPECT_EQ(fetched.Error, 0);
    EXPECT_EQ(fetched.Status, 200);
    EXPECT_EQ(fetched.Reason, "OK");
    EXPECT_TRUE(fetched.Body == big) << "body of " << fetched.Body.size() << " bytes differs";

    const auto missing = Get(session, server.URL("/gone"));
    EXPECT_EQ(missing.Status, 404);
    EXPECT_EQ(missing.Reason, "Not Found");
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Header("User-Agent"), "HarvexisTest/1.0");
    EXPECT_EQ(requests[0].RemotePort, requests[1].RemotePort) << "connection not kept alive";
}

TEST(InternetClient, HeaderLookupIgnoresCaseAndTrims) {
    TTestWebServer server;
    server.Serve("/h", 200, "x", {{"X-Some-Thing", "  value  "}, {"Location", "/next"}});
    TInternetSession session(nullptr, {});
    session.SetOptions(OptionsWith(5000));
    std::int32_t error = 0;
    ASSERT_TRUE(session.EnsureRoot(TInternetRoot::HTTP, error));
    TInternetRequest request(session, TInternetRoot::HTTP);
    ASSERT_TRUE(request.Open({server.URL("/h"), "", "", "", {"X-Extra: 1"}, true}, error));
    ASSERT_TRUE(request.Send(error)) << error;
    std::string value;
    ASSERT_TRUE(request.Header("x-some-thing", value));
    EXPECT_EQ(value, "value");
    EXPECT_TRUE(request.Header("LOCATION", value));
    EXPECT_EQ(value, "/next");
    EXPECT_FALSE(request.Header("X-Missing", value));
    EXPECT_NE(request.RawHeaders().find("HTTP/1.1 200"), std::string::npos);
    EXPECT_EQ(server.Requests().at(0).Header("X-Extra"), "1");
}

TEST(InternetClient, RedirectsAreNotFollowed) {
    TTestWebServer server;
    server.Serve("/from", 302, "", {{"Location", "/to"}});
    server.Serve("/to", 200, "target");
    TInternetSession session(nullptr, {});
    session.SetOptions(OptionsWith(5000));
    const auto fetched = Get(session, server.URL("/from"));
    EXPECT_EQ(fetched.Status, 302);
    EXPECT_EQ(server.RequestsFor("/to").size(), 0u);
}

TEST(InternetClient, RefusedConnectionFailsWithTheLibraryCode) {
    TTestWebServer unused;  // clears proxy variables of the environment
    TInternetSession session(nullptr, {});
    session.SetOptions(OptionsWith(2000, true, 2));
    const auto started = std::chrono::steady_clock::now();
    const auto fetched = Get(session, "http://127.0.0.1:" + std::to_string(testsupport::ClosedLoopbackPort()) + "/");
    EXPECT_EQ(fetched.Error, engine::InternetErrorCode(CURLE_COULDNT_CONNECT));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

TEST(InternetClient, SilentServerEndsAfterTheReceiveTimeout) {
    TTestWebServer server;
    testsupport::TTestResponse silent;
    silent.NeverAnswer = true;
    server.Serve("/silent", silent);
    TInternetSession session(nullptr, {});
    session.SetOptions(OptionsWith(300, true, 3));
    const auto started = std::chrono::steady_clock::now();
    const auto fetched = Get(session, server.URL("/silent"));
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(fetched.Error, engine::InternetErrorCode(CURLE_OPERATION_TIMEDOUT));
    EXPECT_GE(elapsed, 250ms);
    EXPECT_LT(elapsed, 3s);
    // The server answered the connect, so the request was not repeated.
    EXPECT_EQ(server.RequestsFor("/silent").size(), 1u);
}

TEST(InternetClient, StopFromAnotherThreadEndsTheTransfer) {
    TTestWebServer server;
    testsupport::TTestResponse silent;
    silent.NeverAnswer = true;
    server.Serve("/silent", silent);
    TInternetSession session(nullptr, {});
    session.SetOptions(OptionsWith(60000));
    std::jthread stopper([&] {
        server.WaitForRequests(1, 10s);
        session.RequestStop();
    });
    const auto started = std::chrono::steady_clock::now();
    const auto fetched = Get(session, server.URL("/silent"));
    EXPECT_TRUE(fetched.Stopped);
    EXPECT_EQ(fetched.Error, engine::InternetErrorCode(CURLE_ABORTED_BY_CALLBACK));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

TEST(InternetClient, CookiesAreSharedOnlyWhenAllowed) {
    struct TRow {
        const char* Name;
        bool AllowCookies;
        bool Shared;
        bool Expected;
    };
    const TRow rows[] = {
        {"allowed and shared", true, true, true},
        {"allowed, no jar", true, false, false},
        {"not allowed", false, true, false},
    };
    for (const auto& row : rows) {
        TTestWebServer server;
        server.Serve("/set", 200, "set", {{"Set-Cookie", "session=abc; Path=/"}});
        server.Serve("/check", 200, "check");
        engine::TCookieStore jar;
        TInternetSession first(row.Shared ? &jar : nullptr, {});
        TInternetSession second(row.Shared ? &jar : nullptr, {});
        first.SetOptions(OptionsWith(5000, row.AllowCookies));
        second.SetOptions(OptionsWith(5000, row.AllowCookies));
        EXPECT_EQ(Get(first, server.URL("/set")).Status, 200) << row.Name;
        EXPECT_EQ(Get(second, server.URL("/check")).Status, 200) << row.Name;
        const auto checks = server.RequestsFor("/check");
        ASSERT_EQ(checks.size(), 1u) << row.Name;
        EXPECT_EQ(checks[0].Header("Cookie") == "session=abc", row.Expected) << row.Name;
    }
}

TEST(InternetClient, HTTPSVerifiesTheServerCertificate) {
    TTestWebServer server(TTestWebServer::TKind::HTTPS);
    TTestWebServer other(TTestWebServer::TKind::HTTPS);
    server.Serve("/secure", 200, "secret");
    struct TRow {
        const char* Name;
        std::string CAFile;
        std::int32_t Error;
    };
    const TRow rows[] = {
        {"trusted test authority", server.CAFile(), 0},
        {"no extra authority", "", engine::InternetErrorCode(CURLE_PEER_FAILED_VERIFICATION)},
        {"another server's authority", other.CAFile(),
         engine::InternetErrorCode(CURLE_PEER_FAILED_VERIFICATION)},
    };
    for (const auto& row : rows) {
        TInternetSession session(nullptr, {row.CAFile});
        session.SetOptions(OptionsWith(5000));
        const auto fetched = Get(session, server.URL("/secure"));
        EXPECT_EQ(fetched.Error, row.Error) << row.Name;
        EXPECT_EQ(fetched.Body, row.Error == 0 ? "secret" : "") << row.Name;
    }
}
