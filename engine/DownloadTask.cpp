#include "engine/DownloadTask.h"

#include "engine/FoldersMadeByRun.h"
#include "base/AppTraceLog.h"
#include "base/ForceDir.h"

namespace engine {

bool TDownloadTask::RootOpen(TInternetRoot Root) {
    if (Session.HasRoot(Root)) return true;
    Complete.HaveOsError = true;
    Complete.OsError = RootErrors[static_cast<std::size_t>(Root)];
    return false;
}

bool TDownloadTask::KnownFree(const std::string& Name) const {
    return Services.Folders && Services.Folders->KnownFree(Name);
}

void TDownloadTask::Naming(const std::string& Name) const {
    if (Services.Folders) Services.Folders->Naming(Name);
}

bool TDownloadTask::MakeFolder(const std::string& Folder) const {
    if (!Services.Folders) return base::ForceDirectoriesLocked(Folder);
    return base::ForceDirectoriesLocked(Folder, [this](const std::string& Made) { Services.Folders->Made(Made); });
}

void TDownloadTask::ApplyCredentials() {
    RequestAddress.Assign(Address);
    if (!Options.JobOptions.AllowAuthentication) {
        RequestAddress.ClearCredentials();
        return;
    }
    if (!RequestAddress.GetUserName().empty() || !Services.FindSitePassword) return;
    const auto& find = Services.FindSitePassword;
    // A site stored with a port is that port's only; one stored without a
    // port stands for every port of the host.
    const std::string& host = RequestAddress.GetHostName();
    TSiteCredentials found;
    if (find(host + ":" + std::to_string(RequestAddress.GetPort()), found) || find(host, found))
        RequestAddress.SetCredentials(found.UserName, found.Password);
}

void TDownloadTask::RecordError(std::int32_t Error, const std::string& Call, const std::string& Operation,
                                const TInternetRequest* Request) {
    Complete.HaveOsError = true;
    Complete.OsError = Error;
    if (Request && Request->Stopped()) Complete.Stopped = true;
    base::TraceLog.LogAPIErrorCode(Error, Call, Operation, DownloadUnitName);
    if (Request && !Request->ErrorDetail().empty())
        base::TraceLog.LogEntry(base::ttMessage, Request->ErrorDetail(), Operation, DownloadUnitName);
}

void TDownloadTask::RecordException(const std::exception& Error, const std::string& Operation) {
    Complete.ExceptionRaised = true;
    Complete.ExceptionText = Error.what();
    base::TraceLog.LogEntry(base::ttException, Error.what(), Operation, DownloadUnitName);
}

} // namespace engine
