#pragma once

#include "queue/StartCommand.h"

#include <cstdint>
#include <optional>
#include <string>

namespace engine {
struct TInternetClientSettings;
}
namespace jobs {
class TSavedOptions;
}

namespace cli {

struct TOptionGroup;

// The network options of copy and run: proxies, passive FTP and an extra
// certificate file. They override the settings file for this run only.
struct TNetworkOptions {
    // --proxy, --ftp-proxy, --proxy-user (the password is asked for), --passive-ftp
    queue::TStartOverrides Start;
    std::string CAFile;  // --ca-file
};

// The network options' rows for the help and the parser, bound to Options.
TOptionGroup NetworkOptionGroup(TNetworkOptions& Options);

// "HOST:PORT" with a port from 1 to 65535; false for anything else.
bool ParseHostPort(const std::string& Text, std::string& Host, std::int32_t& Port);

// Reads the proxy password when --proxy-user was given: from the terminal
// without echo, or the first line of standard input when that is no terminal.
// False when there is none to read.
bool ReadProxyPassword(TNetworkOptions& Options);

// Why the run cannot start with the proxy settings of the settings file: a
// proxy switched on without an address or a usable port, which the options do
// not replace. Such a run would go direct without a word.
std::optional<std::string> UnusableProxySettings(const TNetworkOptions& Options,
                                                 const jobs::TSavedOptions& Settings);

// The download threads' client settings: the settings file's, then --ca-file.
engine::TInternetClientSettings NetworkClientSettings(const TNetworkOptions& Options,
                                                      const jobs::TSavedOptions& Settings);

} // namespace cli
