#pragma once

#include "engine/DownloadServices.h"
#include "engine/InternetClient.h"
#include "jobs/DownloadOptionTypes.h"
#include "web/URLType.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

namespace engine {

class TDownloadFilter;
class TMIMEExtensionsTable;
struct TFTPFileInfo;

// Progress of the running download, read by the dispatcher while it runs.
// Sizes are 64-bit: files of 4 GiB and more are counted and resumed correctly.
struct TFileDownloadInProgressData {
    bool TransferStarted = false;
    std::int64_t ExpectedSize = 0;   // announced length plus any resumed part; 0 when none announced
    std::string ContentType;         // at most 99 characters
    std::int64_t BytesReceived = 0;  // includes the resumed part
    std::int64_t ResumeOffset = 0;   // size of the ".part" file that was continued
    std::int32_t ElapsedMs = 0;      // since the body transfer began
};

// The result of one download, collected by the dispatcher.
struct TFileDownloadCompleteData {
    web::TURL Address;
    web::TURL Referrer;
    std::string LocalFile;  // the destination when the download ended (possibly extended)
    std::int32_t OsError = 0;  // errno value, or 12000 + curl code
    bool HaveOsError = false;
    std::int32_t StatusCode = 0;
    std::string StatusText;
    bool HaveStatus = false;
    web::TURL RedirectTarget;  // valid only when the server redirected
    bool Stopped = false;      // the transfer ended because a stop was requested
    std::uint8_t FilterResult = 0;  // TDownloadFilterCode; 13 and 14 also come from here
    bool IsPage = false;
    bool ExceptionRaised = false;
    std::string ExceptionText;

    void Clear() { *this = TFileDownloadCompleteData(); }
};

// Stored as one byte; the numbers are fixed.
enum TFileDownloadState : std::uint8_t {
    dsWorkAssigned = 0,
    dsReadingData = 1,
    dsFinished = 2,  // the result waits to be collected
    dsIdle = 3,
};

// One download worker. The dispatcher (on the spider thread) drives it:
//   idle --StartDownload--> work assigned --(thread)--> reading data --> finished
//   finished --(dispatcher reads CompleteData)--> MarkIdle --> idle
// Rules for the caller: StartDownload and SetOptions only while State() is
// dsIdle; CompleteData() only while dsFinished; Progress(), DestinationFile()
// and Stop() at any time; Address(), Referrer() and Distance() while a
// download is assigned (they do not change until the next StartDownload).
// The worker waits on a condition variable for work, so a download starts at
// once; StateChanged tells the dispatcher when to look again.
class TFileDownloadThread {
public:
    TFileDownloadThread(TDownloadFilter& Filter, TMIMEExtensionsTable& MIMETable,
                        TDownloadThreadServices Services = {});
    // Stops a transfer in progress and waits for the worker to end.
    ~TFileDownloadThread();
    TFileDownloadThread(const TFileDownloadThread&) = delete;
    TFileDownloadThread& operator=(const TFileDownloadThread&) = delete;

    // Copies the options and closes the root handles, so that the next
    // download opens them with these options.
    void SetOptions(const jobs::TDownloadOptions& Options);
    // Hands over one address; false (nothing happens) unless the thread is idle.
    // A referrer of the file scheme is not passed on.
    bool StartDownload(const web::TURL& Address, const std::string& DestinationFile,
                       std::int32_t Distance, const web::TURL* Referrer);
    // Ends the transfer in progress soon; the partial HTTP file stays for a later run.
    void Stop();
    bool StopRequested() const;

    TFileDownloadState State() const { return StateValue.load(std::memory_order_acquire); }
    const TFileDownloadCompleteData& CompleteData() const { return Complete; }
    void MarkIdle();

    TFileDownloadInProgressData Progress() const;
    std::string DestinationFile() const;
    const web::TURL& Address() const { return WorkAddress; }
    const web::TURL& Referrer() const { return WorkReferrer; }
    std::int32_t Distance() const { return WorkDistance; }

private:
    // What one HTTP request decided about the next one.
    struct TNextRequest {
        bool Again = false;
        bool SendIfModifiedSince = true;
    };
    // The conditional headers made for a destination.
    struct TUpdateHeaders {
        std::string IfModifiedSince;  // whole line without CR LF; empty when none
        std::string Range;            // whole line without CR LF; empty when none
        std::int64_t ResumeSize = 0;  // size of the partial file that Range continues
    };

