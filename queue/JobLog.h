#pragma once

#include "queue/ObserverList.h"

#include <ctime>
#include <string>
#include <vector>

namespace messaging {
class TSpiderOutputMsg;
class TSpiderOutputSplitter;
} // namespace messaging

namespace queue {

// One ended job as the log keeps it; the file's fields in this order.
struct TJobLogRow {
    std::string JobName; // may be empty
    std::string Date;    // when the job ended, as text (JobLogDateText)
    std::string Address; // the starting address in display form
    std::string FileName; // the local start file; may be empty

    bool operator==(const TJobLogRow&) const = default;
};

// Which commands a row allows now; a view enables its buttons from it.
struct TJobLogCommands {
    bool View = false;    // the start file exists
    bool Explore = false; // the start file's folder exists
    bool Remove = false;

    bool operator==(const TJobLogCommands&) const = default;
};

// What views learn about the log. Row events come after the change, with the
// indexes of the log as it is now (RowRemoved: as it was). Every call comes on
// the thread that drives the log.
class TJobLogObserver {
  public:
    virtual ~TJobLogObserver() = default;

    virtual void RowInserted(int Index) {}
    virtual void RowRemoved(int Index) {}
    virtual void RowChanged(int Index) {}
    // Every row went (logging turned off, or the file read anew).
    virtual void RowsReset() {}
    // The file could not be written; the rows stay and the next change tries
    // again. The desktop program shows Message in a box.
    virtual void SaveFailed(const std::string& Message) {}
};

// The log of ended jobs, kept in "JobLog.csv" of the data folder and
// rewritten whole, atomically, after every change. Not thread-safe: it runs
// on the front end's thread, which also delivers the spider's reports.
class TJobLog {
  public:
    static constexpr const char* FileBaseName = "JobLog.csv";

    // DataFolder ends with "/" (jobs::GetDataFolder()).
    explicit TJobLog(const std::string& DataFolder);
    TJobLog(const TJobLog&) = delete;
    TJobLog& operator=(const TJobLog&) = delete;

    // Borrowed until unsubscribed.
    void Subscribe(TJobLogObserver& Observer);
    void Unsubscribe(TJobLogObserver& Observer);

    // Reads the file when it exists and subscribes to job-ended reports.
    bool InitJobLog(messaging::TSpiderOutputSplitter& Splitter);
    // Reads the file again; false when it exists and cannot be read.
    bool Load();
    // The subscription's handler: a row for every ended job, whatever its outcome.
    void OnSpiderOutput(const messaging::TSpiderOutputMsg& Msg);

    // Follows the "LogCompletedJobs" preference; turning it off empties the
    // rows and the file.
    void SetJobLogEnabled(bool Enabled);
    bool JobLogEnabled() const { return Enabled; }

    // Appends a row and saves (only while logging is enabled).
    void AddRow(TJobLogRow Row);
    // The view's in-place edit of a row's job name.
    bool RenameRow(int Index, const std::string& JobName);
    // Removes the rows named (any order, duplicates ignored) and saves once.
    bool RemoveRows(std::vector<int> Indexes);
    bool SaveJobLog();

    TJobLogCommands AllowedCommands(int Index) const;
    int Count() const { return static_cast<int>(Rows.size()); }
    const TJobLogRow& Row(int Index) const { return Rows.at(Index); }
    const std::string& FilePath() const { return Path; }

  private:
    bool IsRow(int Index) const { return Index >= 0 && Index < Count(); }

    std::string Path;
    std::vector<TJobLogRow> Rows;
    TObserverList<TJobLogObserver> Observers; // borrowed
    bool Enabled = true;
};

// The local date in the user's short form, a blank and the time; the time is
// left out at exactly midnight.
std::string JobLogDateText(std::time_t Moment);

// The column captions "Job Name", "Date", "Address", "Filename".
std::vector<std::string> JobLogColumnCaptions();

} // namespace queue
