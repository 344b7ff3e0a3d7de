#pragma once

#include "queue/DownloadResultText.h"

#include <cstdint>
#include <string>

// The rows and events of the copy progress model (queue/CopyProgress.h).
namespace queue {

// What a row of the files in progress is doing; also the row's icon.
enum class TActivityKind : int {
    Downloading = 0,
    Reading = 1,
    Writing = 2,
    Pruning = 3,
    Flattening = 4,
};

// The caption of an activity in the running list, from the language texts.
std::string ActivityText(TActivityKind Kind);

// One finished download.
struct TCompletedFile {
    TDownloadResultIcon Icon = TDownloadResultIcon::Success;
    std::string Result;   // "OK", "Not Found", "Filtered: Depth", ...
    std::string Location; // the local file when it was saved, else the address
};

// One file being downloaded, read or rewritten, or the pruning or flattening step.
struct TActiveFile {
    TActivityKind Kind = TActivityKind::Downloading;
    std::int32_t Tag = 0; // download number (Downloading) or file number (Reading, Writing)
    std::string Location;
    std::string Size;
    std::string Done; // "42%", or the bytes received when no size was announced
    std::uint64_t Id = 0; // tells rows apart between two flushes
};

// What the per-download menu needs of a running download; filled by its first progress report.
struct TActiveDownload {
    std::int32_t DownloadNumber = 0;
    std::string FileName;  // the last component of the local path
    std::string HostName;
    std::string Extension; // ".gif", or empty
    std::string MimeType;
};

// The four stop commands of one running download.
enum class TStopScope : int { File = 0, Host = 1, Extension = 2, MimeType = 3 };

// Told by TCopyProgress::Flush, on the front end's thread, of what changed
// since the previous flush. Row numbers are those after the change; a
// removal's are those before it. Inclusive ranges.
class TCopyProgressObserver {
  public:
    virtual ~TCopyProgressObserver() = default;
    virtual void CompletedRowsRemoved(int First, int Last) = 0;
    virtual void CompletedRowsInserted(int First, int Last) = 0;
    virtual void CompletedRowsChanged(int First, int Last) = 0;
    virtual void ActiveRowsRemoved(int First, int Last) = 0;
    virtual void ActiveRowsInserted(int First, int Last) = 0;
    virtual void ActiveRowsChanged(int First, int Last) = 0;
    // Running, paused, the counters or their captions changed.
    virtual void StateChanged() = 0;
};

} // namespace queue
