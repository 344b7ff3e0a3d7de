#pragma once

#include "jobs/DownloadOptionTypes.h"

#include <cstdint>
#include <optional>
#include <string>

namespace engine {
struct TInternetClientSettings;
}
namespace jobs {
class TSavedOptions;
}
namespace messaging {
class TSpiderInputMsg;
}

namespace cli {

struct TOptionGroup;

// The network options of copy and run: proxies, passive FTP and an extra
// certificate file. They override the settings file for this run only.
struct TNetworkOptions {
    std::optional<jobs::TProxyServerInfo> HTTPProxy;  // --proxy
    std::optional<jobs::TProxyServerInfo> FTPProxy;   // --ftp-proxy
    std::optional<std::string> ProxyUser;             // --proxy-user
    std::string ProxyPassword;                        // asked for when ProxyUser is given
    bool PassiveFTP = false;                          // --passive-ftp
    std::string CAFile;                               // --ca-file
};

// The network options' rows for the help and the parser, bound to Options.
TOptionGroup NetworkOptionGroup(TNetworkOptions& Options);

// "HOST:PORT" with a port from 1 to 65535; false for anything else.
bool ParseHostPort(const std::string& Text, std::string& Host, std::int32_t& Port);

// Reads the proxy password when --proxy-user was given: from the terminal
// without echo, or the first line of standard input when that is no terminal.
// False when there is none to read.
bool ReadProxyPassword(TNetworkOptions& Options);

// For the runner's FillProxySettings, once the settings' proxy records are in
// Start: the local bypass list the settings ask for, then the command line's
// proxies and proxy user; passive FTP for the job.
void ApplyNetworkOptions(const TNetworkOptions& Options, const jobs::TSavedOptions& Settings,
                         messaging::TSpiderInputMsg& Start);
// The download threads' client settings: the settings file's, then --ca-file.
engine::TInternetClientSettings NetworkClientSettings(const TNetworkOptions& Options,
                                                      const jobs::TSavedOptions& Settings);

} // namespace cli
