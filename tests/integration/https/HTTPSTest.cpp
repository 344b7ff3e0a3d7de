#include "SiteCrawl.h"

#include "engine/DownloadFilter.h"
#include "engine/InternetClient.h"
#include "engine/InternetSettings.h"
#include "jobs/SavedOptions.h"
#include "queue/DownloadResultText.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>

using testsupport::ReadFileText;
using testsupport::TSiteCrawl;
using testsupport::TTestWebServer;

namespace {

void ServeSecureSite(TTestWebServer& Server) {
    Server.Serve("/", 200, "<a href=\"docs/a.html\">a</a><img src=\"logo.gif\">");
    Server.Serve("/docs/a.html", 200, "<a href=\"b.html\">b</a>");
    Server.Serve("/docs/b.html", 200, "<p>b</p>");
    Server.Serve("/logo.gif", 200, "GIF89a", {{"Content-Type", "image/gif"}});
}

engine::TDownloadThreadServices Trusting(const std::string& CAFile) {
    engine::TDownloadThreadServices services;
    services.ClientSettings.ExtraCAFile = CAFile;
    return services;
}

} // namespace

TEST(HTTPS, SiteIsCrawledWhenItsCertificateIsTrusted) {
    TTestWebServer server(TTestWebServer::TKind::HTTPS);
    ServeSecureSite(server);
    TSiteCrawl crawl(Trusting(server.CAFile()));
    auto job = crawl.Job(server.URL("/"));
    job.DownloadHTTPS = true;

    EXPECT_EQ(crawl.Run(job), messaging::joCompleted);

    const std::string site = crawl.Dest.Path() + "/127.0.0.1/";
    EXPECT_EQ(ReadFileText(site + "docs/b.html"), "<p>b</p>");
    EXPECT_EQ(ReadFileText(site + "logo.gif"), "GIF89a");
    EXPECT_TRUE(testsupport::FileExists(site + "index.html"));
    EXPECT_EQ(server.RequestCount(), 4u);
}

TEST(HTTPS, UntrustedCertificateFailsTheDownloadWithAClearError) {
    TTestWebServer server(TTestWebServer::TKind::HTTPS);
    ServeSecureSite(server);
    TSiteCrawl crawl;  // trusts only the system's authorities
    auto job = crawl.Job(server.URL("/"));
    job.DownloadHTTPS = true;

    crawl.Run(job);

    const auto ended = crawl.Ended(server.URL("/"));
    EXPECT_TRUE(ended.Results.HaveOsError);
    EXPECT_EQ(ended.Results.OsError, engine::InternetErrorCode(CURLE_PEER_FAILED_VERIFICATION));
    const std::string text = queue::DownloadResultText(ended.Results, true);
    EXPECT_NE(text.find("certificate"), std::string::npos) << text;
    EXPECT_FALSE(testsupport::FileExists(crawl.Dest.Path() + "/127.0.0.1/index.html"));
    EXPECT_EQ(crawl.EndedCount(), 1u);
}

TEST(HTTPS, AddressesAreRefusedByProtocolWhenHTTPSIsNotAllowed) {
    TTestWebServer secure(TTestWebServer::TKind::HTTPS);
    TTestWebServer plain;
    secure.Serve("/secure.html", 200, "<p>secure</p>");
    plain.Serve("/", 200, "<a href=\"" + secure.URL("/secure.html") + "\">secure</a>");
    struct TRow {
        const char* Name;
        std::string Start;
    };
    const TRow rows[] = {{"starting address", secure.URL("/secure.html")},
                         {"link from a plain page", plain.URL("/")}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        TSiteCrawl crawl(Trusting(secure.CAFile()));
        auto job = crawl.Job(row.Start);
        job.DownloadHTTPS = false;

        crawl.Run(job);

        const auto ended = crawl.Ended(secure.URL("/secure.html"));
        EXPECT_TRUE(ended.Results.Filtered);
        EXPECT_EQ(ended.Results.FilterReason, engine::dfProtocol);
        EXPECT_EQ(queue::DownloadResultText(ended.Results, true), "Filtered: Protocol");
        EXPECT_EQ(secure.RequestCount(), 0u);
    }
}

TEST(HTTPS, ExtraCertificateFileIsASetting) {
    TTestWebServer server(TTestWebServer::TKind::HTTPS);
    server.Serve("/", 200, "<p>trusted through the settings</p>");
    testsupport::TTempDir data;
    jobs::TSavedOptions settings;
    settings.Initialize(data.Path() + "/");
    EXPECT_EQ(engine::ReadInternetClientSettings(settings).ExtraCAFile, "");
    settings.Write(engine::ExtraCAFileSetting, server.CAFile());
    engine::TDownloadThreadServices services;
    services.ClientSettings = engine::ReadInternetClientSettings(settings);
    EXPECT_EQ(services.ClientSettings.ExtraCAFile, server.CAFile());
    TSiteCrawl crawl(services);
    auto job = crawl.Job(server.URL("/"));
    job.DownloadHTTPS = true;

    EXPECT_EQ(crawl.Run(job), messaging::joCompleted);
    EXPECT_EQ(ReadFileText(crawl.Dest.Path() + "/127.0.0.1/index.html"),
              "<p>trusted through the settings</p>");
}
