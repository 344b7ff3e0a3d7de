#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>

namespace engine {

// The folders that a job's downloads made themselves, and every name that
// they gave a file or folder since the job began. In a folder the job made,
// a name it never gave is free without a look at the disk: nothing else
// writes there while the destination lock holds other jobs off. So the
// lookups that a download makes before its request (the destination, its
// partial file, its validator), which nearly always find nothing, cost no
// system call in the folders of a new copy.
//
// Names are compared with ASCII letter case folded, so that a file system
// that ignores case never finds a name free that it would take as given;
// a path with an empty, "." or ".." step is never found free, and one given
// ends the knowledge for the job. Shared by the download threads of a job.
class TFoldersMadeByRun {
public:
    // A new job begins: nothing is known.
    void Forget();
    // This job's mkdir of Folder succeeded: it was empty then.
    void Made(const std::string& Folder);
    // Path (a file or a folder) is about to be given its name, or may be.
    void Naming(std::string_view Path);
    // Path lies in a folder that this job made and was never given.
    bool KnownFree(std::string_view Path) const;

private:
    // Looks folders up by a part of a path, without a string of its own.
    struct TTextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view Text) const { return std::hash<std::string_view>{}(Text); }
    };

    mutable std::mutex Lock;
    // Made by this job, as named to mkdir.
    std::unordered_set<std::string, TTextHash, std::equal_to<>> Folders;
    std::unordered_set<std::uint64_t> Given;   // folded hashes of the names given
    bool Unsure = false;                       // a name was given that cannot be told apart
};

} // namespace engine
