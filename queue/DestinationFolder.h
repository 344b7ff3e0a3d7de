#pragma once

#include <string>

namespace queue {

class TJobQueuePrompts;

// True when Folder exists as a folder, or was missing and the user agreed to
// create it and it could be created (with its missing parents). An empty
// folder gives false. The question and the failure go through the prompts.
bool TryToEnsureFolderExists(TJobQueuePrompts& Prompts, const std::string& Folder);

// The job page's check of a typed destination: the file-system root is
// refused (a copy would scatter its folders over the whole disk), a missing
// folder is offered for creation, and a folder that cannot be written is
// refused. An empty text passes: the queue then uses the documents folder.
bool CheckDestinationFolder(TJobQueuePrompts& Prompts, const std::string& Folder);

// The user's documents folder: XDG_DOCUMENTS_DIR of the XDG user-dirs file,
// else ~/Documents; no trailing "/"; empty when there is no home folder.
std::string GetMyDocumentsFolder();
// The same from given values: the user-dirs file's text and the home folder.
std::string DocumentsFolderFromUserDirs(const std::string& UserDirsText, const std::string& Home);

} // namespace queue
