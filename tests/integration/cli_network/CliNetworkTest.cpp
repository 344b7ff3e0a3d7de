// The runner's network options and the stored passwords, end to end: the
// built harvexis-cli against local servers and a local proxy.

#include "support/RunCli.h"
#include "support/TempDir.h"
#include "support/TestProxy.h"
#include "support/TestWebServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using testing::HasSubstr;
using testsupport::RunCli;
using testsupport::TTempDir;
using testsupport::TTestWebServer;

namespace {

struct TCli {
    TTempDir Data;
    TTempDir Dest;
    testsupport::TCliResult Run(const std::vector<std::string>& Args, const std::string& Input = "") {
        return RunCli(Args, Input, {{"HARVEXIS_DATA_DIR", Data.Path()}, {"XDG_DATA_HOME", Data.Path()}});
    }
    bool Saved(const std::string& Path) const {
        return std::filesystem::exists(Dest.Path() + "/127.0.0.1" + Path);
    }
};

} // namespace

TEST(CliNetwork, CopyGoesThroughTheProxyWithItsUserAndPassword) {
    TCli cli;
    TTestWebServer server;
    server.Serve("/", 200, "<a href=\"a.htm\">a</a>");
    server.Serve("/a.htm", 200, "<p>a</p>");
    testsupport::TTestProxy proxy("puser", "ppass");
    const auto result = cli.Run({"copy", server.URL("/"), cli.Dest.Path(), "--quiet", "--proxy",
                                 "127.0.0.1:" + std::to_string(proxy.Port()), "--proxy-user", "puser"},
                                "ppass\n");
    ASSERT_EQ(result.ExitStatus, 0) << result.Err;
    EXPECT_TRUE(cli.Saved("/index.html"));
    EXPECT_TRUE(cli.Saved("/a.htm"));
    EXPECT_EQ(proxy.CountRequests(server.URL("/a.htm")), 1u) << "the download went through the proxy";
}

TEST(CliNetwork, HttpsCopyTrustsOnlyTheNamedCertificate) {
    TCli cli;
    TTestWebServer server(TTestWebServer::TKind::HTTPS);
    server.Serve("/", 200, "<p>secure</p>");
    const auto refused = cli.Run({"copy", server.URL("/"), cli.Dest.Path(), "--quiet", "--https"});
    EXPECT_EQ(refused.ExitStatus, 0) << "the job completes, the download fails";
    EXPECT_FALSE(cli.Saved("/index.html"));
    const auto trusted = cli.Run({"copy", server.URL("/"), cli.Dest.Path(), "--quiet", "--https", "--ca-file",
                                  server.CAFile()});
    ASSERT_EQ(trusted.ExitStatus, 0) << trusted.Err;
    EXPECT_TRUE(cli.Saved("/index.html"));
}

TEST(CliNetwork, StoredPasswordOpensAProtectedSite) {
    TCli cli;
    TTestWebServer server;
    server.ServeHandler("/", [](const testsupport::TRecordedRequest& request) {
        // "alice:secret" in Basic.
        if (request.Header("Authorization") == "Basic YWxpY2U6c2VjcmV0")
            return testsupport::TTestResponse{200, "<p>inside</p>", {}};
        return testsupport::TTestResponse{401, "no", {{"WWW-Authenticate", "Basic realm=\"r\""}}};
    });
    EXPECT_EQ(cli.Run({"copy", server.URL("/"), cli.Dest.Path(), "--quiet"}).ExitStatus, 0);
    EXPECT_FALSE(cli.Saved("/index.html")) << "no password stored yet";
    const auto added = cli.Run({"password", "add", server.URL("/"), "alice"}, "secret\n");
    ASSERT_EQ(added.ExitStatus, 0) << added.Err;
    const auto copied = cli.Run({"copy", server.URL("/"), cli.Dest.Path(), "--quiet"});
    ASSERT_EQ(copied.ExitStatus, 0) << copied.Err;
    EXPECT_TRUE(cli.Saved("/index.html"));
}

TEST(CliNetwork, BadNetworkOptionsAreUsageErrors) {
    TCli cli;
    struct Row { std::vector<std::string> Args; std::string Problem; } rows[] = {
        {{"copy", "http://127.0.0.1:1/", cli.Dest.Path(), "--proxy", "nohost"}, "HOST:PORT"},
        {{"copy", "http://127.0.0.1:1/", cli.Dest.Path(), "--ftp-proxy"}, "--ftp-proxy needs a value"},
        {{"copy", "http://127.0.0.1:1/", cli.Dest.Path(), "--proxy-user", "u"}, "proxy password"},
        {{"run", "x.hcj", "--proxy", "127.0.0.1:0"}, "HOST:PORT"},
    };
    for (const auto& row : rows) {
        const auto result = cli.Run(row.Args);
        EXPECT_EQ(result.ExitStatus, 2) << row.Problem;
        EXPECT_THAT(result.Err, HasSubstr(row.Problem));
    }
}
