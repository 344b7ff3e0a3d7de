#pragma once

#include "engine/DownloadThread.h"
#include "engine/FoldersMadeByRun.h"
#include "messaging/SpiderOutputMsgTypes.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace jobs {
class TCopyJob;
}
namespace messaging {
class TSpiderInputMessageQueue;
}

namespace engine {

class TDownloadFilter;
class TMIMEExtensionsTable;
class TSpiderJobControl;
class TSpiderObjectList;
struct TSpiderObject;

// Wakes a loop that waits for any of several sources (download threads,
// posted commands) without polling on a fixed period.
class TWakeSignal {
public:
    void Notify();
    // Returns when Notify was called since Seen was read, or at Deadline.
    void WaitUntil(std::uint64_t Seen, std::chrono::steady_clock::time_point Deadline);
    std::uint64_t Count() const;

private:
    mutable std::mutex Lock;        // guards Notifications
    std::condition_variable Woken;  // signalled by every Notify
    std::uint64_t Notifications = 0;
};

// Owns the four download threads and runs one download cycle of a job for the
// spider thread: hands undispatched objects to idle threads, and one more to
// each busy thread to begin as soon as its download ends, reports start
// (once a thread has begun it), progress and end of each download, turns
// finished downloads back into facts about the objects and acts on
// per-download stop commands. Runs on the spider thread; the download threads
// only receive work and return results.
class TDownloadThreadDispacher {
public:
    static constexpr int ThreadCount = 4;

    TDownloadThreadDispacher(TDownloadThreadServices Services, TDownloadFilter& Filter,
                             TMIMEExtensionsTable& MIMETable, messaging::TSpiderInputMessageQueue& Input,
                             TWakeSignal& Wake);
    ~TDownloadThreadDispacher();

    // Copies the options into each thread, closing their connections.
    void SetOptions(const jobs::TDownloadOptions& Options);
    // Forgets what the last job left: its start page, the folders it made
    // and the page bodies that no parse took.
    void BeginJob() {
        StartPageFile.clear();
        StartDownload = {};
        Folders.Forget();
        PageBodies.clear();
        PageBodyBytes = 0;
    }
    // The body of the object's page as its download saved it, when that was
    // kept; empty otherwise. Taken once.
    std::string TakePageBody(std::uint32_t SequenceNumber);
    const std::string& GetStartPage() const { return StartPageFile; }
    // The end report of the starting address's last download; its Outcome is 0
    // while none has ended.
    const messaging::TFileDownloadMsg& GetStartDownload() const { return StartDownload; }
    // Returns when no undispatched object is left and every thread is idle, or,
    // after stop or abort, as soon as every thread is idle. Instead of waiting
    // for a thread, it calls WhileWaiting, which does a short piece of other
    // work and returns true, or false when it has none.
    void RunCycle(TSpiderJobControl& Control, TSpiderObjectList& List, std::int32_t JobNumber,
                  jobs::TCopyJob& RunningJob, const std::function<bool()>& WhileWaiting);

private:
    enum class TRedirectOutcome { None, Queued, TooMany, Refused };
    // What became of a finished download's redirect.
    struct TRedirect {
        TRedirectOutcome Outcome = TRedirectOutcome::None;
        std::uint8_t Refusal = 0;  // the filter's code when Refused
    };

    static constexpr int SlotCount = TFileDownloadThread::SlotCount;

    // What the dispatcher keeps of the download in one slot of a thread.
    struct TLane {
        std::uint32_t ObjectSequenceNumber = 0;
        std::int32_t DownloadNumber = 0;  // 0 until its start is reported
        std::chrono::steady_clock::time_point LastProgress{};  // of the last progress message
    };
    struct TThreadSlots {
        std::array<TLane, SlotCount> Lanes;
        bool Pausing = false;
        std::chrono::steady_clock::time_point PauseUntil{};
    };

    bool AllIdle() const;
    bool SlotForWork(int& Thread, int& Slot) const;
    bool HandOutWork(TSpiderJobControl& Control, TSpiderObjectList& List);
    const web::TURL& AddressToFetch(const TSpiderObject& Object);
    void FinishRefused(TSpiderJobControl& Control, TSpiderObjectList& List, TSpiderObject& Object,
                       const web::TURL& Address, std::uint8_t Verdict);
    void Assign(TSpiderObject& Object, int Thread, int Slot, const web::TURL& Address);
    void TakeBack(TSpiderObjectList& List, int Thread, unsigned Withdrawn);
    messaging::TFileDownloadMsg& BeginDownloadMessage(std::uint8_t Kind, std::int32_t DownloadNumber);
    void PostDownloadStartedMessage(TSpiderJobControl& Control, const TSpiderObject& Object,
                                    std::int32_t DownloadNumber);
    void ReportStart(TSpiderJobControl& Control, TSpiderObjectList& List, int Thread, int Slot);
    void ReportBegunDownloads(TSpiderJobControl& Control, TSpiderObjectList& List);
    void PostDownloadInProgressMsgs(TSpiderJobControl& Control);
    bool PostProgress(TSpiderJobControl& Control, const TDownloadSlot& Slot, std::int32_t DownloadNumber);
    void ResetCompletedDownloadThreads(TSpiderJobControl& Control, TSpiderObjectList& List,
                                       const jobs::TCopyJob& Job);
    TRedirect CollectResult(TSpiderJobControl& Control, TSpiderObjectList& List, int Thread, int Slot);
    void PostDownloadStoppedMsg(TSpiderJobControl& Control, std::int32_t DownloadNumber,
                                const TFileDownloadCompleteData& Result, TRedirect Redirect,
                                bool OfStart);
    void ProcessDownloadCancelRequests(TSpiderJobControl& Control, TSpiderObjectList& List,
                                       jobs::TCopyJob& Job);
    void StopDownload(std::uint8_t Kind, TSpiderObjectList& List, int Thread, int Slot, jobs::TCopyJob& Job);
    std::chrono::steady_clock::time_point NextTimer() const;
    void KeepPageBody(std::uint32_t SequenceNumber, std::string_view Body);

    TDownloadFilter& Filter;
    messaging::TSpiderInputMessageQueue& Input;
    TWakeSignal& Wake;
    TFoldersMadeByRun Folders;  // before the threads, which use it
    // Bodies of saved pages by object sequence number, until their parse.
    std::unordered_map<std::uint32_t, std::string> PageBodies;
    std::size_t PageBodyBytes = 0;
    std::array<std::unique_ptr<TFileDownloadThread>, ThreadCount> Threads;
    std::array<TThreadSlots, ThreadCount> Slots;
    // A download may wait behind a thread's running one, unless the job
    // pauses between downloads.
    bool QueueBehindRunning = true;
    std::int32_t DownloadCounter = 0;  // never reset: download numbers are unique for the program's life
    std::int32_t JobNumber = -1;
    messaging::TSpiderOutputMsg OutputMsg;  // reused for every message posted
    TFileDownloadCompleteData Refused;      // reused for every address refused before a request
    web::TURL FetchAddress;                 // reused for every object handed out
    std::string StartPageFile;  // local file of the starting address, as finally written
    messaging::TFileDownloadMsg StartDownload;
    bool Stopping = false;
};

} // namespace engine
