#pragma once

#include "base/PosixFile.h"

#include <optional>
#include <string>

namespace engine {

// Holds a job's destination folder for the whole job, so that a second job
// into the same folder, in this process or another, fails at its start
// instead of emptying the first one's files. It is a lock (flock) on the
// hidden file ".harvexis#lock" in the folder: no file of a site can take that
// name, since a local name never holds '#', and the lock dies with the
// process, also when it is killed.
class TDestinationLock {
public:
    // Makes the folder when it is missing and takes the lock; Locked() tells
    // whether that worked and ErrorText() why not.
    explicit TDestinationLock(const std::string& Folder);
    // Removes the lock file, then releases the lock.
    ~TDestinationLock();
    TDestinationLock(const TDestinationLock&) = delete;
    TDestinationLock& operator=(const TDestinationLock&) = delete;

    bool Locked() const { return File.has_value(); }
    const std::string& ErrorText() const { return Error; }

private:
    bool TryLock();

    std::string FileName;
    std::optional<base::TFileDescriptor> File;  // the locked lock file; none when not locked
    std::string Error;
};

} // namespace engine
