#include "engine/InternetClient.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>

using engine::TInternetRequest;
using engine::TInternetRoot;
using engine::TInternetSession;

// Timeouts, refusals, stops, cookies and certificates are proven by the
// download tests; this one checks the pieces they build on.
TEST(InternetClient, ReadsALargeBodyInPiecesFindsHeadersByAnyCaseAndKeepsTheConnection) {
    testsupport::TTestWebServer server;
    std::string big(300000, 'x');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
    server.Serve("/big.bin", 200, big, {{"X-Some-Thing", "  value  "}});
    TInternetSession session(nullptr, {});
    jobs::TDownloadOptions options;
    options.HTTPProxy.UseProxyServer = false;
    options.JobOptions.HTTPAgentName = "HarvexisTest/1.0";
    session.SetOptions(options);
    std::int32_t error = 0;
    ASSERT_TRUE(session.EnsureRoot(TInternetRoot::HTTP, error));
    for (int round = 0; round < 2; ++round) {
        TInternetRequest request(session, TInternetRoot::HTTP);
        ASSERT_TRUE(request.Open({server.URL("/big.bin"), "", "", "", {"X-Extra: 1"}, true}, error));
        ASSERT_TRUE(request.Send(error)) << error;
        EXPECT_EQ(request.StatusCode(), 200);
        std::string value;
        ASSERT_TRUE(request.Header("x-some-thing", value));
        EXPECT_EQ(value, "value");
        EXPECT_FALSE(request.Header("X-Missing", value));
        std::string body;
        char buffer[5000];
        for (std::size_t count = 1; count > 0 && request.Read(buffer, sizeof buffer, count, error);)
            body.append(buffer, count);
        EXPECT_EQ(error, 0);
        EXPECT_TRUE(body == big) << "body of " << body.size() << " bytes differs";
    }
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Header("User-Agent"), "HarvexisTest/1.0");
    EXPECT_EQ(requests[0].Header("X-Extra"), "1");
    EXPECT_EQ(requests[0].RemotePort, requests[1].RemotePort) << "connection not kept alive";
}
