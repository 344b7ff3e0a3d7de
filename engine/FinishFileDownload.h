#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace engine {

class TInternetRequest;
struct TDownloadTask;

// How a download uses the partial file of its destination.
struct TPartialFileUse {
    std::string Name;               // the partial file (see PartialFileName)
    std::int64_t ResumeFrom = -1;   // its size when the body continues it; -1: the body starts it afresh
    bool Keep = false;              // an incomplete file stays for a later run to resume
    // Kept beside a partial file that is started afresh, so that a later run
    // resumes it only while the server's file is the same one.
    std::string Validator;
    bool ValidatorKept = false;     // an earlier run's validator lies beside the partial file
    // A validator file may lie beside the destination (one was found, or none
    // was looked for): it is removed once the file is complete.
    bool ValidatorMayLie = true;
    // The request found no file under the destination's name.
    bool DestinationMissing = false;
    // A body that grows beyond this many bytes is stopped as too large and
    // its file removed, whatever its announced length; -1: no bound.
    std::int64_t MaxSize = -1;
};

// Saves the body of Request into the partial file first and renames it to
// the destination only when the transfer is complete, so that no
// half-written file ever carries the final name; the destination's time
// becomes FileTime. The partial file is locked before it is changed at all:
// a second download into the same destination fails as "in use" and leaves
// the first one's file alone. A body that a killed run would not keep goes
// to an unnamed file instead when the destination is missing, and only a
// complete one is linked to the final name (see OpenBodyFile). Counts the
// file with the filter and reports progress and result into Task.
void FinishFileDownload(TDownloadTask& Task, TInternetRequest& Request, const TPartialFileUse& Partial,
                        std::time_t FileTime);

} // namespace engine
