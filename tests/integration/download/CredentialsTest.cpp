// Logging in over HTTP and HTTPS (Basic) and FTP: credentials from the
// address or the password store, and none at all when the job does not allow
// them.

#include "support/DownloadFixture.h"

#include "jobs/Base64.h"
#include "support/TestFtpServer.h"

using testsupport::TTestWebServer;

namespace {

constexpr const char* User = "alice";
constexpr const char* Secret = "s3cret";

// A page behind Basic authentication.
testsupport::TTestHandler ProtectedPage() {
    return [](const testsupport::TRecordedRequest& Request) {
        if (Request.Header("Authorization") == "Basic " + jobs::StrToBase64(std::string(User) + ":" + Secret))
            return testsupport::MakeResponse(200, "<p>private</p>");
        return testsupport::MakeResponse(401, "Authorization Required",
                                         {{"WWW-Authenticate", "Basic realm=\"harvexis-test\""}});
    };
}

class Credentials : public testsupport::TDownloadFixture {};

} // namespace

TEST_F(Credentials, ProtectedPagesAreFetchedWithTheAddressesOrTheStoredPassword) {
    TTestWebServer secure(TTestWebServer::TKind::HTTPS);
    struct TRow {
        const char* Name;
        std::string StoredSite;  // site the store knows ("PORT" stands for the server's); "" = none
        std::string Stored;      // its password
        bool InAddress;          // alice:s3cret written into the address
        bool Allowed;            // the job allows authentication
        int Status;
    };
    const TRow rows[] = {
        {"stored password", "127.0.0.1", Secret, false, true, 200},
        {"stored by host and port", "127.0.0.1:PORT", Secret, false, true, 200},
        {"stored for another port", "127.0.0.1:1PORT", Secret, false, true, 401},
        {"nothing stored", "", "", false, true, 401},
        {"address credentials", "", "", true, true, 200},
        {"address beats the store", "127.0.0.1", "wrong", true, true, 200},
        {"store unused without authentication", "127.0.0.1", Secret, false, false, 401},
    };
    testsupport::TTestFtpServer ftp({.User = User, .Password = Secret});
    ftp.AddFile("/page.html", "<p>private</p>");
    Server.ServeHandler("/page.html", ProtectedPage());
    secure.ServeHandler("/page.html", ProtectedPage());
    Job.DownloadFTP = true;
    for (const auto& [scheme, port] : {std::pair{"http", Server.Port()}, {"https", secure.Port()}, {"ftp", ftp.Port()}})
        for (const auto& row : rows) {
            SCOPED_TRACE(row.Name + std::string(" ") + scheme);
            Server.ClearRequests();
            secure.ClearRequests();
            ftp.ClearRecords();
            Options.JobOptions.AllowAuthentication = Job.DownloadOptions.AllowAuthentication = row.Allowed;
            auto services = Services({secure.CAFile()});
            std::string site = row.StoredSite;
            if (const auto at = site.find("PORT"); at != std::string::npos) site.replace(at, 4, std::to_string(port));
            services.FindSitePassword = [&](const std::string& Asked, engine::TSiteCredentials& Found) {
                Found = {User, row.Stored};
                return !site.empty() && Asked == site;
            };
            engine::TFileDownloadThread thread(Filter, MIMETable, services);
            Prepare(thread);
            const std::string userInfo = row.InAddress ? std::string(User) + ":" + Secret + "@" : "";
            std::remove(Path("page.html").c_str());

            const auto result = Download(thread, std::string(scheme) + "://" + userInfo + "127.0.0.1:" +
                                                     std::to_string(port) + "/page.html", Path("page.html"));

            const bool isFTP = std::string(scheme) == "ftp";
            EXPECT_EQ(result.StatusCode, row.Status == 401 && isFTP ? 530 : row.Status) << result.StatusText;
            EXPECT_EQ(testsupport::FileExists(Path("page.html")), row.Status == 200);
            if (!row.Allowed) {
                for (const auto& request : Server.Requests()) EXPECT_EQ(request.Header("Authorization"), "");
                for (const auto& request : secure.Requests()) EXPECT_EQ(request.Header("Authorization"), "");
                EXPECT_EQ(ftp.CountRecords("USER alice"), 0u);
            }
            EXPECT_EQ(result.Address.GetPassword(), row.InAddress ? Secret : "")
                << "the result reports the address as it was given";
        }
}
