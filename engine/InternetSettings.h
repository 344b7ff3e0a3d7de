#pragma once

#include "jobs/SavedOptions.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace jobs {
struct TProxyServerInfo;
}

// How the settings choose the network paths: which proxy a root handle talks
// to, and the settings that are not part of a job.
namespace engine {

// The root handles of a download thread; each keeps its own live connections.
enum class TInternetRoot : std::uint8_t { HTTP = 0, HTTPS = 1, FTP = 2 };
constexpr std::size_t InternetRootCount = 3;

// Longest chain of redirects followed, as browsers allow; the next one fails
// with this error (the library's "too many redirects" in the transfer errors).
constexpr std::int32_t MaxRedirectsInARow = 20;
constexpr std::int32_t TooManyRedirectsError = 12000 + 47;

// Settings of the network side that do not come with a job.
struct TInternetClientSettings {
    // PEM file of certificates to trust in addition to the system's
    // certificate folder (a self-signed test server); empty = none.
    std::string ExtraCAFile;
};

// PEM file of extra certificates to trust besides the system's (a company
// authority, a self-signed server); empty = none.
inline constexpr jobs::TStringSetting ExtraCAFileSetting{"Internet", "ExtraCAFile", ""};

// The client settings of this program from its settings file.
TInternetClientSettings ReadInternetClientSettings(const jobs::TSavedOptions& Options);

// The record names a proxy to use: switched on and with a host.
bool ProxyInUse(const jobs::TProxyServerInfo& Proxy);
// The FTP proxy record names an HTTP proxy (CERN style), which is asked for
// whole ftp addresses; a host written as an "ftp://" address is not one.
bool UsesCERNProxy(const jobs::TProxyServerInfo& FTPProxy);
// "host:port" for the library.
std::string ProxyHostPort(const jobs::TProxyServerInfo& Proxy);
// A bypass list as users write it (hosts separated by ";", "," or blanks) in
// the library's form (commas). "<local>" (hosts without a dot) has no
// counterpart there and is dropped.
std::string CurlNoProxyList(const std::string& Bypass);
// The bypass list of "Bypass proxy server for local addresses".
inline constexpr const char* LocalProxyBypass = "<local>;localhost;127.0.0.1;::1";
// Gives both records the local bypass list when the settings ask for it;
// records whose setting is clear keep their list.
void ApplyLocalProxyBypass(const jobs::TSavedOptions& Options, jobs::TProxyServerInfo& HTTP,
                           jobs::TProxyServerInfo& FTP);

} // namespace engine
