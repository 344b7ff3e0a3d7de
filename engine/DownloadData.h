#pragma once

#include "web/URLType.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace engine {

// Progress of the running download, read by the dispatcher while it runs.
// Sizes are 64-bit: files of 4 GiB and more are counted and resumed correctly.
struct TFileDownloadInProgressData {
    bool TransferStarted = false;
    std::int64_t ExpectedSize = 0;   // announced length plus any resumed part; 0 when none announced
    std::string ContentType;         // at most 99 characters
    std::int64_t BytesReceived = 0;  // includes the resumed part
    std::int64_t ResumeOffset = 0;   // size of the partial file that was continued
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
    std::int64_t SavedBytes = -1;  // size of the file this download renamed into place; -1: it saved none
    bool ExceptionRaised = false;
    std::string ExceptionText;

    void Clear() { *this = TFileDownloadCompleteData(); }
};

// The progress and the destination file of the running download: written by
// the download thread, read by the dispatcher at any time.
class TDownloadProgress {
public:
    // A new download into DestinationFile, with no progress yet.
    void Start(const std::string& DestinationFile) {
        std::lock_guard guard(Lock);
        Data = TFileDownloadInProgressData();
        Destination = DestinationFile;
    }
    TFileDownloadInProgressData Get() const {
        std::lock_guard guard(Lock);
        return Data;
    }
    // Runs Change on the progress with the lock held; Change must be quick.
    template <typename TChange> void Update(TChange&& Change) {
        std::lock_guard guard(Lock);
        Change(Data);
    }
    std::string ContentType() const {
        std::lock_guard guard(Lock);
        return Data.ContentType;
    }
    // The MIME table may extend the destination during the download.
    std::string DestinationFile() const {
        std::lock_guard guard(Lock);
        return Destination;
    }
    void SetDestinationFile(const std::string& FileName) {
        std::lock_guard guard(Lock);
        Destination = FileName;
    }

private:
    mutable std::mutex Lock;  // guards Data and Destination
    TFileDownloadInProgressData Data;
    std::string Destination;
};

} // namespace engine
