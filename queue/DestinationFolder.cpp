#include "queue/DestinationFolder.h"

#include "jobs/LanguageStrings.h"
#include "base/AppTraceLog.h"
#include "queue/JobQueueTypes.h"
#include "base/ForceDir.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace queue {

namespace {

constexpr int TextFolderDoesNotExist = 48;
constexpr int TextCreateFolder = 49;
constexpr int TextError = 50;
constexpr int TextUnableToCreateFolder = 51;
constexpr int TextRootFolderRefused = 52;

bool IsFolder(const std::string& Path) {
    struct stat info {};
    return ::stat(Path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    return home ? home : "";
}

} // namespace

bool TryToEnsureFolderExists(TJobQueuePrompts& Prompts, const std::string& Folder) {
    if (Folder.empty()) return false;
    if (IsFolder(Folder)) return true;
    if (!Prompts.AskYesNo(jobs::LocalText(TextFolderDoesNotExist),
                           jobs::FillPlaceholders(jobs::LocalText(TextCreateFolder), Folder)))
        return false;
    if (base::ForceDirectoriesLocked(Folder)) return true;
    base::TraceLog.LogEntry(base::ttException,
                                 "Cannot create " + Folder + " (" + base::SystemErrorText(errno) + ")",
                                 "TryToEnsureFolderExists", "StartingAddress");
    Prompts.ShowWarning(jobs::LocalText(TextError), jobs::LocalText(TextUnableToCreateFolder));
    return false;
}

bool CheckDestinationFolder(TJobQueuePrompts& Prompts, const std::string& Folder) {
    if (Folder.empty()) return true;
    if (Folder.find_first_not_of('/') == std::string::npos) {
        Prompts.ShowWarning("", jobs::LocalText(TextRootFolderRefused));
        return false;
    }
    if (!TryToEnsureFolderExists(Prompts, Folder)) return false;
    if (::access(Folder.c_str(), W_OK | X_OK) == 0) return true;
    Prompts.ShowWarning(jobs::LocalText(TextError), jobs::LocalText(TextUnableToCreateFolder));
    return false;
}

// The user-dirs file holds shell assignments such as
// XDG_DOCUMENTS_DIR="$HOME/Documents"; only "$HOME/" or an absolute path is allowed there.
std::string DocumentsFolderFromUserDirs(const std::string& UserDirsText, const std::string& Home) {
    std::istringstream lines(UserDirsText);
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=";
    while (std::getline(lines, line)) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
        std::string value = line.substr(start + key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = Home.empty() ? "" : Home + value.substr(5);
        while (value.size() > 1 && value.back() == '/') value.pop_back();
        if (!value.empty() && value.front() == '/') return value;
    }
    return Home.empty() ? "" : Home + "/Documents";
}

std::string GetMyDocumentsFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string home = HomeFolder();
    const std::string configFolder = config && config[0] == '/' ? config : (home.empty() ? "" : home + "/.config");
    std::ifstream file(configFolder + "/user-dirs.dirs");
    std::stringstream text;
    if (file) text << file.rdbuf();
    return DocumentsFolderFromUserDirs(text.str(), home);
}

std::string TJobQueuePrompts::GetMyDocumentsFolder() { return queue::GetMyDocumentsFolder(); }

} // namespace queue
