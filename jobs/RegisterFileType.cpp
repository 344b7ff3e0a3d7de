#include "jobs/RegisterFileType.h"

#include "jobs/AppInfo.h"
#include "jobs/SavedOptions.h"
#include "base/AppTraceLog.h"
#include "base/AtomicReplace.h"
#include "base/ForceDir.h"

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>  // environ

namespace jobs {

namespace {

constexpr const char* UnitName = "RegisterFileType";

std::string MimePackageText() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"" + std::string(JobFileMimeType) + "\">\n"
           "    <comment>Harvexis Job File</comment>\n"
           // Globs match without regard to case, so "*.HCJ" files are found too.
           "    <glob pattern=\"*.hcj\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

std::string DesktopEntryText(const std::string& Program) {
    const std::string queue = Program + " %f";
    const std::string edit = Program + " --edit %f";
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Harvexis\n"
           "Comment=Harvexis Job File\n"
           "Exec=" + queue + "\n"
           "MimeType=" + std::string(JobFileMimeType) + ";\n"
           // Only a handler of job files: no menu entry of its own.
           "NoDisplay=true\n"
           "Terminal=false\n"
           "Actions=queue;edit;\n"
           "\n"
           "[Desktop Action queue]\n"
           "Name=Add to Queue\n"
           "Exec=" + queue + "\n"
           "\n"
           "[Desktop Action edit]\n"
           "Name=Edit\n"
           "Exec=" + edit + "\n";
}

// Runs a database tool on Folder and waits for it; a missing tool is fine.
void RunRefreshTool(const char* Tool, const std::string& Folder) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return;
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> words{Tool, Folder};
    std::vector<char*> argv{words[0].data(), words[1].data(), nullptr};
    pid_t child = 0;
    if (::posix_spawnp(&child, Tool, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

void RefreshDatabases(const std::string& DataHome) {
    RunRefreshTool("update-mime-database", DataHome + "/mime");
    RunRefreshTool("update-desktop-database", DataHome + "/applications");
}

} // namespace

std::string DesktopExecArgument(std::string_view Argument) {
    if (Argument.find_first_of("\r\n") != std::string_view::npos) return {};
    // Inside the quotes of an Exec argument, " ` $ and \ take a backslash and
    // % is doubled; the value as a whole then doubles every backslash once more.
    std::string quoted = "\"";
    for (const char c : Argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string escaped;
    for (const char c : quoted) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return escaped;
}

bool RegisterFileType(const std::string& ProgramPath) {
    const std::string dataHome = XdgDataHome();
    const std::string program = DesktopExecArgument(ProgramPath.empty() ? AppInfo.ExeName()
                                                                        : ProgramPath);
    if (dataHome.empty() || program.empty()) return false;
    const std::string mimeFolder = dataHome + "/mime/packages";
    const std::string appFolder = dataHome + "/applications";
    const bool written =
        base::ForceDirectoriesLocked(mimeFolder) && base::ForceDirectoriesLocked(appFolder) &&
        base::ReplaceFileAtomically(mimeFolder + "/" + std::string(JobFileMimePackage), MimePackageText()) &&
        base::ReplaceFileAtomically(appFolder + "/" + std::string(JobFileDesktopFile),
                            DesktopEntryText(program));
    if (!written) {
        base::TraceLog.LogAPIError("write " + dataHome, "RegisterFileType", UnitName);
        return false;
    }
    RefreshDatabases(dataHome);
    return true;
}

bool UnregisterFileType() {
    const std::string dataHome = XdgDataHome();
    if (dataHome.empty()) return false;
    const std::string entry = dataHome + "/applications/" + std::string(JobFileDesktopFile);
    if (::unlink(entry.c_str()) != 0 && errno != ENOENT) {
        base::TraceLog.LogAPIError("unlink " + entry, "UnregisterFileType", UnitName);
        return false;
    }
    RefreshDatabases(dataHome);
    return true;
}

} // namespace jobs
