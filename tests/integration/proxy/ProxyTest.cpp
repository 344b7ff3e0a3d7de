#include "support/DownloadFixture.h"

#include "engine/InternetSettings.h"
#include "support/TestFtpServer.h"
#include "support/TestProxy.h"

#include <cstdlib>
#include <optional>
#include <string>

using testsupport::ReadFileText;
using testsupport::TTestFtpServer;
using testsupport::TTestProxy;
using testsupport::TTestWebServer;

namespace {

constexpr std::time_t RemoteTime = 1500000000;  // Fri, 14 Jul 2017 02:40:00 GMT

jobs::TProxyServerInfo ProxyRecord(const std::string& Host, int Port, const std::string& User = {},
                                   const std::string& Password = {}, const std::string& Bypass = {}) {
    jobs::TProxyServerInfo record;
    record.UseProxyServer = true;
    record.Address = Host;
    record.Port = Port;
    record.Username = User;
    record.Password = Password;
    record.ProxyBypass = Bypass;
    return record;
}

// Sets one environment variable for the life of the object.
class TEnvironmentValue {
public:
    TEnvironmentValue(const char* Name, const std::string& Value) : Name(Name) {
        if (const char* old = std::getenv(Name)) Old = old;
        ::setenv(Name, Value.c_str(), 1);
    }
    ~TEnvironmentValue() {
        if (Old) ::setenv(Name, Old->c_str(), 1);
        else ::unsetenv(Name);
    }

private:
    const char* Name;
    std::optional<std::string> Old;
};

class Proxy : public testsupport::TDownloadFixture {
protected:
    Proxy() { Job.DownloadFTP = true; }

    engine::TFileDownloadCompleteData Fetch(const std::string& URL, const std::string& File,
                                            engine::TInternetClientSettings Settings = {}) {
        engine::TFileDownloadThread thread(Filter, MIMETable, Services(std::move(Settings)));
        Prepare(thread);
        return Download(thread, URL, File);
    }
};

} // namespace

TEST_F(Proxy, HTTPDownloadsGoThroughTheProxyWithAndWithoutProxyCredentials) {
    Server.Serve("/page.html", 200, "<p>via proxy</p>");
    struct TRow {
        const char* Name;
        std::string ProxyUser;  // what the proxy asks for; empty = nothing
        std::string User;       // what the record holds
        std::string Password;
        int Status;
    };
    const TRow rows[] = {
        {"open proxy", "", "", "", 200},
        {"open proxy, credentials given anyway", "", "bob", "pw", 200},
        {"credentials accepted", "bob", "bob", "pw", 200},
        {"no user name", "bob", "", "", 407},
        {"wrong password", "bob", "bob", "nope", 407},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        TTestProxy proxy(row.ProxyUser, "pw");
        Server.ClearRequests();
        Options.HTTPProxy = ProxyRecord("127.0.0.1", proxy.Port(), row.User, row.Password);
        const std::string file = Path("page.html");
        std::remove(file.c_str());

        const auto result = Fetch(Server.URL("/page.html"), file);

        EXPECT_EQ(result.StatusCode, row.Status) << result.StatusText;
        EXPECT_GE(proxy.CountRequests(Server.URL("/page.html")), 1u);
        EXPECT_EQ(testsupport::FileExists(file), row.Status == 200);
        EXPECT_EQ(Server.RequestCount(), row.Status == 200 ? 1u : 0u);
        if (row.Status == 200) {
            EXPECT_EQ(ReadFileText(file), "<p>via proxy</p>");
            // The proxy's credentials stay between client and proxy.
            EXPECT_EQ(Server.Requests()[0].Header("Proxy-Authorization"), "");
        }
    }
}

TEST_F(Proxy, BypassListSendsListedHostsDirect) {
    Server.Serve("/page.html", 200, "direct or not");
    struct TRow {
        const char* Bypass;
        bool Direct;
    };
    const TRow rows[] = {{"", false},
                         {"127.0.0.1", true},
                         {"other.test;127.0.0.1", true},
                         {"<local> other.test", false},
                         {engine::LocalProxyBypass, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Bypass);
        TTestProxy proxy;
        Options.HTTPProxy = ProxyRecord("127.0.0.1", proxy.Port(), "", "", row.Bypass);
        const auto result = Fetch(Server.URL("/page.html"), Path("page.html"));
        EXPECT_EQ(result.StatusCode, 200);
        EXPECT_EQ(proxy.Requests().size(), row.Direct ? 0u : 1u);
    }
}

