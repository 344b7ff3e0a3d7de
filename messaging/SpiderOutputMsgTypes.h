#pragma once

#include "jobs/JobTypes.h"
#include "web/LinkType.h"
#include "web/URLType.h"

#include <cstdint>
#include <initializer_list>
#include <string>

// What the copy engine reports. Every record is a plain value: the output
// queue keeps copies, and copying into a record that held a message before
// reuses its string buffers, so a warm queue copies without allocating.
namespace messaging {

// The numbers travel in messages and form the bits of subscription masks.
enum TSpiderOutputMsgKind : std::uint8_t {
    somJobStarted = 1,
    somJobPaused = 2,
    somJobResumed = 3,
    somJobEnded = 4,
    somDownloadStarted = 5,
    somDownloadProgress = 6, // at most once a second per download
    somDownloadEnded = 7,
    somParseStarted = 9,
    somParseProgress = 10,
    somLinkFound = 11,
    somParseEnded = 12,
    somRewriteStarted = 13,
    somRewriteProgress = 14,
    somRewriteEnded = 16,
    somPruneStarted = 17,
    somPruneFolder = 18, // a subfolder is examined
    somPruneEnded = 19,
    somFlattenStarted = 20,
    somFlattenFileMoved = 21,
    somFlattenEnded = 22,
};

// A job's outcome, in Status of somJobEnded.
enum TJobOutcome : std::uint8_t {
    joCompleted = 2,
    joStopped = 3,
    joAborted = 4,
    joFailed = 5,
};

// A download's outcome, in TFileDownloadResults::Outcome.
enum TDownloadOutcome : std::uint8_t {
    doCompleted = 2,
    doStopped = 3,
    doAborted = 4,
    doFailed = 5, // the download raised an error; OutcomeText says which
};

// A page parse or rewrite, in TFileReadWriteMsg::Status.
enum TFileReadWriteStatus : std::uint8_t {
    frwStarted = 0,
    frwProgress = 1,
    frwDone = 2,
    frwAborted = 4,
    frwFailed = 5, // ErrorText says why
};

// A set of message kinds 0-31 for subscriptions: bit k stands for kind k.
using TSpiderOutputKindSet = std::uint32_t;

constexpr TSpiderOutputKindSet SpiderOutputKinds(std::initializer_list<std::uint8_t> Kinds) {
    TSpiderOutputKindSet set = 0;
    for (auto kind : Kinds)
        if (kind < 32) set |= TSpiderOutputKindSet{1} << kind;
    return set;
}

// Every kind from First to Last, both included.
constexpr TSpiderOutputKindSet SpiderOutputKindRange(std::uint8_t First, std::uint8_t Last) {
    TSpiderOutputKindSet set = 0;
    for (unsigned kind = First; kind <= Last && kind < 32; ++kind)
        set |= TSpiderOutputKindSet{1} << kind;
    return set;
}

// Progress of a running download. Sizes are 64-bit so that files beyond 2 GiB
// are shown correctly.
struct TFileDownloadProgress {
    std::string ContentType;
    std::int64_t ExpectedSize = 0; // announced length; 0 when none
    std::int64_t BytesReceived = 0;
    std::int32_t ElapsedMs = -1;   // -1 until the transfer has been timed
    std::int64_t ResumeOffset = 0; // bytes already on disk when a partial file is continued
    bool Valid = false;            // false in somDownloadStarted
};

// How a download ended (somDownloadEnded).
struct TFileDownloadResults {
    std::uint8_t Outcome = 0; // TDownloadOutcome
    std::string OutcomeText;  // the error's text for doFailed
    std::int32_t StatusCode = 0;
    std::string StatusText;
    std::int32_t OsError = 0; // errno value, or 12000 + curl code
    bool HaveOsError = false;
    bool Filtered = false;
    std::uint8_t FilterReason = 0; // the download filter's code; 0 when not filtered
    bool PageSaved = false;        // an HTML page was saved and exists on disk
    web::TURL RedirectTarget;      // valid only after a redirection
    bool RedirectQueued = false;   // the target was added to the job or queued again
    std::int64_t SavedBytes = -1;  // size of the file the download itself saved; -1 when it saved none
};

// One download as the dispatcher reports it (kinds 5-7).
struct TFileDownloadMsg {
    std::int32_t DownloadNumber = 0; // the dispatcher's number; never restarts
    web::TURL Address;
    web::TURL Referrer;
    std::string LocalFile;
    TFileDownloadProgress Progress;
    TFileDownloadResults Results;
};

// A saved page being parsed (kinds 9-12) or rewritten (kinds 13-16).
struct TFileReadWriteMsg {
    std::uint8_t Status = 0;     // TFileReadWriteStatus
    std::string ErrorText;       // for frwFailed
    std::int32_t FileNumber = 0; // counts parses, and separately rewrites, for the program's life
    web::TURL Address;
    std::string LocalFile;
    std::int32_t LinkCount = 0; // links found, in somParseEnded
    std::int32_t Total = 0;     // amount of work of the current phase
    std::int32_t Percent = 0;   // 0-100
};

// One file moved up by folder flattening (kind 21).
struct TFolderFlatteningProgress {
    std::string SourceFile;
    std::string DestinationFile;
};

// One report of the copy engine. Which fields mean something depends on Kind;
// the others keep whatever they held.
class TSpiderOutputMsg {
  public:
    void Assign(const TSpiderOutputMsg& Source) { *this = Source; }

    std::uint8_t Kind = 0;           // TSpiderOutputMsgKind
    std::int32_t JobNumber = 0;      // kinds 1-7 and 17-22; 0 from link extraction and rewriting
    jobs::TCopyJob Job;              // kinds 1 and 4
    std::uint8_t Status = 0;         // kind 4: TJobOutcome; 1 in kinds 5-7; else 0
    TFileDownloadMsg FileDownload;   // kinds 5-7; kind 4 of a job failed at its start: that download
    TFileReadWriteMsg FileReadWrite; // kinds 9, 10, 12-16
    web::TWebLinkInfo Link;          // kind 11, with whether it was added to the job
    std::string StartPageFile;       // from the end of the crawl on (kinds 4, 17, 19, 20, 22)
    std::string JobErrorText;        // kind 4: why a job failed at its start; empty otherwise
    std::string FolderPath;          // kind 18
    TFolderFlatteningProgress Flattening; // kind 21
};

// Copies Source's kind, number and status and the fields its kind gives
// meaning to (as listed above); the rest of Target keeps what it held. A
// download report then travels without the job's settings beside it.
void AssignReport(TSpiderOutputMsg& Target, const TSpiderOutputMsg& Source);

// Short English name of a kind for traces and the runner's verbose output
// ("download ended"); "unknown" outside the table.
const char* SpiderOutputMsgKindName(std::uint8_t Kind);

} // namespace messaging
