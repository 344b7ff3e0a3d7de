#include "engine/FinishFileDownload.h"

#include "engine/DownloadFilter.h"
#include "engine/DownloadTask.h"
#include "base/AppTraceLog.h"
#include "base/PosixFile.h"
#include "base/ForceDir.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

using base::TraceLog;

namespace {

// The body moves in pieces of this size, with a yield after each.
constexpr std::size_t ReadPieceSize = 5000;

std::system_error FileError(const std::string& What) {
    return std::system_error(errno, std::generic_category(), What);
}

// The saved file's modification time becomes the server's Last-Modified (UTC).
void SetFileCreationDate(const std::string& FileName, std::time_t FileTime) {
    const timespec times[2] = {{0, UTIME_OMIT}, {FileTime, 0}};
    if (::utimensat(AT_FDCWD, FileName.c_str(), times, 0) != 0)
        base::TraceLog.LogAPIError("SetFileTime " + FileName, "SetFileCreationDate", DownloadUnitName);
}

// A resumed partial file is appended to; any other answer starts the file
// afresh, since a whole body after a partial one would corrupt it. The lock
// keeps a second writer (another run of the job) out. -1 with errno on failure.
int OpenPartialFile(TDownloadTask& Task, const std::string& PartialFile, bool Resume) {
    const int flags = O_WRONLY | O_CLOEXEC | (Resume ? O_APPEND : O_CREAT | O_TRUNC);
    const int handle = ::open(PartialFile.c_str(), flags, 0644);
    if (handle < 0) return -1;
    struct stat info;
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0 || ::fstat(handle, &info) != 0) {
        const int error = errno;
        ::close(handle);
        errno = error;
        return -1;
    }
    if (Resume) {
        Task.Progress.Update([&](TFileDownloadInProgressData& Progress) {
            Progress.ResumeOffset = Progress.BytesReceived = info.st_size;
            if (Progress.ExpectedSize != 0) Progress.ExpectedSize += info.st_size;
        });
    }
    return handle;
}

// Moves the body to the file. True when the read ended without failure,
// also when a stop or the job's time limit ended it early.
bool ReadFileFromWininetHandle(TDownloadTask& Task, TInternetRequest& Request, int Handle,
                               const std::string& PartialFile) {
    const auto started = std::chrono::steady_clock::now();
    Task.Progress.Update([](TFileDownloadInProgressData& Progress) { Progress.ElapsedMs = 0; });
    Task.ReadingData();
    char buffer[ReadPieceSize];
    for (;;) {
        std::size_t count = 0;
        std::int32_t error = 0;
        const bool ok = Request.Read(buffer, sizeof buffer, count, error);
        if (Task.StopRequested()) {
            Task.Complete.Stopped = true;
            return ok;
        }
        if (!ok) {
            Task.RecordError(error, "InternetReadFile", "ReadFileFromWininetHandle", &Request);
            return false;
        }
        if (!base::WriteAll(Handle, std::string_view(buffer, count))) throw FileError("write " + PartialFile);
        const auto elapsed = std::chrono::steady_clock::now() - started;
        Task.Progress.Update([&](TFileDownloadInProgressData& Progress) {
            Progress.BytesReceived += static_cast<std::int64_t>(count);
            Progress.ElapsedMs = static_cast<std::int32_t>(
                std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
        });
        std::this_thread::yield();
        if (Task.Filter.TimeLimitUsedUp()) {
            Task.Complete.FilterResult = dfJobTime;
            return true;
        }
        if (count == 0) return true;
    }
}

// The rename replaces an older copy in one step, so the destination is never
// missing or half-written; a failure is reported, never passed off as success.
void CompleteTransfer(TDownloadTask& Task, const std::string& PartialFile, std::time_t FileTime) {
    const std::string destination = Task.DestinationFile();
    if (::rename(PartialFile.c_str(), destination.c_str()) != 0) {
        Task.RecordError(errno, "MoveFile " + PartialFile, "FinishFileDownload", nullptr);
        return;
    }
    SetFileCreationDate(destination, FileTime);
}

} // namespace

void FinishFileDownload(TDownloadTask& Task, TInternetRequest& Request, const std::string& PartialFile,
                        std::time_t FileTime, bool Resume, bool KeepPartialFile) {
    Task.Progress.Update([](TFileDownloadInProgressData& Progress) {
        Progress.ResumeOffset = 0;
        Progress.BytesReceived = 0;
        Progress.TransferStarted = true;
    });
    auto& complete = Task.Complete;
    try {
        // Style sheets are read for links as pages are.
        const std::string contentType = Task.Progress.ContentType();
        if (Task.Address.IsHTML(contentType) || Task.Address.IsStyleSheet(contentType)) complete.IsPage = true;
        const std::string folder = std::filesystem::path(Task.DestinationFile()).parent_path().string();
        if (!base::ForceDirectoriesLocked(folder)) throw FileError("create folder " + folder);
        base::TFileDescriptor file(OpenPartialFile(Task, PartialFile, Resume));
        if (file.Get() < 0) throw FileError("open " + PartialFile);
        const bool readOk = ReadFileFromWininetHandle(Task, Request, file.Get(), PartialFile);
        if (!file.Close()) throw FileError("close " + PartialFile);
        const bool transferred = readOk && !complete.Stopped && complete.FilterResult != dfJobTime;
        if (transferred) {
            CompleteTransfer(Task, PartialFile, FileTime);
        } else if (!KeepPartialFile && ::unlink(PartialFile.c_str()) != 0 && errno != ENOENT) {
            base::TraceLog.LogAPIError("DeleteFile " + PartialFile, "FinishFileDownload", DownloadUnitName);
        }
        if (readOk) {
            if (!complete.HaveStatus) {
                complete.HaveStatus = true;
                complete.StatusCode = 200;
                complete.StatusText = "OK";
            }
            Task.Filter.CountFile(Task.Progress.Get().BytesReceived);
        }
    } catch (const std::exception& Error) {
        Task.RecordException(Error, "FinishFileDownload " + PartialFile);
    }
}

} // namespace engine
