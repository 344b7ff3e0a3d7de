#pragma once

namespace jobs {
class TSavedOptions;
struct TProxyServerInfo;
} // namespace jobs

namespace queue {

// The HTTP and FTP proxy records of a start command, from the proxy sections
// of the settings, corrected as the preferences page corrects them: a proxy
// without an address or with a port that is no whole number is not used, and a
// user name without a password (or the reverse) is dropped. ProxyBypass keeps
// what the caller gave the records.
void GetProxySettings(const jobs::TSavedOptions& Options, jobs::TProxyServerInfo& HTTP,
                      jobs::TProxyServerInfo& FTP);

} // namespace queue
