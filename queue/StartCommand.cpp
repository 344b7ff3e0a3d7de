#include "queue/StartCommand.h"

#include "engine/InternetSettings.h"
#include "messaging/SpiderInputMsg.h"
#include "queue/JobQueueTypes.h"
#include "queue/ProxySettings.h"

namespace queue {

messaging::TSpiderInputMsg BuildStartCommand(const TCopyJobAndStatus& Entry,
                                             const jobs::TSavedOptions& Options,
                                             const TStartOverrides& Overrides) {
    messaging::TSpiderInputMsg start;
    start.Kind = messaging::simStartJob;
    start.Job = Entry.Job;
    start.JobNumber = Entry.JobNumber;
    GetProxySettings(Options, start.HTTPProxy, start.FTPProxy);
    engine::ApplyLocalProxyBypass(Options, start.HTTPProxy, start.FTPProxy);
    if (Overrides.HTTPProxy) start.HTTPProxy = *Overrides.HTTPProxy;
    if (Overrides.FTPProxy) start.FTPProxy = *Overrides.FTPProxy;
    if (Overrides.ProxyUser) {
        for (auto* record : {&start.HTTPProxy, &start.FTPProxy}) {
            record->Username = *Overrides.ProxyUser;
            record->Password = Overrides.ProxyPassword;
        }
    }
    if (Overrides.PassiveFTP) start.Job.DownloadOptions.UsePassiveFTP = true;
    return start;
}

} // namespace queue
