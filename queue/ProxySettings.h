#pragma once

#include <optional>
#include <string>

namespace jobs {
class TSavedOptions;
struct TProxyServerInfo;
struct TProxySettingKeys;
} // namespace jobs

namespace queue {

// The HTTP and FTP proxy records of a start command, from the proxy sections
// of the settings, corrected as the preferences page corrects them: a proxy
// without an address or with a port that is no whole number is not used, and a
// user name without a password (or the reverse) is dropped. ProxyBypass keeps
// what the caller gave the records.
void GetProxySettings(const jobs::TSavedOptions& Options, jobs::TProxyServerInfo& HTTP,
                      jobs::TProxyServerInfo& FTP);

// Why the proxy of one section cannot be used although it is switched on: no
// address, or no port from 1 to 65535. Nullopt when it is off or usable.
// A program that must not go direct without a word refuses such settings
// instead of letting GetProxySettings switch the proxy off.
std::optional<std::string> ProxySettingsProblem(const jobs::TSavedOptions& Options,
                                                const jobs::TProxySettingKeys& Keys);

// The same rule for values not stored yet, as an editor checks them: why a
// switched-on proxy with this address and port text would not be used, as
// "without an Address" or "with Port '...', which is no port from 1 to 65535".
std::optional<std::string> ProxyValuesProblem(bool UseProxyServer, const std::string& Address,
                                              const std::string& Port);

} // namespace queue
