#pragma once

#include "engine/DownloadData.h"
#include "engine/DownloadServices.h"
#include "engine/InternetSettings.h"
#include "jobs/DownloadOptionTypes.h"
#include "web/URLType.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

namespace engine {

class TDownloadFilter;
class TMIMEExtensionsTable;
struct TDownloadTask;
class TInternetSession;

// Stored as one byte; the numbers are fixed.
enum TFileDownloadState : std::uint8_t {
    dsWorkAssigned = 0,
    dsReadingData = 1,
    dsFinished = 2,  // the result waits to be collected
    dsIdle = 3,
};

// What a download thread would have recorded for a download that the filter
// refuses before any request: the dispatcher finishes such an address itself,
// without handing it to a thread.
void RecordRefusedDownload(TFileDownloadCompleteData& Complete, const web::TURL& Address,
                           const web::TURL* Referrer, const std::string& Destination,
                           std::uint8_t FilterResult);

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
    // A referrer of the file scheme is not passed on. Embedded: a page shows or
    // runs the address, so the filter saves it even with a query.
    bool StartDownload(const web::TURL& Address, const std::string& DestinationFile,
                       std::int32_t Distance, const web::TURL* Referrer, bool Embedded = false);
    // Ends the transfer in progress soon; the partial HTTP file stays for a later run.
    void Stop();
    bool StopRequested() const;

    TFileDownloadState State() const { return StateValue.load(std::memory_order_acquire); }
    const TFileDownloadCompleteData& CompleteData() const { return Complete; }
    // The body of the page that the finished download saved, when it was
    // small enough to keep; empty otherwise. Valid until the next download,
    // which reuses its room.
    std::string_view SavedPageBody() const { return PageBody; }
    void MarkIdle();

    TFileDownloadInProgressData Progress() const;
    std::string DestinationFile() const;
    const web::TURL& Address() const { return WorkAddress; }
    const web::TURL& Referrer() const { return WorkReferrer; }
    std::int32_t Distance() const { return WorkDistance; }

private:
    void Execute(std::stop_token Token);
    void RunDownload();
    void DownloadByScheme(TDownloadTask& Task);
    void SetState(TFileDownloadState NewState);
    void EnsureBaseDownloadHandlesCreated();

    TDownloadFilter& Filter;
    TMIMEExtensionsTable& MIMETable;
    TDownloadThreadServices Services;
    std::unique_ptr<TInternetSession> Session;
    std::array<std::int32_t, InternetRootCount> RootErrors{};  // why a root could not be opened

    // Work fields: written by StartDownload while idle, read by the worker.
    web::TURL WorkAddress;
    web::TURL WorkReferrer;
    std::int32_t WorkDistance = 0;
    bool WorkEmbedded = false;
    jobs::TDownloadOptions Options;  // the worker's copy for the running download
    // Written by the worker only; read by the dispatcher once State is dsFinished.
    TFileDownloadCompleteData Complete;
    std::string PageBody;  // the same

    TDownloadProgress InProgress;  // also the destination, which the MIME table may extend

    std::mutex WorkLock;  // guards the hand-over of work between StartDownload and Execute
    std::condition_variable_any WorkReady;  // signalled when State becomes dsWorkAssigned
    // Published with release ordering after the fields of its state are written.
    std::atomic<TFileDownloadState> StateValue{dsIdle};
    std::jthread Worker;  // last: it starts after, and stops before, everything above
};

} // namespace engine
