#include "base/ForceDir.h"

#include <cerrno>
#include <mutex>

#include <sys/stat.h>

namespace base {

namespace {

std::mutex& FolderCreationLock() {
    static std::mutex lock;  // serialises every forced folder creation of the program
    return lock;
}

bool IsFolder(const std::string& Path) {
    struct stat info {};
    return ::stat(Path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folder is made first and its parents only when they are missing: a
// download's new folder usually lies in one that exists, and then a single
// call makes it.
bool CreateWithParents(const std::string& Path, const TFolderMade& OnMade) {
    if (Path.empty() || Path == "/") return true;
    const auto make = [&] {
        if (::mkdir(Path.c_str(), 0777) != 0) return false;
        if (OnMade) OnMade(Path);
        return true;
    };
    if (make()) return true;
    // A file in a parent's place is found, and named, on the way up.
    if (errno == ENOENT || errno == ENOTDIR) {
        const auto slash = Path.rfind('/');
        if (slash == std::string::npos || slash == 0 || !CreateWithParents(Path.substr(0, slash), OnMade))
            return false;
        if (make()) return true;
    }
    // It exists already, or another program made it meanwhile; only a folder
    // will do. The test must not change errno: a dangling link in the way
    // still reads EEXIST.
    const int error = errno;
    if (error == EEXIST && IsFolder(Path)) return true;
    errno = error;
    return false;
}

} // namespace

bool ForceDirectoriesLocked(const std::string& Path, const TFolderMade& OnMade) {
    if (Path.empty()) {
        errno = EINVAL;
        return false;
    }
    std::string folder = Path;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::lock_guard guard(FolderCreationLock());
    return CreateWithParents(folder, OnMade);
}

} // namespace base
