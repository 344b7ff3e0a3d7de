#include "engine/DestinationLock.h"

#include "base/AppTraceLog.h"
#include "base/ForceDir.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace engine {

namespace {

// A holder that is just removing the lock file makes the next one start over;
// more rounds than this mean something else keeps replacing the file.
constexpr int MaxLockRounds = 8;

} // namespace

TDestinationLock::TDestinationLock(const std::string& Folder) : FileName(Folder + "/.harvexis#lock") {
    if (!base::ForceDirectoriesLocked(Folder)) {
        Error = "Cannot create the destination folder " + Folder + ": " + base::SystemErrorText(errno);
        return;
    }
    for (int round = 0; round < MaxLockRounds && Error.empty(); ++round)
        if (TryLock()) return;
    if (Error.empty()) Error = "Cannot lock the destination folder " + Folder;
}

// False with Error set when the lock cannot be had; false alone when the file
// was removed by the last holder between our open and our lock.
bool TDestinationLock::TryLock() {
    File.emplace(::open(FileName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    const int handle = File->Get();
    if (handle < 0) {
        Error = "Cannot open " + FileName + ": " + base::SystemErrorText(errno);
    } else if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
        Error = errno == EWOULDBLOCK ? "Another job is copying into " + FileName.substr(0, FileName.rfind('/'))
                                     : "Cannot lock " + FileName + ": " + base::SystemErrorText(errno);
    } else if (base::PathNamesOpenFile(FileName, handle)) {
        return true;
    }
    File.reset();
    return false;
}

TDestinationLock::~TDestinationLock() {
    // Removed while still locked: a job waiting on this file sees it gone and takes a new one.
    if (File) ::unlink(FileName.c_str());
}

} // namespace engine
