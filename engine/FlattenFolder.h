#pragma once

#include <cstdint>
#include <string>

namespace engine {

// What flattening and pruning need from the job run that calls them on the
// spider thread: its command checks, its flags and its report queue.
class TFolderJobControl {
public:
    virtual ~TFolderJobControl() = default;

    // Takes a Pause, then a Resume command for the job, if queued.
    virtual void CheckPauseAndResume() = 0;
    // Takes an Abort, then a Stop command for the job, if queued.
    virtual void CheckStopAndAbort() = 0;
    virtual bool Paused() const = 0;
    virtual bool AbortRequested() const = 0;
    // Called while paused: returns once a command may have arrived (or after a
    // short bounded wait), so that the pause costs no processor time.
    virtual void WaitForCommand() = 0;

    // Report of a file moved up by flattening. May throw; the error is logged.
    virtual void PostFileMoved(std::int32_t JobNumber, const std::string& SourceFile,
                               const std::string& DestinationFile) = 0;
    // Report of a subfolder examined by pruning. May throw; the error is logged.
    virtual void PostFolderExamined(std::int32_t JobNumber, const std::string& FolderPath) = 0;
};

// Both checks run at least once; while the job stays paused and is not
// aborted, waits for its next command.
void WaitWhilePaused(TFolderJobControl& Control);

// Moves every file of every subfolder of Folder (which ends with "/") up into
// Folder, deepest folders first; a file stops where an entry of its name already
// exists. Folders stay, empty or not. When the file named StartPageFile moves,
// StartPageFile follows it. Symbolic links are moved as entries, never followed,
// so no file from outside the folder tree is ever pulled in.
void FlattenFolder(TFolderJobControl& Control, std::int32_t JobNumber, const std::string& Folder,
                   std::string& StartPageFile);

// Moves the plain files of ChildFolder into ParentFolder (both end with "/")
// where ParentFolder has no entry of that name yet. Never replaces anything.
void MoveUniqueContentsOfChild(TFolderJobControl& Control, std::int32_t JobNumber,
                               const std::string& ParentFolder, const std::string& ChildFolder,
                               std::string& StartPageFile);

// Removes every folder below Folder that holds no file, directly or deeper.
// Returns whether Folder itself was removed, which happens only when IsChild.
bool PruneEmptyChildFolders(TFolderJobControl& Control, std::int32_t JobNumber,
                            const std::string& Folder, bool IsChild);

} // namespace engine
