// The FTP half of a download thread: directly with FTP commands, or through
// an HTTP proxy that is asked for the whole ftp address.
#include "engine/FTPDownload.h"

#include "engine/DownloadFilter.h"
#include "engine/DownloadThread.h"
#include "engine/InternetSettings.h"
#include "engine/RequestURL.h"
#include "base/AsciiText.h"
#include "base/AppTraceLog.h"

#include <cerrno>
#include <exception>

#include <sys/stat.h>
#include <unistd.h>

namespace engine {

using base::TraceLog;

namespace {

constexpr const char* UnitName = "DownloadThread";
constexpr std::int64_t FourGiB = std::int64_t{1} << 32;

bool FileExists(const std::string& FileName, struct stat& Info) {
    return !FileName.empty() && ::stat(FileName.c_str(), &Info) == 0;
}

bool FileExists(const std::string& FileName) {
    struct stat info;
    return FileExists(FileName, info);
}

} // namespace

bool FTPFileIsCurrent(const TFTPFileInfo& Remote, std::time_t LocalTime, std::int64_t LocalSize) {
    return Remote.HaveTime && Remote.HaveSize && Remote.LastWriteTime <= LocalTime &&
           Remote.Size == LocalSize;
}

std::int64_t FTPExpectedSize(const TFTPFileInfo& Remote) {
    if (!Remote.HaveSize) return 0;
    return Remote.Size >= FourGiB ? -1 : Remote.Size;
}

void TFileDownloadThread::DownloadFTPFile() {
    if (!Session->HasRoot(TInternetRoot::FTP)) {
        Complete.HaveOsError = true;
        Complete.OsError = RootErrors[static_cast<std::size_t>(TInternetRoot::FTP)];
        return;
    }
    if (!Options.JobOptions.UpdateOldFiles && FileExists(DestinationFile())) {
        Complete.FilterResult = dfPreviouslyDownloaded;
        return;
    }
    // The FTP root talks to the CERN proxy itself (see the internet client);
    // a native FTP proxy, written as an ftp address, takes the direct path.
    if (UsesCERNProxy(Options.FTPProxy)) DownloadFTPCERNProxy();
    else DownloadFTPNoProxy();
}

TRequestParams TFileDownloadThread::FTPRequestParams(bool LookUpOnly) const {
    TRequestParams params;
    params.URL = RequestURL(RequestAddress);
    if (!RequestAddress.HasNoCredentials()) {
        params.UserName = RequestAddress.GetUserName();
        params.Password = RequestAddress.GetPassword();
    }
    params.LookUpOnly = LookUpOnly;
    params.SendCookies = Options.JobOptions.AllowCookies;
    return params;
}

void TFileDownloadThread::DownloadFTPNoProxy() {
    constexpr const char* Operation = "DownloadFTPNoProxy";
    ApplyCredentials();
    TFTPFileInfo remote;
    if (!LookUpFTPFile(remote)) return;
    const std::string destination = DestinationFile();
    const std::string partial = destination + ".part";
    if (FileExists(partial) && ::unlink(partial.c_str()) != 0) {
        RecordError(errno, "DeleteFile " + partial, Operation, nullptr);
        return;
    }
    // An older local copy stays in place until the new one is complete: the
    // final rename replaces it, so a failed transfer never loses it.
    struct stat local;
    if (FileExists(destination, local) && FTPFileIsCurrent(remote, local.st_mtime, local.st_size)) {
        Complete.FilterResult = dfPreviouslyDownloaded;
        return;
    }
    const std::int64_t expected = FTPExpectedSize(remote);
    {
        std::lock_guard guard(ProgressLock);
        InProgress.ContentType.clear();
        InProgress.ExpectedSize = expected;
    }
    // The address as given: one carrying credentials that may not be used is refused.
    Complete.FilterResult =
        Filter.CheckAfterHeaders(WorkAddress, "", WorkDistance, static_cast<std::uint64_t>(expected));
    if (Complete.FilterResult != dfPassed) return;
    TInternetRequest request(*Session, TInternetRoot::FTP);
    const std::string path = WorkAddress.GetUrlPath();
    std::int32_t error = 0;
    if (!request.Open(FTPRequestParams(false), error) || !request.Send(error)) {
        RecordFTPError(error, "FtpOpenFile " + path, Operation, request);
        return;
    }
    FinishFileDownload(request, partial, remote.HaveTime ? remote.LastWriteTime : std::time(nullptr),
                       false, false);
}

// Asks the server for the file's size and time (and logs in on the way).
bool TFileDownloadThread::LookUpFTPFile(TFTPFileInfo& Remote) {
    constexpr const char* Operation = "DownloadFTPNoProxy";
    const std::string path = WorkAddress.GetUrlPath();
    // A folder is no file: the library would fetch its listing instead.
    if (path.empty() || path.back() == '/') {
        Complete.HaveStatus = true;
        Complete.StatusCode = FTPFileNotFoundStatus;
        Complete.StatusText = FTPFileNotFoundText;
        return false;
    }
    TInternetRequest request(*Session, TInternetRoot::FTP);
    std::int32_t error = 0;
    if (!request.Open(FTPRequestParams(true), error)) {
        RecordError(error, "InternetConnect " + WorkAddress.GetHostName(), Operation, &request);
        return false;
    }
    if (!request.Send(error)) {
        if (error == InternetErrorCode(CURLE_REMOTE_FILE_NOT_FOUND)) {
            base::TraceLog.LogAPIErrorCode(error, "FtpFindFirstFile " + path, Operation, UnitName);
            Complete.HaveStatus = true;
            Complete.StatusCode = FTPFileNotFoundStatus;
            Complete.StatusText = FTPFileNotFoundText;
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
void TFileDownloadThread::RecordFTPError(std::int32_t Error, const std::string& Call,
                                         const char* Operation, const TInternetRequest& Request) {
    const std::string call =
        Request.ConnectionMade() ? Call : "InternetConnect " + WorkAddress.GetHostName();
    const std::int32_t reply = Request.ServerReplyCode();
    if (reply < 400 || Request.Stopped()) {
        RecordError(Error, call, Operation, &Request);
        return;
    }
    Complete.HaveStatus = true;
    Complete.StatusCode = reply;
    Complete.StatusText = Request.ServerReplyText();
    base::TraceLog.LogAPIErrorCode(Error, call, Operation, UnitName);
    base::TraceLog.LogEntry(base::ttMessage,
                      std::to_string(reply) + " " + Request.ServerReplyText(), Operation, UnitName);
}

void TFileDownloadThread::DownloadFTPCERNProxy() {
    constexpr const char* Operation = "DownloadFTPCERNProxy";
    ApplyCredentials();
    // The proxy is given the whole address; only the log leaves out the password.
    const std::string shown = WorkAddress.GetURL(false, true, true, true, false);
    try {
        TInternetRequest request(*Session, TInternetRoot::FTP);
        TRequestParams params = FTPRequestParams(false);
        std::int32_t error = 0;
        if (!request.Open(params, error) || !request.Send(error)) {
            RecordError(error, "InternetOpenURL " + shown, Operation, &request);
            return;
        }
        // A proxy that asks for credentials was given the record's, if any,
        // by the library; a 407 here means none were accepted.
        if (!ReadStatus(request)) return;
        const std::int32_t status = Complete.StatusCode;
        if (status != 200 && status != 205 && status != 206) {
            LogAllHTTPResponseHeaders(request);
            return;
        }
        const std::string partial = DestinationFile() + ".part";
        if (FileExists(partial) && ::unlink(partial.c_str()) != 0) {
            RecordError(errno, "DeleteFile " + partial, Operation, nullptr);
            return;
        }
        const std::int64_t expected = GetHTTPContentLength(request);
        const std::time_t fileTime = GetHTTPLastModifiedTime(request);
        {
            std::lock_guard guard(ProgressLock);
            InProgress.ExpectedSize = expected;
        }
        FinishFileDownload(request, partial, fileTime, false, false);
    } catch (const std::exception& Error) {
        Complete.ExceptionRaised = true;
        Complete.ExceptionText = Error.what();
        base::TraceLog.LogEntry(base::ttException, Error.what(), Operation, UnitName);
    }
}

} // namespace engine
