#include "engine/FinishFileDownload.h"

#include "engine/DownloadFilter.h"
#include "engine/DownloadTask.h"
#include "engine/PartialFile.h"
#include "base/AppTraceLog.h"
#include "base/PosixFile.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

using base::TraceLog;

namespace {

// The body moves in pieces of this size. No yield between pieces: the
// scheduler preempts anyway, and on a busy machine each yield gave away a
// whole time slice, twice for every small file (a copy of 2,000 pages took a
// third longer).
constexpr std::size_t ReadPieceSize = 5000;

std::system_error FileError(const std::string& What) {
    return std::system_error(errno, std::generic_category(), What);
}

// The saved file's modification time becomes the server's Last-Modified
// (UTC). Set through the open file before its rename, which keeps the time.
void SetFileCreationDate(int Handle, const std::string& FileName, std::time_t FileTime) {
    const timespec times[2] = {{0, UTIME_OMIT}, {FileTime, 0}};
    if (::futimens(Handle, times) != 0)
        base::TraceLog.LogAPIError("SetFileTime " + FileName, "SetFileCreationDate", DownloadUnitName);
}

std::string FolderOf(const std::string& Destination) {
    return std::filesystem::path(Destination).parent_path().string();
}

// The partial file, created with its folder when missing. Its validator may
// follow it.
int OpenPartialFile(TDownloadTask& Task, const std::string& Name) {
    const std::string destination = Task.DestinationFile();
    Task.Naming(Name);
    Task.Naming(PartialValidatorName(destination));
    const auto open = [&] { return ::open(Name.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644); };
    int handle = open();
    // A file where a folder belongs says so through the folder's creation.
    if (handle >= 0 || (errno != ENOENT && errno != ENOTDIR)) return handle;
    const std::string folder = FolderOf(destination);
    if (!Task.MakeFolder(folder)) throw FileError("create folder " + folder);
    return open();
}

// The validator of a body that starts its partial file afresh is written
// before the body when the body is large or of unknown length, or when an
// earlier run's validator must give way, so that even a killed run leaves the
// file resumable; else only once the transfer is cut short (see
// KeepValidatorOfCutFile). A small file is cheaper to fetch again whole than
// a file created and removed beside every download, and on ext4 every freed
// inode slows the creations after it.
constexpr std::int64_t ValidatorFirstSize = 1 << 20;

bool ValidatorWrittenFirst(TDownloadTask& Task, const TPartialFileUse& Partial) {
    if (!Partial.Keep || Partial.ResumeFrom >= 0) return false;
    const std::int64_t expected = Task.Progress.Get().ExpectedSize;
    return Partial.ValidatorKept || expected == 0 || expected >= ValidatorFirstSize;
}

void KeepValidatorOfCutFile(TDownloadTask& Task, const TPartialFileUse& Partial) {
    if (Partial.ResumeFrom >= 0 || ValidatorWrittenFirst(Task, Partial)) return;
    // Without it the file is fetched whole next time: nothing worse.
    if (!WritePartialValidator(Task.DestinationFile(), Partial.Validator))
        base::TraceLog.LogAPIError("write validator of " + Partial.Name, "FinishFileDownload", DownloadUnitName);
}

// Locked before anything in it changes, so that a second download into the
// same destination can neither truncate nor append to the first one's file;
// a file renamed away meanwhile (a download that just completed) is no longer
// the partial file either. A resumed file must still end where the request
// continued it; any other answer starts the file afresh. Returns the open
// file's status.
struct stat LockPartialFile(TDownloadTask& Task, int Handle, const TPartialFileUse& Partial) {
    const std::string inUse = "File in use by another download: " + Partial.Name;
    if (::flock(Handle, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) throw std::runtime_error(inUse);
        throw FileError("lock " + Partial.Name);
    }
    struct stat opened;
    if (!base::PathNamesOpenFile(Partial.Name, Handle, &opened)) throw std::runtime_error(inUse);
    if (Partial.ResumeFrom < 0) {
        // A truncation, even of an empty file, makes ext4 write the file out
        // when it is closed: a new partial file is left as it is.
        if (opened.st_size > 0 && ::ftruncate(Handle, 0) != 0) throw FileError("truncate " + Partial.Name);
        if (ValidatorWrittenFirst(Task, Partial) && !WritePartialValidator(Task.DestinationFile(), Partial.Validator))
            throw FileError("write validator of " + Partial.Name);
        return opened;
    }
    if (opened.st_size != Partial.ResumeFrom) throw std::runtime_error(inUse);
    Task.Progress.Update([&](TFileDownloadInProgressData& Progress) {
        Progress.ResumeOffset = Progress.BytesReceived = opened.st_size;
        if (Progress.ExpectedSize != 0) Progress.ExpectedSize += opened.st_size;
    });
    return opened;
}

// The file that the body is written to: the locked partial file, or an
// unnamed one (see OpenBodyFile).
struct TBodyFile {
    base::TFileDescriptor File;
    bool Unnamed = false;
    struct stat Opened {};  // the partial file's status as it was locked
};

TBodyFile OpenNamedPartialFile(TDownloadTask& Task, const TPartialFileUse& Partial) {
    base::TFileDescriptor file(OpenPartialFile(Task, Partial.Name));
    if (file.Get() < 0) throw FileError("open " + Partial.Name);
    const struct stat opened = LockPartialFile(Task, file.Get(), Partial);
    return {std::move(file), false, opened};
}

// An unnamed file (O_TMPFILE) in the destination's folder, made with the
// folder when missing; -1 when the file system has none.
int OpenUnnamedFile(TDownloadTask& Task) {
    const std::string folder = FolderOf(Task.DestinationFile());
    const auto open = [&] { return ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644); };
    int handle = open();
    if (handle >= 0 || errno != ENOENT) return handle;
    if (!Task.MakeFolder(folder)) throw FileError("create folder " + folder);
    return open();
}