    void Execute(std::stop_token Token);
    void RunDownload();
    void DownloadByScheme();
    void SetState(TFileDownloadState NewState);
    void EnsureBaseDownloadHandlesCreated();
    void ApplyCredentials();
    void RecordError(std::int32_t Error, const std::string& Call, const std::string& Operation,
                     const TInternetRequest* Request);
    void SetDestination(const std::string& FileName);
    std::string ProgressContentType() const;

    // HTTP and HTTPS (HTTPDownload.cpp).
    void DownloadHTTPOrHTTPS(bool SendIfModifiedSince, int RetryCount);
    TNextRequest HTTPRequest(bool SendIfModifiedSince, int RetryCount);
    bool PrepareRequest(TInternetRequest& Request, bool SendIfModifiedSince,
                        TUpdateHeaders& Update, std::string& HeaderText);
    bool ReadStatus(TInternetRequest& Request);
    TNextRequest HandleStatus(TInternetRequest& Request, const TUpdateHeaders& Update,
                              bool SendIfModifiedSince, int RetryCount);
    TNextRequest HandleContent(TInternetRequest& Request, const TUpdateHeaders& Update,
                               bool SendIfModifiedSince, int RetryCount);
    void HandleRedirect(TInternetRequest& Request);
    TNextRequest HandleNotModified(TInternetRequest& Request, const TUpdateHeaders& Update,
                                   int RetryCount);
    TNextRequest HandleRangeFailure(TInternetRequest& Request, bool SendIfModifiedSince,
                                    int RetryCount);
    TUpdateHeaders CreateUpdateDLHeaders() const;
    bool GetHTTPResponseHeader(TInternetRequest& Request, const char* Name, int QueryNumber,
                               std::size_t BufferSize, std::string& Value);
    std::int64_t GetHTTPContentLength(TInternetRequest& Request);
    std::time_t GetHTTPLastModifiedTime(TInternetRequest& Request);
    void LogAllHTTPResponseHeaders(TInternetRequest& Request);
    bool TransformDestination(const std::string& ContentType);

    // FTP, directly or through an HTTP proxy (FTPDownload.cpp).
    void DownloadFTPFile();
    void DownloadFTPNoProxy();
    void DownloadFTPCERNProxy();
    bool LookUpFTPFile(TFTPFileInfo& Remote);
    TRequestParams FTPRequestParams(bool LookUpOnly) const;
    void RecordFTPError(std::int32_t Error, const std::string& Call, const char* Operation,
                        const TInternetRequest& Request);

    // Saving the body (FinishFileDownload.cpp).
    void FinishFileDownload(TInternetRequest& Request, const std::string& PartialFile,
                            std::time_t FileTime, bool Resume, bool KeepPartialFile);
    bool OpenPartialFile(const std::string& PartialFile, bool Resume, int& Handle);
    bool ReadFileFromWininetHandle(TInternetRequest& Request, int Handle, const std::string& PartialFile);
    void CompleteTransfer(const std::string& PartialFile, std::time_t FileTime);

    TDownloadFilter& Filter;
    TMIMEExtensionsTable& MIMETable;
    TDownloadThreadServices Services;
    std::unique_ptr<TInternetSession> Session;
    std::array<std::int32_t, InternetRootCount> RootErrors{};  // why a root could not be opened

    // Work fields: written by StartDownload while idle, read by the worker.
    web::TURL WorkAddress;
    // The worker's own copy of WorkAddress with the credentials it sends, so
    // that the dispatcher may read WorkAddress while the download runs.
    web::TURL RequestAddress;
    web::TURL WorkReferrer;
    std::int32_t WorkDistance = 0;
    jobs::TDownloadOptions Options;  // the worker's copy for the running download
    // Written by the worker only; read by the dispatcher once State is dsFinished.
    TFileDownloadCompleteData Complete;

    mutable std::mutex ProgressLock;  // guards InProgress and Destination
    TFileDownloadInProgressData InProgress;
    std::string Destination;  // the MIME table may extend it during the download

    std::mutex WorkLock;  // guards the hand-over of work between StartDownload and Execute
    std::condition_variable_any WorkReady;  // signalled when State becomes dsWorkAssigned
    // Published with release ordering after the fields of its state are written.
    std::atomic<TFileDownloadState> StateValue{dsIdle};
    std::jthread Worker;  // last: it starts after, and stops before, everything above
};

} // namespace engine
