#include "cli/NetworkOptions.h"

#include "cli/CliSupport.h"
#include "engine/InternetSettings.h"

#include <charconv>
#include <cstdio>

namespace cli {

const char* const NetworkOptionsUsage =
    "\n"
    "Network (these replace the proxy settings of the settings file for this run):\n"
    "  --proxy HOST:PORT      HTTP proxy for http addresses (https addresses use the\n"
    "                         environment's https_proxy and no_proxy)\n"
    "  --proxy-user USER      user name for the proxies; the password is asked for on\n"
    "                         the terminal, or read from the first line of standard input\n"
    "  --ftp-proxy HOST:PORT  proxy for ftp addresses: an HTTP proxy that is asked for\n"
    "                         whole ftp addresses; ftp://HOST:PORT means a direct connection\n"
    "  --passive-ftp          FTP data connections in passive mode (default: active)\n"
    "  --ca-file FILE         also trust the certificates in this PEM file\n";

namespace {

jobs::TProxyServerInfo ProxyRecord(const std::string& Host, std::int32_t Port) {
    jobs::TProxyServerInfo record;
    record.UseProxyServer = true;
    record.Address = Host;
    record.Port = Port;
    return record;
}


} // namespace

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

TNetworkOptionParse ParseNetworkOption(const std::vector<std::string>& Args, std::size_t& Index,
                                       TNetworkOptions& Options, std::string& Problem) {
    const std::string& arg = Args[Index];
    if (arg == "--passive-ftp") {
        Options.Start.PassiveFTP = true;
        ++Index;
        return TNetworkOptionParse::Taken;
    }
    if (arg != "--proxy" && arg != "--proxy-user" && arg != "--ftp-proxy" && arg != "--ca-file")
        return TNetworkOptionParse::NotMine;
    if (Index + 1 >= Args.size() || Args[Index + 1].empty()) {
        Problem = arg + " needs a value";
        return TNetworkOptionParse::Invalid;
    }
    const std::string& value = Args[Index + 1];
    if (arg == "--proxy" || arg == "--ftp-proxy") {
        std::string host;
        std::int32_t port = 0;
        if (!ParseHostPort(value, host, port)) {
            Problem = arg + " takes HOST:PORT, not \"" + value + "\"";
            return TNetworkOptionParse::Invalid;
        }
        (arg == "--proxy" ? Options.Start.HTTPProxy : Options.Start.FTPProxy) = ProxyRecord(host, port);
    } else if (arg == "--proxy-user") {
        Options.Start.ProxyUser = value;
    } else {
        Options.CAFile = value;
    }
    Index += 2;
    return TNetworkOptionParse::Taken;
}


bool ReadProxyPassword(TNetworkOptions& Options) {
    if (!Options.Start.ProxyUser) return true;
    const auto password = ReadSecretLine("Proxy password for " + *Options.Start.ProxyUser + ": ");
    if (!password) return false;
    Options.Start.ProxyPassword = *password;
    return true;
}

engine::TInternetClientSettings NetworkClientSettings(const TNetworkOptions& Options,
                                                      const jobs::TSavedOptions& Settings) {
    engine::TInternetClientSettings client = engine::ReadInternetClientSettings(Settings);
    if (!Options.CAFile.empty()) client.ExtraCAFile = Options.CAFile;
    return client;
}

} // namespace cli
