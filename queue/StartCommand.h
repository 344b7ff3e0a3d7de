#pragma once

#include "jobs/DownloadOptionTypes.h"

#include <optional>
#include <string>

namespace jobs {
class TSavedOptions;
}
namespace messaging {
class TSpiderInputMsg;
}

namespace queue {

struct TCopyJobAndStatus;

// What one program run puts over the settings for every job it starts (the
// runner's --proxy, --ftp-proxy, --proxy-user and --passive-ftp).
struct TStartOverrides {
    std::optional<jobs::TProxyServerInfo> HTTPProxy; // replaces the settings' record whole
    std::optional<jobs::TProxyServerInfo> FTPProxy;  // likewise
    std::optional<std::string> ProxyUser;            // for both records, with ProxyPassword
    std::string ProxyPassword;
    bool PassiveFTP = false; // passive FTP for every job, whatever the job says
};

// The Start job command of an entry: a copy of its job and its number, with
// the HTTP and FTP proxy records from the settings (the local bypass list
// when the settings ask for it), and the overrides on top.
messaging::TSpiderInputMsg BuildStartCommand(const TCopyJobAndStatus& Entry,
                                             const jobs::TSavedOptions& Options,
                                             const TStartOverrides& Overrides);

} // namespace queue
