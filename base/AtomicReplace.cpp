#include "base/AtomicReplace.h"

#include "base/PosixFile.h"
#include "base/StringSink.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace base {

namespace {

// The folder part of Path with its final slash; empty for a bare name.
std::string FolderOf(const std::string& Path) {
    const auto slash = Path.rfind('/');
    return slash == std::string::npos ? std::string() : Path.substr(0, slash + 1);
}

// Unique among the threads and processes that may replace the same file at once.
std::string TemporaryNameFor(const std::string& Path) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(Path);
    return folder + "." + Path.substr(folder.size()) + ".tmp" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1));
}

bool SyncFile(const std::string& Path) {
    TFileDescriptor file(::open(Path.c_str(), O_WRONLY | O_CLOEXEC));
    return file.Get() >= 0 && ::fdatasync(file.Get()) == 0;
}

} // namespace

bool ReplaceFileAtomically(const std::string& Path, const std::function<bool(const std::string& Temporary)>& Write,
                           const TReplaceOptions& Options) {
    struct stat old {};
    const bool exists = ::stat(Path.c_str(), &old) == 0;
    const std::string temporary = TemporaryNameFor(Path);
    bool ok = Write(temporary);
    if (ok && Options.Secret)
        ok = ::chmod(temporary.c_str(), 0600) == 0;
    else if (ok && exists)
        ok = ::chmod(temporary.c_str(), old.st_mode & 07777) == 0;
    ok = ok && (!Options.Sync || SyncFile(temporary));
    ok = ok && ::rename(temporary.c_str(), Path.c_str()) == 0;
    if (!ok) {
        const int error = errno;
        ::unlink(temporary.c_str());
        errno = error;
    }
    return ok;
}

bool ReplaceFileAtomically(const std::string& Path, std::string_view Data, const TReplaceOptions& Options) {
    return ReplaceFileAtomically(
        Path,
        [&](const std::string& Temporary) {
            // A secret is never readable by others, not even before the chmod.
            TFileDescriptor file(
                ::open(Temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, Options.Secret ? 0600 : 0666));
            return file.Get() >= 0 && WriteAll(file.Get(), Data) && file.Close();
        },
        Options);
}

TReplaceScratch::~TReplaceScratch() { Drop(); }

void TReplaceScratch::Drop() {
    NameFile = TFileDescriptor();
    NameSize = -1;
    if (!Name.empty()) ::unlink(Name.c_str());
    Name.clear();
    NameMode = 0;
}

// The new content is gathered in memory and, unless it is the same as Old,
// written over the scratch in one call.
bool TReplaceScratch::Fill(const TWrite& Write, std::optional<std::string_view> Old, bool& Unchanged) {
    Content.clear();
    TStringSink sink(Content);
    std::ostream output(&sink);
    bool ok = Write(output) && output.flush();
    Unchanged = ok && Old == std::string_view(Content);
    ok = ok && (Unchanged || WriteScratch());
    const int error = errno;
    GiveBackLargeRoom(Content);
    errno = error;
    return ok;
}

// A scratch no longer than the content needs no cut.
bool TReplaceScratch::WriteScratch() {
    if (NameFile.Get() < 0) {
        // Never through a symbolic link, and a missing scratch is created, never taken over.
        NameSize = -1;
        NameFile = TFileDescriptor(::open(Name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
        if (NameFile.Get() < 0 && errno == ENOENT) {
            NameMode = 0;
            NameFile = TFileDescriptor(
                ::open(Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        }
    }
    const auto size = static_cast<off_t>(Content.size());
    const bool cut = NameSize < 0 || NameSize > size;
    NameSize = -1;
    // Closed before the swap, so that its last error still keeps Path as it was.
    return NameFile.Get() >= 0 && WriteAllFromStart(NameFile.Get(), Content) &&
           (!cut || ::ftruncate(NameFile.Get(), size) == 0) && NameFile.Close();
}

// The descriptor of the replaced file reaches its old content, which the
// scratch name holds now: it serves the next fill when it is that very file.
void TReplaceScratch::KeepOpen(TReplacedFile* Replaced, const struct stat& Swapped) {
    if (Replaced && Replaced->File.Get() >= 0 && Replaced->Status.st_dev == Swapped.st_dev &&
        Replaced->Status.st_ino == Swapped.st_ino) {
        NameFile = std::move(Replaced->File);
        NameSize = Swapped.st_size;
    }
}

bool TReplaceScratch::Replace(const std::string& Path, const TWrite& Write, TReplacedFile* Replaced) {
    struct stat old {};
    if (Replaced) old = Replaced->Status;
    const bool exists = Replaced || ::stat(Path.c_str(), &old) == 0;
    // A new file takes the default permissions of a freshly created scratch.
    if (!exists) Drop();
    // Beside the first file, so that it lies on the file system of the copy.
    if (Name.empty()) Name = TemporaryNameFor(Path);
    const mode_t mode = old.st_mode & 07777;
    bool unchanged = false;
    bool ok = Fill(Write, Replaced ? Replaced->Content : std::nullopt, unchanged);
    if (unchanged) return true;
    ok = ok && (!exists || NameMode == mode || ::chmod(Name.c_str(), mode) == 0);
    if (ok && exists && ::renameat2(AT_FDCWD, Name.c_str(), AT_FDCWD, Path.c_str(), RENAME_EXCHANGE) == 0) {
        // The old content serves as the next scratch only while nothing else
        // reaches it: not an original kept beside the page (a second link),
        // nor a symbolic link that would lead the next page's writing elsewhere.
        struct stat swapped {};
        if (::lstat(Name.c_str(), &swapped) != 0 || !S_ISREG(swapped.st_mode) || swapped.st_nlink > 1) {
            Drop();
        } else {
            NameMode = swapped.st_mode & 07777;
            KeepOpen(Replaced, swapped);
        }
        return true;
    }
    if (ok && exists && errno == EXDEV && FolderOf(Name) != FolderOf(Path)) {
        // Path lies on another file system than the scratch: a scratch beside it serves.
        Drop();
        return Replace(Path, Write, Replaced);
    }
    ok = ok && ::rename(Name.c_str(), Path.c_str()) == 0;
    const int error = errno;
    if (ok) Name.clear();
    Drop();
    errno = error;
    return ok;
}

} // namespace base
