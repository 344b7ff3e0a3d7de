#include "base/AtomicReplace.h"

#include "base/PosixFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace base {

namespace {

// Unique among the threads and processes that may replace the same file at once.
std::string TemporaryNameFor(const std::string& Path) {
    static std::atomic<unsigned> counter{0};
    const auto slash = Path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : Path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? Path : Path.substr(slash + 1);
    return folder + "." + name + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
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
    if (!Name.empty()) ::unlink(Name.c_str());
    Name.clear();
}

bool TReplaceScratch::Replace(const std::string& Path,
                              const std::function<bool(const std::string& Temporary)>& Write) {
    struct stat old {};
    if (::stat(Path.c_str(), &old) != 0) return ReplaceFileAtomically(Path, Write, {.Sync = false});
    // Beside the first file, so that it lies on the file system of the copy.
    if (Name.empty()) Name = TemporaryNameFor(Path);
    bool ok = Write(Name) && ::chmod(Name.c_str(), old.st_mode & 07777) == 0;
    if (ok && ::renameat2(AT_FDCWD, Name.c_str(), AT_FDCWD, Path.c_str(), RENAME_EXCHANGE) == 0) {
        // Still linked elsewhere (an original kept beside the page): the old
        // content must survive, so it cannot serve as the next scratch.
        struct stat swapped {};
        if (::stat(Name.c_str(), &swapped) != 0 || swapped.st_nlink > 1) Drop();
        return true;
    }
    if (ok && errno == EXDEV) {
        // Path lies on another file system than the scratch: a file beside it serves.
        Drop();
        return ReplaceFileAtomically(Path, Write, {.Sync = false});
    }
    ok = ok && ::rename(Name.c_str(), Path.c_str()) == 0;
    const int error = errno;
    if (ok) Name.clear();
    else Drop();
    errno = error;
    return ok;
}

} // namespace base
