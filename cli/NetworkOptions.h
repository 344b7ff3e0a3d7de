#pragma once

#include "queue/StartCommand.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace engine {
struct TInternetClientSettings;
}
namespace jobs {
class TSavedOptions;
}

namespace cli {

// The network options of copy and run: proxies, passive FTP and an extra
// certificate file. They override the settings file for this run only.
struct TNetworkOptions {
    // --proxy, --ftp-proxy, --proxy-user (the password is asked for), --passive-ftp
    queue::TStartOverrides Start;
    std::string CAFile;  // --ca-file
};

// Help text lines of these options.
extern const char* const NetworkOptionsUsage;

enum class TNetworkOptionParse {
    NotMine,  // Args[Index] is no network option: the caller looks at it
    Taken,    // taken with its value; Index points past them
    Invalid,  // a network option with a bad or missing value; Problem says why
};

// Looks at Args[Index].
TNetworkOptionParse ParseNetworkOption(const std::vector<std::string>& Args, std::size_t& Index,
                                       TNetworkOptions& Options, std::string& Problem);

// "HOST:PORT" with a port from 1 to 65535; false for anything else.
bool ParseHostPort(const std::string& Text, std::string& Host, std::int32_t& Port);

// Reads the proxy password when --proxy-user was given: from the terminal
// without echo, or the first line of standard input when that is no terminal.
// False when there is none to read.
bool ReadProxyPassword(TNetworkOptions& Options);

// The download threads' client settings: the settings file's, then --ca-file.
engine::TInternetClientSettings NetworkClientSettings(const TNetworkOptions& Options,
                                                      const jobs::TSavedOptions& Settings);

} // namespace cli
