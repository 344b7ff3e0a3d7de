#include "queue/ProxySettings.h"

#include "base/AsciiText.h"
#include "jobs/DownloadOptionTypes.h"
#include "jobs/SavedOptions.h"

#include <charconv>
#include <optional>
#include <string>

namespace queue {

namespace {

std::optional<std::int32_t> WholeNumber(const std::string& Text) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), value);
    if (Text.empty() || error != std::errc() || end != Text.data() + Text.size()) return std::nullopt;
    return value;
}

void ReadProxy(const jobs::TSavedOptions& Options, const jobs::TProxySettingKeys& Keys,
               jobs::TProxyServerInfo& Record) {
    const std::string address = base::TrimControls(Options.Read(Keys.Address));
    const auto port = WholeNumber(base::TrimControls(Options.Read(Keys.Port)));
    std::string user = base::TrimControls(Options.Read(Keys.Username));
    std::string password = base::TrimControls(Options.Read(Keys.Password));
    if (user.empty() || password.empty()) user.clear(), password.clear();
    Record.UseProxyServer = Options.Read(Keys.UseProxyServer) && !address.empty() && port;
    Record.Address = address;
    Record.Port = port.value_or(0);
    Record.Username = user;
    Record.Password = password;
}

} // namespace

std::optional<std::string> ProxyValuesProblem(bool UseProxyServer, const std::string& Address,
                                              const std::string& Port) {
    if (!UseProxyServer) return std::nullopt;
    if (base::TrimControls(Address).empty()) return "without an Address";
    const std::string portText = base::TrimControls(Port);
    const auto port = WholeNumber(portText);
    if (!port || *port < 1 || *port > 65535)
        return "with Port '" + portText + "', which is no port from 1 to 65535";
    return std::nullopt;
}

std::optional<std::string> ProxySettingsProblem(const jobs::TSavedOptions& Options,
                                                const jobs::TProxySettingKeys& Keys) {
    const auto problem = ProxyValuesProblem(Options.Read(Keys.UseProxyServer), Options.Read(Keys.Address),
                                            Options.Read(Keys.Port));
    if (!problem) return std::nullopt;
    return "the proxy of section [" + std::string(Keys.Address.Section) + "] of " + Options.IniFileName() +
           " is switched on " + *problem;
}

void GetProxySettings(const jobs::TSavedOptions& Options, jobs::TProxyServerInfo& HTTP,
                      jobs::TProxyServerInfo& FTP) {
    ReadProxy(Options, jobs::Settings::HTTPProxy, HTTP);
    ReadProxy(Options, jobs::Settings::FTPProxy, FTP);
}

} // namespace queue