// A body that a killed run would not keep (see ValidatorWrittenFirst) needs
// no partial file while the destination is missing and no earlier partial
// file lies there to be replaced: it goes to an unnamed file, which only a
// complete transfer links to the final name. The folder then changes once
// per file instead of twice (a creation and a rename), which is what four
// downloads into one folder wait on, and no lock or identity check is
// needed, since no other download can reach the file.
TBodyFile OpenBodyFile(TDownloadTask& Task, const TPartialFileUse& Partial) {
    if (Partial.DestinationMissing && Partial.ResumeFrom < 0 && !ValidatorWrittenFirst(Task, Partial) &&
        !Task.NameTaken(Partial.Name)) {
        base::TFileDescriptor unnamed(OpenUnnamedFile(Task));
        if (unnamed.Get() >= 0) return {std::move(unnamed), true, {}};
    }
    return OpenNamedPartialFile(Task, Partial);
}

// Copies an unnamed body into the partial file, which then stands for it as
// if the body had been written there: a body cut short is kept to be
// resumed, and a complete one whose name could not be linked (a file took
// the name meanwhile) is renamed over it.
TBodyFile NameThroughPartialFile(TDownloadTask& Task, const TPartialFileUse& Partial, int Unnamed) {
    TBodyFile named = OpenNamedPartialFile(Task, Partial);
    char buffer[1 << 16];
    for (off_t offset = 0;;) {
        const ssize_t count = ::pread(Unnamed, buffer, sizeof buffer, offset);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throw FileError("read back the body of " + Partial.Name);
        if (count == 0) return named;
        if (!base::WriteAll(named.File.Get(), std::string_view(buffer, static_cast<std::size_t>(count))))
            throw FileError("write " + Partial.Name);
        offset += count;
    }
}

// A page's body is kept as it is written, while it stays small enough.
void KeepPageBody(TDownloadTask& Task, std::string_view Piece) {
    if (!Task.PageBody || !Task.Complete.IsPage) return;
    if (Task.PageBody->size() + Piece.size() > MaxKeptPageBody) {
        Task.PageBody->clear();
        Task.PageBody = nullptr;
        return;
    }
    Task.PageBody->append(Piece);
}

// Moves the body to the file. True when the read ended without failure,
// also when a stop or the job's time limit ended it early; false, refused by
// file size, when the body grew beyond the bound of Partial.
bool ReadFileFromWininetHandle(TDownloadTask& Task, TInternetRequest& Request, int Handle,
                               const TPartialFileUse& Partial) {
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
        if (!base::WriteAll(Handle, std::string_view(buffer, count))) throw FileError("write " + Partial.Name);
        KeepPageBody(Task, std::string_view(buffer, count));
        const auto elapsed = std::chrono::steady_clock::now() - started;
        std::int64_t received = 0;
        Task.Progress.Update([&](TFileDownloadInProgressData& Progress) {
            received = Progress.BytesReceived += static_cast<std::int64_t>(count);
            Progress.ElapsedMs = static_cast<std::int32_t>(
                std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
        });
        if (Partial.MaxSize >= 0 && received > Partial.MaxSize) {
            Task.Complete.FilterResult = dfFileSize;
            base::TraceLog.LogEntry(base::ttWarning,
                                    "Body stopped beyond " + std::to_string(Partial.MaxSize) + " bytes: " +
                                        Partial.Name,
                                    "ReadFileFromWininetHandle", DownloadUnitName);
            return false;
        }
        if (Task.Filter.TimeLimitUsedUp()) {
            Task.Complete.FilterResult = dfJobTime;
            return true;
        }
        if (count == 0) return true;
    }
}

