#include "engine/FTPDownload.h"

#include "engine/DownloadFilter.h"
#include "engine/DownloadTask.h"
#include "engine/FinishFileDownload.h"
#include "engine/HTTPDownload.h"
#include "engine/InternetSettings.h"
#include "engine/PartialFile.h"
#include "engine/RequestURL.h"
#include "base/AppTraceLog.h"
#include "base/PosixFile.h"

#include <exception>

#include <sys/stat.h>

namespace engine {

using base::TraceLog;

namespace {

constexpr std::int64_t FourGiB = std::int64_t{1} << 32;

} // namespace

bool FTPFileIsCurrent(const TFTPFileInfo& Remote, std::time_t LocalTime, std::int64_t LocalSize) {
    return Remote.HaveTime && Remote.HaveSize && Remote.LastWriteTime <= LocalTime &&
           Remote.Size == LocalSize;
}

std::int64_t FTPExpectedSize(const TFTPFileInfo& Remote) {
    if (!Remote.HaveSize) return 0;
    return Remote.Size >= FourGiB ? -1 : Remote.Size;
}

void TFTPDownload::Run() {
    if (!Task.RootOpen(TInternetRoot::FTP)) return;
    if (!Task.Options.JobOptions.UpdateOldFiles && base::FileExists(Task.DestinationFile())) {
        Task.Complete.FilterResult = dfPreviouslyDownloaded;
        return;
    }
    // The FTP root talks to the CERN proxy itself (see the internet client);
    // a native FTP proxy, written as an ftp address, takes the direct path.
    if (UsesCERNProxy(Task.Options.FTPProxy)) DownloadFTPCERNProxy();
    else DownloadFTPNoProxy();
}

TRequestParams TFTPDownload::FTPRequestParams(bool LookUpOnly) const {
    TRequestParams params;
    params.URL = RequestURL(Task.RequestAddress);
    if (!Task.RequestAddress.HasNoCredentials()) {
        params.UserName = Task.RequestAddress.GetUserName();
        params.Password = Task.RequestAddress.GetPassword();
    }
    params.LookUpOnly = LookUpOnly;
    params.SendCookies = Task.Options.JobOptions.AllowCookies;
    return params;
}

void TFTPDownload::DownloadFTPNoProxy() {
    constexpr const char* Operation = "DownloadFTPNoProxy";
    Task.ApplyCredentials();
    TFTPFileInfo remote;
    if (!LookUpFTPFile(remote)) return;
    const std::string destination = Task.DestinationFile();
    // An older local copy stays in place until the new one is complete: the
    // final rename replaces it, so a failed transfer never loses it.
    struct stat local;
    if (base::FileExists(destination, local) && FTPFileIsCurrent(remote, local.st_mtime, local.st_size)) {
        Task.Complete.FilterResult = dfPreviouslyDownloaded;
        return;
    }
    const std::int64_t expected = FTPExpectedSize(remote);
    Task.Progress.Update([&](TFileDownloadInProgressData& Progress) {
        Progress.ContentType.clear();
        Progress.ExpectedSize = expected;
    });
    // The address as given: one carrying credentials that may not be used is refused.
    Task.Complete.FilterResult =
        Task.Filter.CheckAfterHeaders(Task.Address, "", Task.Distance, static_cast<std::uint64_t>(expected),
                                      Task.Embedded);
    if (Task.Complete.FilterResult != dfPassed) return;
    TInternetRequest request(Task.Session, TInternetRoot::FTP);
    const std::string path = Task.Address.GetUrlPath();
    std::int32_t error = 0;
    if (!request.Open(FTPRequestParams(false), error) || !request.Send(error)) {
        RecordFTPError(error, "FtpOpenFile " + path, Operation, request);
        return;
    }
    // A partial file left behind is started afresh once it is locked: an FTP
    // transfer is never resumed.
    FinishFileDownload(Task, request, {.Name = PartialFileName(destination)},
                       remote.HaveTime ? remote.LastWriteTime : std::time(nullptr));
}

// Asks the server for the file's size and time (and logs in on the way).
bool TFTPDownload::LookUpFTPFile(TFTPFileInfo& Remote) {
    constexpr const char* Operation = "DownloadFTPNoProxy";
    const std::string path = Task.Address.GetUrlPath();
    // A folder is no file: the library would fetch its listing instead.
    if (path.empty() || path.back() == '/') {
        Task.Complete.HaveStatus = true;
        Task.Complete.StatusCode = FTPFileNotFoundStatus;
        Task.Complete.StatusText = FTPFileNotFoundText;
        return false;
    }
    TInternetRequest request(Task.Session, TInternetRoot::FTP);
    std::int32_t error = 0;
    if (!request.Open(FTPRequestParams(true), error)) {
        Task.RecordError(error, "InternetConnect " + Task.Address.GetHostName(), Operation, &request);
        return false;
    }
    if (!request.Send(error)) {
        if (error == InternetErrorCode(CURLE_REMOTE_FILE_NOT_FOUND)) {
            base::TraceLog.LogAPIErrorCode(error, "FtpFindFirstFile " + path, Operation, DownloadUnitName);
            Task.Complete.HaveStatus = true;
            Task.Complete.StatusCode = FTPFileNotFoundStatus;
            Task.Complete.StatusText = FTPFileNotFoundText;
            return false;
        }
        RecordFTPError(error, "FtpFindFirstFile " + path, Operation, request);
        return false;
    }
    Remote.HaveTime = request.RemoteFileTime(Remote.LastWriteTime);
    Remote.HaveSize = request.RemoteSize(Remote.Size);
    return true;
}

// A failure before the login completed belongs to the connection; an error
// reply of the server is its status (code and text), anything else an error
// number.
void TFTPDownload::RecordFTPError(std::int32_t Error, const std::string& Call, const char* Operation,
                                  const TInternetRequest& Request) {
    const std::string call =
        Request.ConnectionMade() ? Call : "InternetConnect " + Task.Address.GetHostName();
    const std::int32_t reply = Request.ServerReplyCode();
    if (reply < 400 || Request.Stopped()) {
        Task.RecordError(Error, call, Operation, &Request);
        return;
    }
    Task.Complete.HaveStatus = true;
    Task.Complete.StatusCode = reply;
    Task.Complete.StatusText = Request.ServerReplyText();
    base::TraceLog.LogAPIErrorCode(Error, call, Operation, DownloadUnitName);
    base::TraceLog.LogEntry(base::ttMessage,
                      std::to_string(reply) + " " + Request.ServerReplyText(), Operation, DownloadUnitName);
}

void TFTPDownload::DownloadFTPCERNProxy() {
    constexpr const char* Operation = "DownloadFTPCERNProxy";
    Task.ApplyCredentials();
    // The proxy is given the whole address; only the log leaves out the password.
    const std::string shown = Task.Address.GetURL(false, true, true, true, false);
    try {
        TInternetRequest request(Task.Session, TInternetRoot::FTP);
        TRequestParams params = FTPRequestParams(false);
        std::int32_t error = 0;
        if (!request.Open(params, error) || !request.Send(error)) {
            Task.RecordError(error, "InternetOpenURL " + shown, Operation, &request);
            return;
        }
        // A proxy that asks for credentials was given the record's, if any,
        // by the library; a 407 here means none were accepted.
        if (!ReadHTTPStatus(Task, request)) return;
        const std::int32_t status = Task.Complete.StatusCode;
        if (status != 200 && status != 205 && status != 206) {
            LogAllHTTPResponseHeaders(request);
            return;
        }
        const std::int64_t expected = GetHTTPContentLength(request);
        const std::time_t fileTime = GetHTTPLastModifiedTime(request);
        Task.Progress.Update([&](TFileDownloadInProgressData& Progress) { Progress.ExpectedSize = expected; });
        FinishFileDownload(Task, request, {.Name = PartialFileName(Task.DestinationFile())}, fileTime);
    } catch (const std::exception& Error) {
        Task.RecordException(Error, Operation);
    }
}

} // namespace engine
