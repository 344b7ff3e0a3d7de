// Downloads through a local proxy: the job's proxy record, its user and
// password, and the bypass list.

#include "support/DownloadFixture.h"

#include "engine/InternetSettings.h"
#include "support/TestProxy.h"

using testsupport::ReadFileText;
using testsupport::TTestProxy;

namespace {

const std::string Local = "127.0.0.1";

class Proxy : public testsupport::TDownloadFixture {};

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
        Options.HTTPProxy = row.Record;
        Options.HTTPProxy.Port = proxy.Port();
        std::remove(Path("page.html").c_str());
        engine::TFileDownloadThread thread(Filter, MIMETable, Services());
        Prepare(thread);
        const auto result = Download(thread, Server.URL("/page.html"), Path("page.html"));

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