TEST_F(Proxy, FTPAddressesThroughAnHTTPProxyAreAskedOfTheProxy) {
    TTestFtpServer ftp;
    ftp.AddFile("/pub/file.bin", "ftp body", RemoteTime);
    struct TRow {
        const char* Name;
        std::string Path;
        std::string ProxyUser;
        std::string User;
        int Status;
    };
    const TRow rows[] = {
        {"open proxy", "/pub/file.bin", "", "", 200},
        {"credentials accepted", "/pub/file.bin", "carol", "carol", 200},
        {"no user name", "/pub/file.bin", "carol", "", 407},
        {"missing file", "/pub/none.bin", "", "", 404},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        TTestProxy proxy(row.ProxyUser, "pw");
        Options.FTPProxy = ProxyRecord("127.0.0.1", proxy.Port(), row.User, "pw");
        ftp.ClearCommands();
        const std::string file = Path("file.bin");
        std::remove(file.c_str());
        testsupport::WriteFileText(file + ".part", "stale partial");

        const auto result = Fetch(ftp.URL(row.Path), file);

        EXPECT_EQ(result.StatusCode, row.Status) << result.StatusText;
        EXPECT_GE(proxy.CountRequests(ftp.URL(row.Path)), 1u);
        EXPECT_EQ(testsupport::FileExists(file), row.Status == 200);
        if (row.Status == 200) {
            EXPECT_EQ(ReadFileText(file), "ftp body");
            EXPECT_EQ(ModificationTime(file), RemoteTime);
            EXPECT_FALSE(testsupport::FileExists(file + ".part"));
        }
        // Only the proxy talks FTP; a refused request reaches no FTP server.
        EXPECT_EQ(ftp.CountCommands("RETR"), row.Status == 200 ? 1u : 0u);
    }
}

TEST_F(Proxy, FTPProxyWrittenAsAnFtpAddressTakesTheDirectPath) {
    TTestFtpServer ftp;
    ftp.AddFile("/file.bin", "direct", RemoteTime);
    TTestProxy proxy;
    for (const char* address : {"ftp://127.0.0.1", "FTP://127.0.0.1"}) {
        SCOPED_TRACE(address);
        Options.FTPProxy = ProxyRecord(address, proxy.Port());
        ftp.ClearCommands();
        std::remove(Path("file.bin").c_str());
        const auto result = Fetch(ftp.URL("/file.bin"), Path("file.bin"));
        EXPECT_EQ(result.StatusCode, 200);
        EXPECT_EQ(ReadFileText(Path("file.bin")), "direct");
        EXPECT_EQ(ftp.CountCommands("RETR"), 1u);
    }
    EXPECT_EQ(proxy.Requests().size(), 0u);
}

TEST_F(Proxy, UnusedOrEmptyProxyRecordsMeanNoProxy) {
    TTestFtpServer ftp;
    ftp.AddFile("/file.bin", "direct", RemoteTime);
    Server.Serve("/page.html", 200, "page");
    TTestProxy proxy;
    struct TRow {
        const char* Name;
        jobs::TProxyServerInfo Record;
    };
    jobs::TProxyServerInfo switchedOff = ProxyRecord("127.0.0.1", proxy.Port());
    switchedOff.UseProxyServer = false;
    const TRow rows[] = {{"switched off", switchedOff}, {"no address", ProxyRecord("", proxy.Port())}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        Options.HTTPProxy = Options.FTPProxy = row.Record;
        EXPECT_EQ(Fetch(ftp.URL("/file.bin"), Path(std::string(row.Name) + "/file.bin")).StatusCode, 200);
        EXPECT_EQ(Fetch(Server.URL("/page.html"), Path(std::string(row.Name) + "/page.html")).StatusCode, 200);
    }
    EXPECT_EQ(proxy.Requests().size(), 0u);
}

TEST_F(Proxy, HTTPSTakesTheEnvironmentsProxyAndNotTheHTTPRecord) {
    TTestWebServer secure(TTestWebServer::TKind::HTTPS);
    secure.Serve("/secure.html", 200, "<b>tunnelled</b>");
    TTestProxy recordProxy;
    TTestProxy environmentProxy;
    Options.HTTPProxy = ProxyRecord("127.0.0.1", recordProxy.Port());
    // The test servers exempt 127.0.0.1 from proxies; this test wants it proxied.
    TEnvironmentValue noProxy("no_proxy", "");
    TEnvironmentValue noProxyUpper("NO_PROXY", "");
    TEnvironmentValue httpsProxy("https_proxy", "http://127.0.0.1:" + std::to_string(environmentProxy.Port()));

    const auto result = Fetch(secure.URL("/secure.html"), Path("secure.html"), {secure.CAFile()});

    EXPECT_EQ(result.StatusCode, 200);
    EXPECT_EQ(ReadFileText(Path("secure.html")), "<b>tunnelled</b>");
    ASSERT_EQ(environmentProxy.Requests().size(), 1u);
    EXPECT_EQ(environmentProxy.Requests()[0].Method, "CONNECT");
    EXPECT_EQ(environmentProxy.Requests()[0].Target, "127.0.0.1:" + std::to_string(secure.Port()));
    EXPECT_EQ(recordProxy.Requests().size(), 0u);
}
