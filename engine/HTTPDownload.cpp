// The HTTP and HTTPS half of a download thread: one GET with the conditional
// headers of what is already on disk, and what each answer means.
#include "engine/DownloadThread.h"

#include "engine/DownloadFilter.h"
#include "engine/MIMEExtensions.h"
#include "engine/RequestURL.h"
#include "base/AsciiText.h"
#include "base/AppTraceLog.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <exception>
#include <vector>

#include <sys/stat.h>

namespace engine {

using base::TraceLog;

namespace {

constexpr const char* UnitName = "DownloadThread";
constexpr const char* Operation = "DownloadHTTPOrHTTPS";
// Retry counts run from 0 to this: at most five requests for one download.
constexpr int MaxRetryCount = 4;
// Room of the header buffers, terminator included: longer values are refused.
constexpr std::size_t ContentTypeBufferSize = 100;
constexpr std::size_t LocationBufferSize = 2055;
constexpr std::size_t StatusTextBufferSize = 300;
constexpr std::size_t RawHeadersBufferSize = 3000;
constexpr int QueryContentType = 1;
constexpr int QueryCustomHeader = 65535;

bool FileExists(const std::string& FileName, struct stat& Info) {
    return !FileName.empty() && ::stat(FileName.c_str(), &Info) == 0;
}

bool FileExists(const std::string& FileName) {
    struct stat info;
    return FileExists(FileName, info);
}

// "If-Modified-Since: Sun, 06 Nov 1994 08:49:37 GMT", with English names
// whatever the locale; false when the time has no calendar form.
bool IfModifiedSinceLine(std::time_t Time, std::string& Line) {
    static const char* const Days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm utc{};
    if (!gmtime_r(&Time, &utc) || utc.tm_year + 1900 > 9999 || utc.tm_year + 1900 < 1) return false;
    char text[64];
    std::snprintf(text, sizeof text, "If-Modified-Since: %s, %02d %s %04d %02d:%02d:%02d GMT",
                  Days[utc.tm_wday], utc.tm_mday, Months[utc.tm_mon], utc.tm_year + 1900,
                  utc.tm_hour, utc.tm_min, utc.tm_sec);
    Line = text;
    return true;
}

// The job's extra header lines, one per CR LF (or LF) ended line.
std::vector<std::string> SplitHeaderLines(const std::string& Text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < Text.size()) {
        std::size_t end = Text.find('\n', start);
        if (end == std::string::npos) end = Text.size();
        std::string line = base::TrimControls(std::string_view(Text).substr(start, end - start));
        if (!line.empty()) lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

} // namespace

void TFileDownloadThread::DownloadHTTPOrHTTPS(bool SendIfModifiedSince, int RetryCount) {
    for (TNextRequest next{true, SendIfModifiedSince}; next.Again; ++RetryCount) {
        next = HTTPRequest(next.SendIfModifiedSince, RetryCount);
        if (next.Again && RetryCount >= MaxRetryCount) break;
    }
}

TFileDownloadThread::TNextRequest TFileDownloadThread::HTTPRequest(bool SendIfModifiedSince,
                                                                  int RetryCount) {
    const auto root = WorkAddress.GetScheme() == web::SchemeHTTPS ? TInternetRoot::HTTPS
                                                                  : TInternetRoot::HTTP;
    if (!Session->HasRoot(root)) {
        Complete.HaveOsError = true;
        Complete.OsError = RootErrors[static_cast<std::size_t>(root)];
        return {};
    }
    if (!Options.JobOptions.UpdateOldFiles && FileExists(DestinationFile())) {
        Complete.FilterResult = dfPreviouslyDownloaded;
        return {};
    }
    try {
        // The request is closed when this scope ends, before any next request
        // reuses the root handle.
        TInternetRequest request(*Session, root);
        TUpdateHeaders update;
        std::string headerText;
        if (!PrepareRequest(request, SendIfModifiedSince, update, headerText)) return {};
        std::int32_t error = 0;
        if (!request.Send(error)) {
            RecordError(error, "HTTPSendRequest " + RequestURL(WorkAddress) + "\r\n" + headerText,
                        Operation, &request);
            return {};
        }
        if (!ReadStatus(request)) return {};
        return HandleStatus(request, update, SendIfModifiedSince, RetryCount);
    } catch (const std::exception& Error) {
        Complete.ExceptionRaised = true;
        Complete.ExceptionText = Error.what();
        base::TraceLog.LogEntry(base::ttException, Error.what(), Operation, UnitName);
        return {};
    }
}

bool TFileDownloadThread::PrepareRequest(TInternetRequest& Request, bool SendIfModifiedSince,
                                         TUpdateHeaders& Update, std::string& HeaderText) {
    const auto& job = Options.JobOptions;
    ApplyCredentials();
    Update = CreateUpdateDLHeaders();
    TRequestParams params;
    params.URL = RequestURL(RequestAddress);
    params.HeaderLines = SplitHeaderLines(job.HTTPHeaders);
    if (SendIfModifiedSince && !Update.IfModifiedSince.empty())
        params.HeaderLines.push_back(Update.IfModifiedSince);
    if (!Update.Range.empty()) params.HeaderLines.push_back(Update.Range);
    for (const auto& line : params.HeaderLines) HeaderText += line + "\r\n";
    if (!RequestAddress.HasNoCredentials()) {
        params.UserName = RequestAddress.GetUserName();
        params.Password = RequestAddress.GetPassword();
    }
    if (WorkReferrer.IsValid() && job.UseReferrer)
        params.Referrer = web::DecodeEntitiesInURL(WorkReferrer.GetPlainURL());
    params.SendCookies = job.AllowCookies;
    std::int32_t error = 0;
    if (!Request.Open(params, error)) {
        RecordError(error, "HttpOpenRequest " + params.URL, Operation, &Request);
        return false;
    }
    return true;
}

bool TFileDownloadThread::ReadStatus(TInternetRequest& Request) {
    if (!Request.HaveStatus()) {
        RecordError(InternetErrorCode(CURLE_WEIRD_SERVER_REPLY), "HttpQueryInfo (status code)",
                    Operation, &Request);
        return false;
    }
    Complete.HaveStatus = true;
    Complete.StatusCode = Request.StatusCode();
    Complete.StatusText = base::TrimControls(Request.StatusText().substr(0, StatusTextBufferSize - 1));
    if (Complete.StatusText.empty()) Complete.StatusText = std::to_string(Complete.StatusCode);
    return true;
}

TFileDownloadThread::TNextRequest TFileDownloadThread::HandleStatus(TInternetRequest& Request,
                                                                   const TUpdateHeaders& Update,
                                                                   bool SendIfModifiedSince,
                                                                   int RetryCount) {
    switch (Complete.StatusCode) {
    case 200:
    case 205:
    case 206:
        return HandleContent(Request, Update, SendIfModifiedSince, RetryCount);
    case 201:
    case 301:
    case 302:
    case 303:
    case 307:
    case 308:  // a permanent redirect, like 301
        HandleRedirect(Request);
        return {};
    case 304:
        return HandleNotModified(Request, Update, RetryCount);
    case 412:
    case 416:
        return HandleRangeFailure(Request, SendIfModifiedSince, RetryCount);
    default:
        LogAllHTTPResponseHeaders(Request);
        return {};
    }
}

TFileDownloadThread::TNextRequest TFileDownloadThread::HandleContent(TInternetRequest& Request,
                                                                    const TUpdateHeaders& Update,
                                                                    bool SendIfModifiedSince,
                                                                    int RetryCount) {
    const std::int64_t expected = GetHTTPContentLength(Request);
    const std::time_t fileTime = GetHTTPLastModifiedTime(Request);
    std::string contentType;
    if (!GetHTTPResponseHeader(Request, "Content-Type", QueryContentType, ContentTypeBufferSize,
                               contentType))
        contentType.clear();
    {
        std::lock_guard guard(ProgressLock);
        InProgress.ExpectedSize = expected;
        InProgress.ContentType = contentType;
    }
    const std::string requested = DestinationFile();
    if (Options.JobOptions.AddFileExtensions && TransformDestination(contentType)) {
        // The conditional headers went out for the old name; ask again with
        // those of the new one when they would differ.
        const std::string renamed = DestinationFile();
        if ((FileExists(renamed) || FileExists(renamed + ".part") || !Update.Range.empty()) &&
            RetryCount < MaxRetryCount)
            return {true, SendIfModifiedSince};
    }
    const std::string partial = DestinationFile() + ".part";
    const bool resume = Complete.StatusCode == 206;
    if (resume && (Update.Range.empty() || partial != requested + ".part")) {
        // A piece that does not continue our partial file would corrupt it.
        base::TraceLog.LogEntry(base::ttWarning,
                          "Partial content that continues no partial file for " + partial,
                          Operation, UnitName);
        return {};
    }
    // The address as given, before credentials were removed or added: one that
    // carries its own while authentication is not allowed is refused here.
    Complete.FilterResult = Filter.CheckAfterHeaders(WorkAddress, contentType, WorkDistance,
                                                     static_cast<std::uint64_t>(expected));
    if (Complete.FilterResult == dfPassed)
        FinishFileDownload(Request, partial, fileTime, resume, true);
    return {};
}

void TFileDownloadThread::HandleRedirect(TInternetRequest& Request) {
    std::string location;
    if (!GetHTTPResponseHeader(Request, "Location", QueryCustomHeader, LocationBufferSize, location))
        return;
    if (Complete.RedirectTarget.SetFullURL(location)) return;
    // Resolved against the address as the crawl knows it, without stored credentials.
    if (Complete.RedirectTarget.SetRelativeURL(location, Complete.Address)) return;
    base::TraceLog.LogEntry(base::ttWarning,
                      "Redirected to bad URI " + location + " from " +
                          Complete.Address.GetURL(false, true, true, true, true),
                      Operation, UnitName);
}

TFileDownloadThread::TNextRequest TFileDownloadThread::HandleNotModified(TInternetRequest& Request,
                                                                        const TUpdateHeaders& Update,
                                                                        int RetryCount) {
    if (!Update.Range.empty()) {
        // The partial file is current: ask once more without the condition so
        // that the range is served.
        if (RetryCount < MaxRetryCount) return {true, false};
        return {};
    }
    if (Options.JobOptions.AddFileExtensions) {
        std::string contentType;
        if (GetHTTPResponseHeader(Request, "Content-Type", QueryContentType, ContentTypeBufferSize,
                                  contentType)) {
            std::lock_guard guard(ProgressLock);
            InProgress.ContentType = contentType;
        }
        TransformDestination(contentType);
    }
    return {};
}

TFileDownloadThread::TNextRequest TFileDownloadThread::HandleRangeFailure(TInternetRequest& Request,
                                                                         bool SendIfModifiedSince,
                                                                         int RetryCount) {
    LogAllHTTPResponseHeaders(Request);
    const std::string destination = DestinationFile();
    for (const std::string& file : {destination + ".part", destination}) {
        if (FileExists(file) && ::unlink(file.c_str()) != 0) {
            RecordError(errno, "DeleteFile " + file, Operation, nullptr);
            return {};
        }
    }
    if (RetryCount < MaxRetryCount) return {true, SendIfModifiedSince};
    return {};
}

TFileDownloadThread::TUpdateHeaders TFileDownloadThread::CreateUpdateDLHeaders() const {
    TUpdateHeaders update;
    const std::string destination = DestinationFile();
    const std::string partial = destination + ".part";
    struct stat info;
    std::string file;
    if (FileExists(partial, info)) {
        file = partial;
        update.ResumeSize = info.st_size;
        update.Range = "Range: bytes=" + std::to_string(info.st_size) + "-";
    } else if (FileExists(destination, info)) {
        file = destination;
    } else {
        return update;
    }
    if (!IfModifiedSinceLine(info.st_mtime, update.IfModifiedSince))
        base::TraceLog.LogEntry(base::ttWarning, "Unable to create If Modified Since header for " + file,
                          "CreateUpdateDLHeaders", UnitName);
    return update;
}

// A header of at most BufferSize - 1 characters; an absent or longer one is
// refused and logged with the query number of the header.
bool TFileDownloadThread::GetHTTPResponseHeader(TInternetRequest& Request, const char* Name,
                                                int QueryNumber, std::size_t BufferSize,
                                                std::string& Value) {
    std::string found;
    const bool present = Request.Header(Name, found);
    if (present && found.size() < BufferSize) {
        Value = found;
        return true;
    }
    base::TraceLog.LogAPIErrorCode(present ? ERANGE : ENODATA, "HTTPQueryInfo " + std::to_string(QueryNumber),
                             "GetHTTPResponseHeader", UnitName);
    return false;
}

std::int64_t TFileDownloadThread::GetHTTPContentLength(TInternetRequest& Request) {
    std::string text;
    std::int64_t length = 0;
    if (Request.Header("Content-Length", text)) {
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
        if (error == std::errc() && end == text.data() + text.size() && length >= 0) return length;
    }
    base::TraceLog.LogAPIErrorCode(ENODATA, "HTTPQueryInfo (content length)", "GetHTTPContentLength",
                             UnitName);
    return 0;
}

std::time_t TFileDownloadThread::GetHTTPLastModifiedTime(TInternetRequest& Request) {
    std::string text;
    if (Request.Header("Last-Modified", text)) {
        const std::time_t time = curl_getdate(text.c_str(), nullptr);
        if (time != -1) return time;
    }
    base::TraceLog.LogAPIErrorCode(ENODATA, "HTTPQueryInfo (last modified date)", "GetHTTPLastModifiedTime",
                             UnitName);
    return std::time(nullptr);
}

void TFileDownloadThread::LogAllHTTPResponseHeaders(TInternetRequest& Request) {
    const std::string& raw = Request.RawHeaders();
    if (raw.size() >= RawHeadersBufferSize) {
        base::TraceLog.LogAPIErrorCode(ERANGE, "HTTPQueryInfo (raw headers)", "LogAllHTTPResponseHeaders",
                                 UnitName);
        return;
    }
    base::TraceLog.LogEntry(base::ttMessage, "Response headers...\r\n" + raw,
                      "LogAllHTTPResponseHeaders", UnitName);
}

// Lets the MIME table extend the destination; true when the name changed
// other than in letter case.
bool TFileDownloadThread::TransformDestination(const std::string& ContentType) {
    const std::string old = DestinationFile();
    const std::string transformed = MIMETable.TransformFilename(old, ContentType);
    if (base::SameTextAscii(transformed, old)) return false;
    SetDestination(transformed);
    return true;
}

} // namespace engine
