#pragma once

#include "messaging/SpiderOutputMsgTypes.h"
#include "queue/CopyProgressTypes.h"
#include "queue/ObserverList.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace messaging {
class TSpiderInputMessageQueue;
class TSpiderOutputSplitter;
} // namespace messaging

namespace queue {

// The running copy as the progress page shows it: the finished files with
// their results, the files in progress, the download and rewrite counters,
// and the commands that pause, stop or abort the job or one download.
// Reports change the rows at once, but observers hear of them only at Flush,
// which the front end calls on a timer, so a burst of reports costs one
// row-range event instead of one per report. Lives on the front end's thread.
class TCopyProgress {
  public:
    // The kinds the model subscribes to: all but 8.
    static constexpr messaging::TSpiderOutputKindSet ReportKinds =
        messaging::SpiderOutputKindRange(messaging::somJobStarted, messaging::somFlattenEnded) &
        ~messaging::SpiderOutputKinds({8});

    // Input is borrowed and must outlive the model. FriendlyResults is asked
    // at each job start whether success statuses show as "OK".
    TCopyProgress(messaging::TSpiderInputMessageQueue& Input, std::function<bool()> FriendlyResults);
    TCopyProgress(const TCopyProgress&) = delete;
    TCopyProgress& operator=(const TCopyProgress&) = delete;

    // Registers OnSpiderOutput; false (and a trace entry) when the splitter is full.
    bool Subscribe(messaging::TSpiderOutputSplitter& Splitter);
    void OnSpiderOutput(const messaging::TSpiderOutputMsg& Msg);
    // Tells observers what changed since the last flush.
    void Flush();

    void AddObserver(TCopyProgressObserver& Observer) { Observers.Add(Observer); }
    void RemoveObserver(TCopyProgressObserver& Observer) { Observers.Remove(Observer); }

    // The finished files; rows beyond the last flush may already be here.
    int CompletedCount() const { return static_cast<int>(Completed.size()); }
    const TCompletedFile& CompletedRow(int Row) const { return Completed[static_cast<std::size_t>(Row)]; }
    // The finished rows observers have been told of: where a new observer starts.
    int FlushedCompletedCount() const { return PublishedCompleted; }
    // The files in progress as of the last flush.
    const std::vector<TActiveFile>& ActiveRows() const { return PublishedActive; }
    // The download of a flushed "Downloading" row once it reported progress; else null.
    const TActiveDownload* ActiveDownloadOfRow(int Row) const;

    bool Running() const { return JobRunning; }
    bool PauseDown() const { return Paused; }
    bool RewriteShown() const { return PagesToRewrite > 0; }
    int FilesKnown() const { return Known; }
    int FilesDone() const { return Done; }
    int PagesToRewriteCount() const { return PagesToRewrite; }
    int PagesRewritten() const { return Rewritten; }
    std::string DownloadCaption() const; // "Download Progress: 3 of 10"
    std::string RewriteCaption() const;  // "Rewrite Progress: 1 of 2"

    // Job commands for the running job; false when none runs or the queue refused.
    bool SetPaused(bool Down);
    bool Stop(); // resumes a paused job first, so that the stop can be carried out
    bool Abort();
    bool StopDownload(TStopScope Scope, std::int32_t DownloadNumber);
    // "Stop downloading page.htm" ... for a download's menu, and whether each applies.
    std::string StopDownloadText(TStopScope Scope, const TActiveDownload& Download) const;
    bool StopDownloadApplies(TStopScope Scope, const TActiveDownload& Download) const;

    // "Save Results...": the finished files with a header line, as CSV.
    bool SaveResults(const std::string& FileName, std::string* ErrorText = nullptr) const;

  private:
    void JobStarted(const messaging::TSpiderOutputMsg& Msg);
    void JobStopped();
    void DownloadStarted(const messaging::TFileDownloadMsg& Download);
    void DownloadProgress(const messaging::TFileDownloadMsg& Download);
    void DownloadEnded(const messaging::TFileDownloadMsg& Download);
    void PageStarted(TActivityKind Kind, const messaging::TFileReadWriteMsg& Page);
    void PageProgress(TActivityKind Kind, const messaging::TFileReadWriteMsg& Page);
    void ParseEnded(const messaging::TFileReadWriteMsg& Page);
    void FileMoved(const messaging::TFolderFlatteningProgress& Move);
    void AddActive(TActivityKind Kind, std::int32_t Tag, std::string Location, std::string Size = {},
                   std::string Done = {});
    TActiveFile* FindActive(TActivityKind Kind, std::int32_t Tag);
    void RemoveActive(TActivityKind Kind, std::int32_t Tag);
    void SetFirstActiveLocation(const std::string& Location);
    void AddCompleted(TCompletedFile Row);
    void SetCompletedLocation(int Row, const std::string& Location);
    void MarkCompletedChanged(int Row);
    void FlushCompleted();
    void FlushActive();
    void StateDirty() { StateChanged = true; }

    messaging::TSpiderInputMessageQueue& Input;
    std::function<bool()> FriendlyResultsSetting;
    TObserverList<TCopyProgressObserver> Observers;

    bool JobRunning = false;
    bool Paused = false;
    std::int32_t RunningJobNumber = -1;
    bool FixLinks = false;
    bool FriendlyResults = true;
    int Known = 0;
    int Done = 0;
    int PagesToRewrite = 0;
    int Rewritten = 0;
    std::unordered_set<std::string> PagesQueuedForRewrite; // lower-cased local paths

    std::vector<TCompletedFile> Completed;
    std::unordered_map<std::string, int> CompletedByLocation;            // exact location: first row
    std::unordered_multimap<std::string, int> CompletedByFoldedLocation; // lower-cased location: every row
    std::vector<TActiveFile> Active;
    std::vector<TActiveFile> PublishedActive;
    std::unordered_map<std::int32_t, TActiveDownload> Downloads; // by download number
    std::uint64_t NextActiveId = 1;

    // Bookkeeping between flushes.
    int PublishedCompleted = 0;  // finished rows the observers know of
    bool CompletedCleared = false;
    int FirstChanged = -1;       // changed range among the known finished rows
    int LastChanged = -1;
    bool StateChanged = false;
};

} // namespace queue
