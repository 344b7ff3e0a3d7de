// Downloads through a local proxy: the job's proxy records, their user and
// password, the bypass list, FTP through an HTTP proxy, and HTTPS through the
// environment's proxy.

#include "support/DownloadFixture.h"

#include "engine/InternetSettings.h"
#include "support/TestFtpServer.h"
#include "support/TestProxy.h"

#include <cstdlib>

using testsupport::ReadFileText;
using testsupport::TTestProxy;
using testsupport::TTestWebServer;

namespace {

constexpr std::time_t RemoteTime = 1500000000;  // Fri, 14 Jul 2017 02:40:00 GMT

// How a row's proxy record is written.
struct TRecord {
    bool Use = true;
    std::string Address = "127.0.0.1";
    std::string User;
    std::string Password;
    std::string Bypass;
};

jobs::TProxyServerInfo ProxyRecord(const TRecord& Row, int Port) {
    jobs::TProxyServerInfo record;
    record.UseProxyServer = Row.Use;
    record.Address = Row.Address;
    record.Port = Port;
    record.Username = Row.User;
    record.Password = Row.Password;
    record.ProxyBypass = Row.Bypass;
    return record;
}

class Proxy : public testsupport::TDownloadFixture {
protected:
    Proxy() { Job.DownloadFTP = true; }

    engine::TFileDownloadCompleteData Fetch(const std::string& URL, const std::string& File,
                                            engine::TInternetClientSettings Settings = {}) {
        std::remove(File.c_str());
        engine::TFileDownloadThread thread(Services(std::move(Settings)));
        Prepare(thread);
        return Download(thread, URL, File);
    }
};

} // namespace

TEST_F(Proxy, HTTPDownloadsGoThroughTheProxyRecordUnlessBypassedOrSwitchedOff) {
    Server.Serve("/page.html", 200, "<p>via proxy</p>");
    struct TRow {
        const char* Name;
        std::string ProxyUser;  // what the proxy asks for (password "pw"); empty = nothing
        TRecord Record;
        int Status;
        bool ViaProxy;
    };
    const TRow rows[] = {
        {"open proxy", "", {}, 200, true},
        {"open proxy, credentials given anyway", "", {.User = "bob", .Password = "pw"}, 200, true},
        {"credentials accepted", "bob", {.User = "bob", .Password = "pw"}, 200, true},
        {"no user name", "bob", {}, 407, true},
        {"wrong password", "bob", {.User = "bob", .Password = "nope"}, 407, true},
        {"switched off", "", {.Use = false}, 200, false},
        {"no address", "", {.Address = ""}, 200, false},
        {"bypassed host", "", {.Bypass = "127.0.0.1"}, 200, false},
        {"bypassed in a list", "", {.Bypass = "other.test;127.0.0.1"}, 200, false},
        {"local names only bypassed", "", {.Bypass = "<local> other.test"}, 200, true},
        {"the program's local bypass", "", {.Bypass = engine::LocalProxyBypass}, 200, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        TTestProxy proxy(row.ProxyUser, "pw");
        Server.ClearRequests();
        Options.HTTPProxy = ProxyRecord(row.Record, proxy.Port());

        const auto result = Fetch(Server.URL("/page.html"), Path("page.html"));

        EXPECT_EQ(result.StatusCode, row.Status) << result.StatusText;
        EXPECT_EQ(proxy.CountRecords("GET " + Server.URL("/page.html")), row.ViaProxy ? 1u : 0u);
        EXPECT_EQ(proxy.Records().size(), row.ViaProxy ? 1u : 0u);
        EXPECT_EQ(Server.RequestCount(), row.Status == 200 ? 1u : 0u);
        if (row.Status != 200) continue;
        EXPECT_EQ(ReadFileText(Path("page.html")), "<p>via proxy</p>");
        // The proxy's credentials stay between client and proxy.
        EXPECT_EQ(Server.Requests()[0].Header("Proxy-Authorization"), "");
    }
}

TEST_F(Proxy, FTPAddressesAreAskedOfTheHTTPProxyUnlessItIsWrittenAsAnFtpAddress) {
    testsupport::TTestFtpServer ftp;
    ftp.AddFile("/pub/file.bin", "ftp body", RemoteTime);
    struct TRow {
        const char* Name;
        std::string Path;
        std::string ProxyUser;
        TRecord Record;
        int Status;
        bool ViaProxy;
    };
    const TRow rows[] = {
        {"open proxy", "/pub/file.bin", "", {}, 200, true},
        {"credentials accepted", "/pub/file.bin", "carol", {.User = "carol", .Password = "pw"}, 200, true},
        {"no user name", "/pub/file.bin", "carol", {}, 407, true},
        {"missing file", "/pub/none.bin", "", {}, 404, true},
        {"written as an ftp address", "/pub/file.bin", "", {.Address = "ftp://127.0.0.1"}, 200, false},
        {"written as an FTP address", "/pub/file.bin", "", {.Address = "FTP://127.0.0.1"}, 200, false},
        {"switched off", "/pub/file.bin", "", {.Use = false}, 200, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        TTestProxy proxy(row.ProxyUser, "pw");
        Options.FTPProxy = ProxyRecord(row.Record, proxy.Port());
        ftp.ClearRecords();
        const std::string file = Path("file.bin");
        testsupport::WriteFileText(file + ".part", "stale partial");

        const auto result = Fetch(ftp.URL(row.Path), file);

        EXPECT_EQ(result.StatusCode, row.Status) << result.StatusText;
        EXPECT_EQ(proxy.CountRecords("GET " + ftp.URL(row.Path)), row.ViaProxy ? 1u : 0u);
        EXPECT_EQ(testsupport::FileExists(file), row.Status == 200);
        if (row.Status == 200) {
            EXPECT_EQ(ReadFileText(file), "ftp body");
            EXPECT_EQ(ModificationTime(file), RemoteTime);
        }
        // Only the proxy talks FTP for the client; a refused request reaches no FTP server.
        EXPECT_EQ(ftp.CountRecords("RETR"), row.Status == 200 ? 1u : 0u);
    }
}

TEST_F(Proxy, HTTPSTakesTheEnvironmentsProxyAndNotTheHTTPRecord) {
    TTestWebServer secure(TTestWebServer::TKind::HTTPS);
    secure.Serve("/secure.html", 200, "<b>tunnelled</b>");
    TTestProxy recordProxy;
    TTestProxy environmentProxy;
    Options.HTTPProxy = ProxyRecord({}, recordProxy.Port());
    // The test servers exempt 127.0.0.1 from proxies; this test wants it
    // proxied. The next test server made clears these again.
    ::setenv("no_proxy", "", 1);
    ::setenv("NO_PROXY", "", 1);
    ::setenv("https_proxy", ("http://127.0.0.1:" + std::to_string(environmentProxy.Port())).c_str(), 1);

    const auto result = Fetch(secure.URL("/secure.html"), Path("secure.html"), {secure.CAFile()});
    ::unsetenv("https_proxy");

    EXPECT_EQ(result.StatusCode, 200);
    EXPECT_EQ(ReadFileText(Path("secure.html")), "<b>tunnelled</b>");
    EXPECT_EQ(environmentProxy.Records(),
              std::vector<std::string>{"CONNECT 127.0.0.1:" + std::to_string(secure.Port())});
    EXPECT_TRUE(recordProxy.Records().empty());
}