// Links the unnamed file to the destination's name, which must be free;
// false with errno when it cannot be linked. Straight from the handle where
// the kernel allows it (since Linux 6.10 for a file the process opened
// itself), which spares a walk through /proc per file; older kernels refuse
// that with ENOENT.
bool LinkUnnamedFile(int Handle, const std::string& Destination) {
    if (::linkat(Handle, "", AT_FDCWD, Destination.c_str(), AT_EMPTY_PATH) == 0) return true;
    if (errno != ENOENT) return false;
    const std::string self = "/proc/self/fd/" + std::to_string(Handle);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, Destination.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// The rename replaces an older copy in one step, so the destination is never
// missing or half-written; a failure is reported, never passed off as success.
void CompleteTransfer(TDownloadTask& Task, const TPartialFileUse& Partial, TBodyFile& Body, std::time_t FileTime) {
    const std::string destination = Task.DestinationFile();
    Task.Naming(destination);
    SetFileCreationDate(Body.File.Get(), destination, FileTime);
    if (Body.Unnamed && !LinkUnnamedFile(Body.File.Get(), destination)) {
        Body = NameThroughPartialFile(Task, Partial, Body.File.Get());
        SetFileCreationDate(Body.File.Get(), destination, FileTime);
    }
    if (!Body.Unnamed) {
        // Removed meanwhile (a failed range of another run deletes it): whatever
        // has its name now is not what this download wrote.
        if (!base::PathNamesFile(Partial.Name, Body.Opened))
            throw std::runtime_error("Partial file removed during the download: " + Partial.Name);
        if (::rename(Partial.Name.c_str(), destination.c_str()) != 0) {
            Task.RecordError(errno, "MoveFile " + Partial.Name, "FinishFileDownload", nullptr);
            return;
        }
    }
    Task.Complete.SavedBytes = Task.Progress.Get().BytesReceived;
    // Nearly every download neither found nor wrote one: no removal to try.
    if (Partial.ValidatorMayLie || ValidatorWrittenFirst(Task, Partial)) RemovePartialValidator(destination);
}

} // namespace

void FinishFileDownload(TDownloadTask& Task, TInternetRequest& Request, const TPartialFileUse& Partial,
                        std::time_t FileTime) {
    Task.Progress.Update([](TFileDownloadInProgressData& Progress) {
        Progress.ResumeOffset = 0;
        Progress.BytesReceived = 0;
        Progress.TransferStarted = true;
    });
    // A resumed body is only the end of the file.
    if (Partial.ResumeFrom >= 0) Task.PageBody = nullptr;
    auto& complete = Task.Complete;
    try {
        // Style sheets are read for links as pages are.
        const std::string contentType = Task.Progress.ContentType();
        if (Task.Address.IsHTML(contentType) || Task.Address.IsStyleSheet(contentType)) complete.IsPage = true;
        TBodyFile body = OpenBodyFile(Task, Partial);
        const bool readOk = ReadFileFromWininetHandle(Task, Request, body.File.Get(), Partial);
        const bool transferred = readOk && !complete.Stopped && complete.FilterResult != dfJobTime;
        // A body stopped as too large is not kept to be resumed: it would
        // only grow too large again.
        const bool tooLarge = complete.FilterResult == dfFileSize;
        // A partial file is renamed or removed while still locked, so that no
        // other download takes it over in between.
        if (transferred) {
            CompleteTransfer(Task, Partial, body, FileTime);
        } else if (!Partial.Keep || tooLarge) {
            if (!body.Unnamed && ::unlink(Partial.Name.c_str()) != 0 && errno != ENOENT)
                base::TraceLog.LogAPIError("DeleteFile " + Partial.Name, "FinishFileDownload", DownloadUnitName);
            RemovePartialValidator(Task.DestinationFile());
        } else {
            if (body.Unnamed) body = NameThroughPartialFile(Task, Partial, body.File.Get());
            KeepValidatorOfCutFile(Task, Partial);
        }
        if (!body.File.Close()) throw FileError("close " + Partial.Name);
        if (readOk) {
            if (!complete.HaveStatus) {
                complete.HaveStatus = true;
                complete.StatusCode = 200;
                complete.StatusText = "OK";
            }
            Task.Filter.CountFile(Task.Progress.Get().BytesReceived);
        }
    } catch (const std::exception& Error) {
        Task.RecordException(Error, "FinishFileDownload " + Partial.Name);
    }
    // Only a body that the saved file holds whole stands for the file.
    if (Task.PageBody && complete.SavedBytes < 0) Task.PageBody->clear();
}

} // namespace engine
