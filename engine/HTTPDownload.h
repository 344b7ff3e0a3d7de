#pragma once

#include "engine/FinishFileDownload.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace engine {

class TInternetRequest;
struct TDownloadTask;

// The HTTP and HTTPS download: one GET with the conditional headers of what
// is already on disk (If-Modified-Since, a Range that resumes the partial
// file if it is still the same version, If-Range), and what each answer
// means: content is saved, a redirect is noted, "not modified" keeps the
// copy, a failed range or a piece that does not continue the partial file
// starts afresh. Asks for compressed answers, which are saved decoded and
// never resumed. Asks again at most four times.
class THTTPDownload {
public:
    explicit THTTPDownload(TDownloadTask& Task) : Task(Task) {}
    void Run();

private:
    // What one request decided about the next one.
    struct TNextRequest {
        bool Again = false;
        bool SendIfModifiedSince = true;
        bool Resume = true;  // false: the partial file is not continued but started afresh
    };
    // The conditional headers made for a destination.
    struct TUpdateHeaders {
        std::string IfModifiedSince;  // whole line without CR LF; empty when none
        std::string Range;            // whole line without CR LF; empty when none
        std::string IfRange;          // the partial file's validator line; sent with Range
        std::int64_t ResumeSize = 0;  // size of the partial file that Range continues
        bool ValidatorMayLie = true;  // a validator file was found, or none was looked for
        bool DestinationMissing = false;  // no file lies under the destination's name
    };

    TNextRequest HTTPRequest(const TNextRequest& This, int RetryCount);
    bool PrepareRequest(TInternetRequest& Request, const TNextRequest& This, bool DestinationMissing,
                        TUpdateHeaders& Update, std::string& HeaderText);
    TNextRequest HandleStatus(TInternetRequest& Request, const TUpdateHeaders& Update,
                              bool SendIfModifiedSince, int RetryCount);
    TNextRequest HandleContent(TInternetRequest& Request, const TUpdateHeaders& Update,
                               bool SendIfModifiedSince, int RetryCount);
    TPartialFileUse BodyFileUse(TInternetRequest& Request, const TUpdateHeaders& Update, bool Encoded, bool Resume,
                                bool Renamed, bool DestinationMissing) const;
    void HandleRedirect(TInternetRequest& Request);
    TNextRequest HandleNotModified(TInternetRequest& Request, const TUpdateHeaders& Update, int RetryCount);
    TNextRequest HandleRangeFailure(TInternetRequest& Request, bool SendIfModifiedSince, int RetryCount);
    // DestinationMissing: the request already found no file under the destination's name.
    TUpdateHeaders CreateUpdateDLHeaders(bool Resume, bool DestinationMissing) const;
    bool TransformDestination(const std::string& ContentType);

    TDownloadTask& Task;
};

// Reading an HTTP answer, also for FTP through an HTTP proxy.
// The status code and text into the task's result; false, with the error
// recorded, when the answer had no status.
bool ReadHTTPStatus(TDownloadTask& Task, TInternetRequest& Request);
// The announced body length; 0 when none or not a number.
std::int64_t GetHTTPContentLength(TInternetRequest& Request);
// Last-Modified; the current time when none could be read.
std::time_t GetHTTPLastModifiedTime(TInternetRequest& Request);
// Traces the whole header block of an answer that is not acted on.
void LogAllHTTPResponseHeaders(TInternetRequest& Request);

} // namespace engine
