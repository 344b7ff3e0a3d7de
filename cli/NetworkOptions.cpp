#include "cli/NetworkOptions.h"

#include "cli/CliSupport.h"
#include "cli/OptionTable.h"
#include "cli/Terminal.h"
#include "engine/InternetSettings.h"
#include "jobs/SavedOptions.h"
#include "queue/ProxySettings.h"

#include <charconv>

namespace cli {

namespace {

jobs::TProxyServerInfo ProxyRecord(const std::string& Host, std::int32_t Port) {
    jobs::TProxyServerInfo record;
    record.UseProxyServer = true;
    record.Address = Host;
    record.Port = Port;
    return record;
}

TOptionAction ProxyAction(std::optional<jobs::TProxyServerInfo>& Proxy) {
    return [&Proxy](const std::string& Value) -> std::optional<std::string> {
        std::string host;
        std::int32_t port = 0;
        if (!ParseHostPort(Value, host, port)) return "takes HOST:PORT, not \"" + Value + "\"";
        Proxy = ProxyRecord(host, port);
        return std::nullopt;
    };
}

} // namespace

TOptionGroup NetworkOptionGroup(TNetworkOptions& Options) {
    constexpr auto Value = TTakes::NonEmptyValue;
    return {"\nNetwork (these replace the proxy settings of the settings file for this run):\n",
            {
                {"--proxy", Value, "HOST:PORT",
                 "HTTP proxy for http addresses (https addresses use the\n"
                 "environment's https_proxy and no_proxy)",
                 ProxyAction(Options.Start.HTTPProxy)},
                {"--proxy-user", Value, "USER",
                 "user name for the proxies; the password is asked for on\n"
                 "the terminal, or read from the first line of standard input",
                 StoreValue(Options.Start.ProxyUser)},
                {"--ftp-proxy", Value, "HOST:PORT",
                 "proxy for ftp addresses: an HTTP proxy that is asked for\n"
                 "whole ftp addresses; ftp://HOST:PORT means a direct connection",
                 ProxyAction(Options.Start.FTPProxy)},
                {"--passive-ftp", TTakes::Nothing, "", "FTP data connections in passive mode (default: {})",
                 SetTo(Options.Start.PassiveFTP, true),
                 Options.Start.PassiveFTP ? "passive" : "active"},
                {"--ca-file", Value, "FILE", "also trust the certificates in this PEM file",
                 StoreValue(Options.CAFile)},
            }};
}

bool ParseHostPort(const std::string& Text, std::string& Host, std::int32_t& Port) {
    const auto colon = Text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    const char* first = Text.data() + colon + 1;
    const char* last = Text.data() + Text.size();
    std::int32_t port = 0;
    const auto [end, error] = std::from_chars(first, last, port);
    if (first == last || error != std::errc() || end != last || port < 1 || port > 65535) return false;
    Host = Text.substr(0, colon);
    Port = port;
    return Host.find_first_of(" \t/") == std::string::npos ||
           Host.rfind("ftp://", 0) == 0;  // a native FTP proxy is written as an ftp address
}

bool ReadProxyPassword(TNetworkOptions& Options) {
    if (!Options.Start.ProxyUser) return true;
    const auto password = ReadSecretLine("Proxy password for " + *Options.Start.ProxyUser + ": ");
    if (!password) return false;
    Options.Start.ProxyPassword = *password;
    return true;
}

std::optional<std::string> UnusableProxySettings(const TNetworkOptions& Options,
                                                 const jobs::TSavedOptions& Settings) {
    std::optional<std::string> problem;
    if (!Options.Start.HTTPProxy) problem = queue::ProxySettingsProblem(Settings, jobs::Settings::HTTPProxy);
    if (!problem && !Options.Start.FTPProxy) problem = queue::ProxySettingsProblem(Settings, jobs::Settings::FTPProxy);
    if (!problem) return std::nullopt;
    return PrintableText(*problem) + "; fix it, switch UseProxyServer off, or give --proxy / --ftp-proxy";
}

engine::TInternetClientSettings NetworkClientSettings(const TNetworkOptions& Options,
                                                      const jobs::TSavedOptions& Settings) {
    engine::TInternetClientSettings client = engine::ReadInternetClientSettings(Settings);
    if (!Options.CAFile.empty()) client.ExtraCAFile = Options.CAFile;
    return client;
}

} // namespace cli
