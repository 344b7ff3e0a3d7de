#include "engine/HTTPDownload.h"

#include "engine/DownloadFilter.h"
#include "engine/DownloadTask.h"
#include "engine/FinishFileDownload.h"
#include "engine/MIMEExtensions.h"
#include "engine/PartialFile.h"
#include "engine/RequestURL.h"
#include "base/AsciiText.h"
#include "base/AppTraceLog.h"
#include "base/PosixFile.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <vector>

#include <sys/stat.h>

namespace engine {

using base::TraceLog;

namespace {

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

// A header of at most BufferSize - 1 characters; an absent or longer one is
// refused and logged with the query number of the header.
bool GetHTTPResponseHeader(TInternetRequest& Request, const char* Name, int QueryNumber,
                           std::size_t BufferSize, std::string& Value) {
    std::string found;
    const bool present = Request.Header(Name, found);
    if (present && found.size() < BufferSize) {
        Value = found;
        return true;
    }
    base::TraceLog.LogAPIErrorCode(present ? ERANGE : ENODATA, "HTTPQueryInfo " + std::to_string(QueryNumber),
                             "GetHTTPResponseHeader", DownloadUnitName);
    return false;
}

// What a later run sends in If-Range to resume this answer's body: a strong
// ETag, or else the Last-Modified date; empty when the answer has neither,
// and then its partial file is never continued.
std::string ResumeValidator(TInternetRequest& Request) {
    std::string value;
    if (Request.Header("ETag", value) && !value.empty() && !value.starts_with("W/")) return value;
    if (Request.Header("Last-Modified", value)) return value;
    return {};
}

// "Content-Range: bytes FIRST-LAST/TOTAL" of a 206 must start where the
// partial file ends and, when the total is given, reach its end.
bool ContinuesPartialFile(TInternetRequest& Request, std::int64_t ResumeSize) {
    std::string text;
    if (!Request.Header("Content-Range", text)) return false;
    long long first = -1, last = -1;
    char total[32] = "";
    if (std::sscanf(text.c_str(), "bytes %lld-%lld/%31s", &first, &last, total) != 3) return false;
    if (first != ResumeSize || last < first) return false;
    if (std::string_view(total) == "*") return true;
    std::int64_t length = 0;
    const auto [end, error] = std::from_chars(total, total + std::strlen(total), length);
    return error == std::errc() && *end == '\0' && length == last + 1;
}

// The server encoded the body (gzip, deflate...) and the library decodes it:
// its Content-Length and any Content-Range count encoded bytes, not the file's.
bool ContentEncoded(TInternetRequest& Request) {
    std::string coding;
    return Request.Header("Content-Encoding", coding) && !coding.empty() &&
           !base::SameTextAscii(coding, "identity");
}

} // namespace

void THTTPDownload::Run() {
    int retry = 0;
    for (TNextRequest next{true, true, true}; next.Again; ++retry) {
        next = HTTPRequest(next, retry);
        if (next.Again && retry >= MaxRetryCount) break;
    }
}

THTTPDownload::TNextRequest THTTPDownload::HTTPRequest(const TNextRequest& This, int RetryCount) {
    const auto root = Task.Address.GetScheme() == web::SchemeHTTPS ? TInternetRoot::HTTPS : TInternetRoot::HTTP;
    if (!Task.RootOpen(root)) return {};
    // Past this check the destination is known to be missing: the request's
    // conditional headers need not look for it again.
    const bool destinationMissing = !Task.Options.JobOptions.UpdateOldFiles;
    if (destinationMissing && Task.NameTaken(Task.DestinationFile())) {
        Task.Complete.FilterResult = dfPreviouslyDownloaded;
        return {};
    }
    try {
        // The request is closed when this scope ends, before any next request
        // reuses the root handle.
        TInternetRequest request(Task.Session, root);
        TUpdateHeaders update;
        std::string headerText;
        if (!PrepareRequest(request, This, destinationMissing, update, headerText)) return {};
        std::int32_t error = 0;
        if (!request.Send(error)) {
            Task.RecordError(error, "HTTPSendRequest " + RequestURL(Task.Address) + "\r\n" + headerText,
                             Operation, &request);
            return {};
        }
        if (!ReadHTTPStatus(Task, request)) return {};
        return HandleStatus(request, update, This.SendIfModifiedSince, RetryCount);
    } catch (const std::exception& Error) {
        Task.RecordException(Error, Operation);
        return {};
    }
}

bool THTTPDownload::PrepareRequest(TInternetRequest& Request, const TNextRequest& This, bool DestinationMissing,
                                   TUpdateHeaders& Update, std::string& HeaderText) {
    const auto& job = Task.Options.JobOptions;
    Task.ApplyCredentials();
    Update = CreateUpdateDLHeaders(This.Resume, DestinationMissing);
    TRequestParams params;
    params.URL = RequestURL(Task.RequestAddress);
    params.HeaderLines = SplitHeaderLines(job.HTTPHeaders);
    if (This.SendIfModifiedSince && !Update.IfModifiedSince.empty())
        params.HeaderLines.push_back(Update.IfModifiedSince);
    if (!Update.Range.empty()) {
        params.HeaderLines.push_back(Update.Range);
        params.HeaderLines.push_back(Update.IfRange);
        // The range counts bytes of the plain file, which the partial file holds.
        params.HeaderLines.emplace_back("Accept-Encoding: identity");
    }
    for (const auto& line : params.HeaderLines) HeaderText += line + "\r\n";
    if (!Task.RequestAddress.HasNoCredentials()) {
        params.UserName = Task.RequestAddress.GetUserName();
        params.Password = Task.RequestAddress.GetPassword();
    }
    if (Task.Referrer.IsValid() && job.UseReferrer)
        params.Referrer = web::DecodeEntitiesInURL(Task.Referrer.GetPlainURL());
    params.SendCookies = job.AllowCookies;
    std::int32_t error = 0;
    if (!Request.Open(params, error)) {
        Task.RecordError(error, "HttpOpenRequest " + params.URL, Operation, &Request);
        return false;
    }
    return true;
}

bool ReadHTTPStatus(TDownloadTask& Task, TInternetRequest& Request) {
    if (!Request.HaveStatus()) {
        Task.RecordError(InternetErrorCode(CURLE_WEIRD_SERVER_REPLY), "HttpQueryInfo (status code)",
                         Operation, &Request);
        return false;
    }
    Task.Complete.HaveStatus = true;
    Task.Complete.StatusCode = Request.StatusCode();
    Task.Complete.StatusText = base::TrimControls(Request.StatusText().substr(0, StatusTextBufferSize - 1));
    if (Task.Complete.StatusText.empty()) Task.Complete.StatusText = std::to_string(Task.Complete.StatusCode);
    return true;
}

THTTPDownload::TNextRequest THTTPDownload::HandleStatus(TInternetRequest& Request,
                                                        const TUpdateHeaders& Update,
                                                        bool SendIfModifiedSince, int RetryCount) {
    switch (Task.Complete.StatusCode) {
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

THTTPDownload::TNextRequest THTTPDownload::HandleContent(TInternetRequest& Request,
                                                         const TUpdateHeaders& Update,
                                                         bool SendIfModifiedSince, int RetryCount) {
    const bool encoded = ContentEncoded(Request);
    // An encoded length is no size of the file: the limits and the progress take it as unknown.
    const std::int64_t expected = encoded ? 0 : GetHTTPContentLength(Request);
    const std::time_t fileTime = GetHTTPLastModifiedTime(Request);
    std::string contentType;
    if (!GetHTTPResponseHeader(Request, "Content-Type", QueryContentType, ContentTypeBufferSize,
                               contentType))
        contentType.clear();
    Task.Progress.Update([&](TFileDownloadInProgressData& Progress) {
        Progress.ExpectedSize = expected;
        Progress.ContentType = contentType;
    });
    const std::string requested = Task.DestinationFile();
    bool destinationMissing = Update.DestinationMissing;
    if (Task.Options.JobOptions.AddFileExtensions && TransformDestination(contentType)) {
        // The conditional headers went out for the old name; ask again with
        // those of the new one when they would differ.
        const std::string renamed = Task.DestinationFile();
        const bool taken = Task.NameTaken(renamed) || Task.NameTaken(PartialFileName(renamed));
        if ((taken || !Update.Range.empty()) && RetryCount < MaxRetryCount) return {true, SendIfModifiedSince};
        destinationMissing = !taken;
    }
    const std::string partial = PartialFileName(Task.DestinationFile());
    const bool resume = Task.Complete.StatusCode == 206;
    if (resume && (Update.Range.empty() || partial != PartialFileName(requested))) {
        // A piece that does not continue our partial file would corrupt it.
        base::TraceLog.LogEntry(base::ttWarning,
                          "Partial content that continues no partial file for " + partial,
                          Operation, DownloadUnitName);
        return {};
    }
    if (resume && (encoded || !ContinuesPartialFile(Request, Update.ResumeSize))) {
        // Joined to our partial file, a piece from elsewhere would splice two
        // versions, and an encoded piece counts bytes of another form: the
        // whole file is asked for instead.
        LogAllHTTPResponseHeaders(Request);
        if (RetryCount < MaxRetryCount) return {true, SendIfModifiedSince, false};
        Task.RecordException(std::runtime_error("Partial content that does not continue " + partial), Operation);
        return {};
    }
    // The address as given, before credentials were removed or added: one that
    // carries its own while authentication is not allowed is refused here.
    Task.Complete.FilterResult = Task.Filter.CheckAfterHeaders(Task.Address, contentType, Task.Distance,
                                                     static_cast<std::uint64_t>(expected), Task.Embedded);
    if (Task.Complete.FilterResult != dfPassed) return {};
    FinishFileDownload(Task, Request,
                       BodyFileUse(Request, Update, encoded, resume, Task.DestinationFile() != requested,
                                   destinationMissing),
                       fileTime);
    return {};
}

// A body that came encoded is never resumed (its validator names the encoded
// form, whose ranges count other bytes), so its partial file is not kept; it
// is bounded even when the job sets no limit. Renamed: the MIME table gave
// the destination a new name after the request went out.
TPartialFileUse THTTPDownload::BodyFileUse(TInternetRequest& Request, const TUpdateHeaders& Update, bool Encoded,
                                           bool Resume, bool Renamed, bool DestinationMissing) const {
    const std::int64_t jobLimit = Task.Filter.MaxFileSize();
    return {.Name = PartialFileName(Task.DestinationFile()),
            .ResumeFrom = Resume ? Update.ResumeSize : -1,
            .Keep = !Encoded,
            .Validator = Resume || Encoded ? std::string() : ResumeValidator(Request),
            .ValidatorKept = !Update.IfRange.empty(),
            // The validator file looked for was that of the name requested.
            .ValidatorMayLie = Update.ValidatorMayLie || Renamed,
            .DestinationMissing = DestinationMissing,
            .MaxSize = jobLimit >= 0 || !Encoded ? jobLimit : Task.Services.MaxDecodedSize};
}

void THTTPDownload::HandleRedirect(TInternetRequest& Request) {
    std::string location;
    if (!GetHTTPResponseHeader(Request, "Location", QueryCustomHeader, LocationBufferSize, location))
        return;
    if (Task.Complete.RedirectTarget.SetFullURL(location)) return;
    // Resolved against the address as the crawl knows it, without stored credentials.
    if (Task.Complete.RedirectTarget.SetRelativeURL(location, Task.Complete.Address)) return;
    base::TraceLog.LogEntry(base::ttWarning,
                      "Redirected to bad URI " + location + " from " +
                          Task.Complete.Address.GetURL(false, true, true, true, true),
                      Operation, DownloadUnitName);
}

THTTPDownload::TNextRequest THTTPDownload::HandleNotModified(TInternetRequest& Request,
                                                             const TUpdateHeaders& Update,
                                                             int RetryCount) {
    if (!Update.Range.empty()) {
        // The partial file is current: ask once more without the condition so
        // that the range is served.
        if (RetryCount < MaxRetryCount) return {true, false};
        return {};
    }
    if (Task.Options.JobOptions.AddFileExtensions) {
        std::string contentType;
        if (GetHTTPResponseHeader(Request, "Content-Type", QueryContentType, ContentTypeBufferSize,
                                  contentType))
            Task.Progress.Update([&](TFileDownloadInProgressData& Progress) { Progress.ContentType = contentType; });
        TransformDestination(contentType);
    }
    return {};
}

THTTPDownload::TNextRequest THTTPDownload::HandleRangeFailure(TInternetRequest& Request,
                                                              bool SendIfModifiedSince,
                                                              int RetryCount) {
    LogAllHTTPResponseHeaders(Request);
    const std::string destination = Task.DestinationFile();
    for (const std::string& file : {PartialFileName(destination), destination}) {
        if (base::FileExists(file) && ::unlink(file.c_str()) != 0) {
            Task.RecordError(errno, "DeleteFile " + file, Operation, nullptr);
            return {};
        }
    }
    RemovePartialValidator(destination);
    if (RetryCount < MaxRetryCount) return {true, SendIfModifiedSince};
    return {};
}

// A partial file is continued only when the validator of its answer was
// kept: without it, a changed file on the server could not be told apart.
THTTPDownload::TUpdateHeaders THTTPDownload::CreateUpdateDLHeaders(bool Resume, bool DestinationMissing) const {
    TUpdateHeaders update;
    const std::string destination = Task.DestinationFile();
    const std::string partial = PartialFileName(destination);
    const TPartialValidator validator = Resume && !Task.KnownFree(PartialValidatorName(destination))
                                            ? ReadPartialValidator(destination)
                                            : TPartialValidator();
    update.ValidatorMayLie = !Resume || validator.Found;
    struct stat info;
    std::string file;
    if (!validator.Value.empty() && base::FileExists(partial, info)) {
        file = partial;
        update.ResumeSize = info.st_size;
        update.Range = "Range: bytes=" + std::to_string(info.st_size) + "-";
        update.IfRange = "If-Range: " + validator.Value;
    } else if (!DestinationMissing && !Task.KnownFree(destination) && base::FileExists(destination, info)) {
        file = destination;
    } else {
        update.DestinationMissing = true;
        return update;
    }
    if (!IfModifiedSinceLine(info.st_mtime, update.IfModifiedSince))
        base::TraceLog.LogEntry(base::ttWarning, "Unable to create If Modified Since header for " + file,
                          "CreateUpdateDLHeaders", DownloadUnitName);
    return update;
}

std::int64_t GetHTTPContentLength(TInternetRequest& Request) {
    std::string text;
    std::int64_t length = 0;
    if (Request.Header("Content-Length", text)) {
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
        if (error == std::errc() && end == text.data() + text.size() && length >= 0) return length;
    }
    base::TraceLog.LogAPIErrorCode(ENODATA, "HTTPQueryInfo (content length)", "GetHTTPContentLength",
                             DownloadUnitName);
    return 0;
}

std::time_t GetHTTPLastModifiedTime(TInternetRequest& Request) {
    std::string text;
    if (Request.Header("Last-Modified", text)) {
        const std::time_t time = curl_getdate(text.c_str(), nullptr);
        if (time != -1) return time;
    }
    base::TraceLog.LogAPIErrorCode(ENODATA, "HTTPQueryInfo (last modified date)", "GetHTTPLastModifiedTime",
                             DownloadUnitName);
    return std::time(nullptr);
}

void LogAllHTTPResponseHeaders(TInternetRequest& Request) {
    const std::string& raw = Request.RawHeaders();
    if (raw.size() >= RawHeadersBufferSize) {
        base::TraceLog.LogAPIErrorCode(ERANGE, "HTTPQueryInfo (raw headers)", "LogAllHTTPResponseHeaders",
                                 DownloadUnitName);
        return;
    }
    base::TraceLog.LogEntry(base::ttMessage, "Response headers...\r\n" + raw,
                      "LogAllHTTPResponseHeaders", DownloadUnitName);
}

// Lets the MIME table extend the destination; true when the name changed
// other than in letter case.
bool THTTPDownload::TransformDestination(const std::string& ContentType) {
    const std::string old = Task.DestinationFile();
    const std::string transformed = Task.MIMETable.TransformFilename(old, ContentType);
    if (base::SameTextAscii(transformed, old)) return false;
    Task.Progress.SetDestinationFile(transformed);
    return true;
}

} // namespace engine
