#include "engine/FlattenFolder.h"

#include "base/AsciiText.h"
#include "base/AppTraceLog.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <memory>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

using base::TraceLog;

namespace {

struct TFolderEntry {
    std::string Name;
    bool IsFolder = false;  // a real folder; a link to one counts as a plain entry
};

struct TDirCloser {
    void operator()(DIR* Dir) const { ::closedir(Dir); }
};

// Every entry but "." and "..", hidden ones included, in name order. The whole
// listing is read before anything is moved, so moves cannot disturb it.
std::vector<TFolderEntry> ListFolder(const std::string& Folder) {
    std::vector<TFolderEntry> entries;
    std::unique_ptr<DIR, TDirCloser> dir(::opendir(Folder.c_str()));
    if (!dir) return entries;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            isFolder = ::lstat((Folder + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        entries.push_back({name, isFolder});
    }
    std::sort(entries.begin(), entries.end(),
              [](const TFolderEntry& A, const TFolderEntry& B) { return A.Name < B.Name; });
    return entries;
}

std::string WithSlash(const std::string& Folder) {
    return !Folder.empty() && Folder.back() == '/' ? Folder : Folder + "/";
}

// Renames without ever replacing an entry, even one created a moment ago.
bool MoveWithoutReplacing(const std::string& Source, const std::string& Target) {
    if (::renameat2(AT_FDCWD, Source.c_str(), AT_FDCWD, Target.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // The file system cannot refuse to replace: a hard link can, for files.
    if (::link(Source.c_str(), Target.c_str()) != 0) return false;
    if (::unlink(Source.c_str()) == 0) return true;
    const int error = errno;
    ::unlink(Target.c_str());
    errno = error;
    return false;
}

bool IsPresentAsNonFolder(const std::string& Path) {
    struct stat info {};
    return ::lstat(Path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

} // namespace

void WaitWhilePaused(TFolderJobControl& Control) {
    while (true) {
        Control.CheckPauseAndResume();
        Control.CheckStopAndAbort();
        if (Control.AbortRequested() || !Control.Paused()) return;
        Control.WaitForCommand();
    }
}

void FlattenFolder(TFolderJobControl& Control, std::int32_t JobNumber, const std::string& Folder,
                   std::string& StartPageFile) {
    for (const auto& entry : ListFolder(Folder)) {
        if (!entry.IsFolder) continue;
        WaitWhilePaused(Control);
        if (Control.AbortRequested()) break;
        const std::string child = Folder + entry.Name + "/";
        FlattenFolder(Control, JobNumber, child, StartPageFile);
        MoveUniqueContentsOfChild(Control, JobNumber, Folder, child, StartPageFile);
    }
}

void MoveUniqueContentsOfChild(TFolderJobControl& Control, std::int32_t JobNumber,
                               const std::string& ParentFolder, const std::string& ChildFolder,
                               std::string& StartPageFile) {
    for (const auto& entry : ListFolder(ChildFolder)) {
        if (Control.AbortRequested()) break;
        if (!entry.IsFolder) {
            const std::string source = ChildFolder + entry.Name;
            const std::string target = ParentFolder + entry.Name;
            if (!IsPresentAsNonFolder(target)) {
                if (MoveWithoutReplacing(source, target)) {
                    try {
                        Control.PostFileMoved(JobNumber, source, target);
                    } catch (const std::exception& error) {
                        base::TraceLog.LogEntry(base::ttException, error.what(),
                                          "MoveUniqueContentsOfChild", "FlattenFolder");
                    }
                    if (base::SameTextAscii(source, StartPageFile)) StartPageFile = target;
                } else {
                    // A file of that name that appeared meanwhile keeps its place silently.
                    const int error = errno;
                    if (error != EEXIST || !IsPresentAsNonFolder(target))
                        base::TraceLog.LogAPIErrorCode(error, "MoveFile " + source,
                                                 "MoveUniqueContentsOfChild", "FlattenFolder");
                }
            }
        }
    }
}

bool PruneEmptyChildFolders(TFolderJobControl& Control, std::int32_t JobNumber,
                            const std::string& Folder, bool IsChild) {
    if (IsChild) {
        try {
            Control.PostFolderExamined(JobNumber, Folder);
        } catch (const std::exception& error) {
            base::TraceLog.LogEntry(base::ttException, error.what(), "PruneEmptyChildFolders",
                              "SpiderThread");
        }
    }
    bool empty = true;
    const std::string folder = WithSlash(Folder);
    for (const auto& entry : ListFolder(folder)) {
        if (!entry.IsFolder) {
            empty = false;
            continue;
        }
        WaitWhilePaused(Control);
        if (Control.AbortRequested()) {
            empty = false;
            break;
        }
        if (!PruneEmptyChildFolders(Control, JobNumber, folder + entry.Name, true)) empty = false;
    }
    return IsChild && empty && ::rmdir(folder.c_str()) == 0;
}

} // namespace engine
