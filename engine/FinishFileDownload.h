#pragma once

#include <ctime>
#include <string>

namespace engine {

class TInternetRequest;
struct TDownloadTask;

// Saves the body of Request: into PartialFile ("<destination>.part") first,
// appended to when Resume, and renamed to the destination only when the
// transfer is complete, so that no half-written file ever carries the final
// name; the destination's time becomes FileTime. An incomplete partial file
// stays only when KeepPartialFile. Counts the file with the filter and
// reports progress and result into Task.
void FinishFileDownload(TDownloadTask& Task, TInternetRequest& Request, const std::string& PartialFile,
                        std::time_t FileTime, bool Resume, bool KeepPartialFile);

} // namespace engine
