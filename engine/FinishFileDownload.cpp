// Saving a response body: into "<destination>.part" first, renamed to the
// destination only when the transfer is complete, so that no half-written
// file ever carries the final name.
#include "engine/DownloadThread.h"

#include "engine/DownloadFilter.h"
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

constexpr const char* UnitName = "DownloadThread";
// The body moves in pieces of this size, with a yield after each.
constexpr std::size_t ReadPieceSize = 5000;

// Owns an open file descriptor.
class TFileDescriptor {
public:
    explicit TFileDescriptor(int Handle) : Handle(Handle) {}
    ~TFileDescriptor() {
        if (Handle >= 0) ::close(Handle);
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;
    int Get() const { return Handle; }
    // Closes now; false with errno when the last writes could not be completed.
    bool Close() {
        const int handle = Handle;
        Handle = -1;
        return ::close(handle) == 0;
    }

private:
    int Handle;
};

std::system_error FileError(const std::string& What) {
    return std::system_error(errno, std::generic_category(), What);
}

// The saved file's modification time becomes the server's Last-Modified (UTC).
void SetFileCreationDate(const std::string& FileName, std::time_t FileTime) {
    const timespec times[2] = {{0, UTIME_OMIT}, {FileTime, 0}};
    if (::utimensat(AT_FDCWD, FileName.c_str(), times, 0) != 0)
        base::TraceLog.LogAPIError("SetFileTime " + FileName, "SetFileCreationDate", UnitName);
}

} // namespace

void TFileDownloadThread::FinishFileDownload(TInternetRequest& Request, const std::string& PartialFile,
                                             std::time_t FileTime, bool Resume, bool KeepPartialFile) {
    {
        std::lock_guard guard(ProgressLock);
        InProgress.ResumeOffset = 0;
        InProgress.BytesReceived = 0;
        InProgress.TransferStarted = true;
    }
    try {
        if (WorkAddress.IsHTML(ProgressContentType())) Complete.IsPage = true;
        const std::string folder = std::filesystem::path(DestinationFile()).parent_path().string();
        if (!base::ForceDirectoriesLocked(folder)) throw FileError("create folder " + folder);
        int handle = -1;
        if (!OpenPartialFile(PartialFile, Resume, handle)) throw FileError("open " + PartialFile);
        TFileDescriptor file(handle);
        const bool readOk = ReadFileFromWininetHandle(Request, file.Get(), PartialFile);
        if (!file.Close()) throw FileError("close " + PartialFile);
        const bool complete = readOk && !Complete.Stopped && Complete.FilterResult != dfJobTime;
        if (complete) {
            CompleteTransfer(PartialFile, FileTime);
        } else if (!KeepPartialFile && ::unlink(PartialFile.c_str()) != 0 && errno != ENOENT) {
            base::TraceLog.LogAPIError("DeleteFile " + PartialFile, "FinishFileDownload", UnitName);
        }
        if (readOk) {
            if (!Complete.HaveStatus) {
                Complete.HaveStatus = true;
                Complete.StatusCode = 200;
                Complete.StatusText = "OK";
            }
            Filter.CountFile(Progress().BytesReceived);
        }
    } catch (const std::exception& Error) {
        Complete.ExceptionRaised = true;
        Complete.ExceptionText = Error.what();
        base::TraceLog.LogEntry(base::ttException, Error.what(), "FinishFileDownload " + PartialFile,
                          UnitName);
    }
}

// A resumed partial file is appended to; any other answer starts the file
// afresh, since a whole body after a partial one would corrupt it. The lock
// keeps a second writer (another run of the job) out.
bool TFileDownloadThread::OpenPartialFile(const std::string& PartialFile, bool Resume, int& Handle) {
    const int flags = O_WRONLY | O_CLOEXEC | (Resume ? O_APPEND : O_CREAT | O_TRUNC);
    Handle = ::open(PartialFile.c_str(), flags, 0644);
    if (Handle < 0) return false;
    struct stat info;
    if (::flock(Handle, LOCK_EX | LOCK_NB) != 0 || ::fstat(Handle, &info) != 0) {
        const int error = errno;
        ::close(Handle);
        Handle = -1;
        errno = error;
        return false;
    }
    if (Resume) {
        std::lock_guard guard(ProgressLock);
        InProgress.ResumeOffset = InProgress.BytesReceived = info.st_size;
        if (InProgress.ExpectedSize != 0) InProgress.ExpectedSize += info.st_size;
    }
    return true;
}

// Moves the body to the file. True when the read ended without failure,
// also when a stop or the job's time limit ended it early.
bool TFileDownloadThread::ReadFileFromWininetHandle(TInternetRequest& Request, int Handle,
                                                    const std::string& PartialFile) {
    const auto started = std::chrono::steady_clock::now();
    {
        std::lock_guard guard(ProgressLock);
        InProgress.ElapsedMs = 0;
    }
    SetState(dsReadingData);
    char buffer[ReadPieceSize];
    for (;;) {
        std::size_t count = 0;
        std::int32_t error = 0;
        const bool ok = Request.Read(buffer, sizeof buffer, count, error);
        if (StopRequested()) {
            Complete.Stopped = true;
            return ok;
        }
        if (!ok) {
            RecordError(error, "InternetReadFile", "ReadFileFromWininetHandle", &Request);
            return false;
        }
        if (!base::WriteAll(Handle, std::string_view(buffer, count))) throw FileError("write " + PartialFile);
        {
            std::lock_guard guard(ProgressLock);
            InProgress.BytesReceived += static_cast<std::int64_t>(count);
            InProgress.ElapsedMs = static_cast<std::int32_t>(
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                      started)
                    .count());
        }
        std::this_thread::yield();
        if (Filter.TimeLimitUsedUp()) {
            Complete.FilterResult = dfJobTime;
            return true;
        }
        if (count == 0) return true;
    }
}

// The rename replaces an older copy in one step, so the destination is never
// missing or half-written; a failure is reported, never passed off as success.
void TFileDownloadThread::CompleteTransfer(const std::string& PartialFile, std::time_t FileTime) {
    const std::string destination = DestinationFile();
    if (::rename(PartialFile.c_str(), destination.c_str()) != 0) {
        RecordError(errno, "MoveFile " + PartialFile, "FinishFileDownload", nullptr);
        return;
    }
    SetFileCreationDate(destination, FileTime);
}

} // namespace engine
