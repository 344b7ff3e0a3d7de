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

const std::string Local = "127.0.0.1";

// The row's proxy record, naming Port.
jobs::TProxyServerInfo At(jobs::TProxyServerInfo Record, int Port) {
    Record.Port = Port;
    return Record;
}

class Proxy : public testsupport::TDownloadFixture {
protected:
    Proxy() { Job.DownloadFTP = true; }

    engine::TFileDownloadCompleteData Fetch(const std::string& URL, const std::string& File,
                                            engine::TInternetClientSettings Settings = {}) {
        std::remove(File.c_str());
        engine::TFileDownloadThread thread(Filter, MIMETable, Services(std::move(Settings)));
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
        jobs::TProxyServerInfo Record;
        int Status;
        bool ViaProxy;
    };
    const TRow rows[] = {
        {"open proxy", "", {.Address = Local}, 200, true},
        {"credentials accepted", "bob", {.Address = Local, .Username = "bob", .Password = "pw"}, 200, true},
        {"no user name", "bob", {.Address = Local}, 407, true},
        {"switched off", "", {.UseProxyServer = false, .Address = Local}, 200, false},
        {"no address", "", {}, 200, false},
        {"bypassed host", "", {.Address = Local, .ProxyBypass = "127.0.0.1"}, 200, false},
        {"local names only bypassed", "", {.Address = Local, .ProxyBypass = "<local> other.test"}, 200, true},
        {"the program's local bypass", "", {.Address = Local, .ProxyBypass = engine::LocalProxyBypass}, 200, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        TTestProxy proxy(row.ProxyUser, "pw");
        Server.ClearRequests();
        Options.HTTPProxy = At(row.Record, proxy.Port());

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
        jobs::TProxyServerInfo Record;
        int Status;
        bool ViaProxy;
    };
    const TRow rows[] = {
        {"open proxy", "/pub/file.bin", "", {.Address = Local}, 200, true},
        {"credentials accepted", "/pub/file.bin", "carol", {.Address = Local, .Username = "carol", .Password = "pw"}, 200, true},
        {"missing file", "/pub/none.bin", "", {.Address = Local}, 404, true},
        {"written as an ftp address", "/pub/file.bin", "", {.Address = "ftp://127.0.0.1"}, 200, false},
        {"switched off", "/pub/file.bin", "", {.UseProxyServer = false, .Address = Local}, 200, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        TTestProxy proxy(row.ProxyUser, "pw");
        Options.FTPProxy = At(row.Record, proxy.Port());
        ftp.ClearRecords();
        const std::string file = Path("file.bin");
        testsupport::WriteFileText(file + "#part", "stale partial");

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
    Options.HTTPProxy = At({.Address = Local}, recordProxy.Port());
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
