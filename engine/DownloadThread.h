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
#include <string_view>
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
    dsQueued = 4,  // handed over; begins when the thread's running download ends
};

// What a download thread would have recorded for a download that the filter
// refuses before any request: the dispatcher finishes such an address itself,
// without handing it to a thread.
void RecordRefusedDownload(TFileDownloadCompleteData& Complete, const web::TURL& Address,
                           const web::TURL* Referrer, const std::string& Destination,
                           std::uint8_t FilterResult);

// One download handed to a thread: what to fetch, its progress and its result.
// The thread's rules say when each part may be read.
class TDownloadSlot {
public:
    TFileDownloadState State() const { return StateValue.load(std::memory_order_acquire); }
    const TFileDownloadCompleteData& CompleteData() const { return Complete; }
    // The body of the page that the finished download saved, when it was
    // small enough to keep; empty otherwise. Valid until the slot's next
    // download, which reuses its room.
    std::string_view SavedPageBody() const { return PageBody; }
    TFileDownloadInProgressData Progress() const { return InProgress.Get(); }
    std::string DestinationFile() const { return InProgress.DestinationFile(); }
    const web::TURL& Address() const { return WorkAddress; }
    const web::TURL& Referrer() const { return WorkReferrer; }
    std::int32_t Distance() const { return WorkDistance; }

private:
    friend class TFileDownloadThread;

    // Work fields: written by StartDownload while idle, read by the worker.
    web::TURL WorkAddress;
    web::TURL WorkReferrer;
    std::int32_t WorkDistance = 0;
    bool WorkEmbedded = false;
    // When it was handed over, in the thread's count. Written by StartDownload
    // under the thread's WorkLock: the worker reads it under the lock,
    // StartDownload's caller, the only writer, without.
    std::uint64_t HandOver = 0;
    // Written by the worker only; read by the dispatcher once State is dsFinished.
    TFileDownloadCompleteData Complete;
    std::string PageBody;  // the same
    TDownloadProgress InProgress;  // also the destination, which the MIME table may extend
    // Published with release ordering after the fields of its state are written.
    std::atomic<TFileDownloadState> StateValue{dsIdle};
};

// One download worker with two slots, so that its next download can wait
// behind the running one and begin without a round trip to the dispatcher.
// The dispatcher (on the spider thread) drives each slot:
//   idle --StartDownload--> queued --(thread begins it)--> work assigned
//        --(thread)--> reading data --> finished
//   finished --(dispatcher reads CompleteData)--> MarkIdle --> idle
//   queued --Stop or Withdraw--> idle
// The thread runs one download at a time, in the order they were handed over.
// Rules for the caller: StartDownload only on an idle slot; SetOptions only
// while both slots are idle; CompleteData() and SavedPageBody() only while the
// slot is dsFinished; Progress(), DestinationFile(), Stop() and Withdraw() at
// any time; Address(), Referrer() and Distance() while the slot holds a
// download (they do not change until its next StartDownload).
// The worker waits on a condition variable for work, so a download begins at
// once; StateChanged tells the dispatcher when to look again.
class TFileDownloadThread {
public:
    static constexpr int SlotCount = 2;

    TFileDownloadThread(TDownloadFilter& Filter, TMIMEExtensionsTable& MIMETable,
                        TDownloadThreadServices Services = {});
    // Stops a transfer in progress and waits for the worker to end.
    ~TFileDownloadThread();
    TFileDownloadThread(const TFileDownloadThread&) = delete;
    TFileDownloadThread& operator=(const TFileDownloadThread&) = delete;

    // Copies the options and closes the root handles, so that the next
    // download opens them with these options.
    void SetOptions(const jobs::TDownloadOptions& Options);
    // Hands over one address; false (nothing happens) unless the slot is idle.
    // A referrer of the file scheme is not passed on. Embedded: a page shows or
    // runs the address, so the filter saves it even with a query.
    bool StartDownload(int Slot, const web::TURL& Address, const std::string& DestinationFile,
                       std::int32_t Distance, const web::TURL* Referrer, bool Embedded = false);
    // Takes back the downloads that have not begun and ends the transfer in
    // progress soon; the partial HTTP file stays for a later run. Returns the
    // slots taken back, a bit each.
    unsigned Stop();
    // Takes back the downloads that have not begun; returns them as Stop does.
    unsigned Withdraw();

    const TDownloadSlot& Slot(int Index) const { return Slots[static_cast<std::size_t>(Index)]; }
    void MarkIdle(int Slot);
    // The slots, the one handed over first in front; for StartDownload's caller.
    std::array<int, SlotCount> InHandOverOrder() const;

private:
    void Execute(std::stop_token Token);
    TDownloadSlot* BeginNextDownload(std::stop_token Token, bool FinishedUntold);
    TDownloadSlot* NextQueued();
    unsigned WithdrawLocked();
    void RunDownload(TDownloadSlot& Slot);
    void DownloadByScheme(TDownloadTask& Task);
    void TellStateChanged();
    void EnsureBaseDownloadHandlesCreated();

    TDownloadFilter& Filter;
    TMIMEExtensionsTable& MIMETable;
    TDownloadThreadServices Services;
    std::unique_ptr<TInternetSession> Session;
    std::array<std::int32_t, InternetRootCount> RootErrors{};  // why a root could not be opened
    jobs::TDownloadOptions Options;  // the worker's copy for the running download

    std::array<TDownloadSlot, SlotCount> Slots;
    std::mutex WorkLock;  // guards the hand-over of work between StartDownload, Stop and Execute
    std::condition_variable_any WorkReady;  // signalled when a slot becomes dsQueued
    std::uint64_t HandOvers = 0;  // guarded by WorkLock
    std::jthread Worker;  // last: it starts after, and stops before, everything above
};

} // namespace engine
