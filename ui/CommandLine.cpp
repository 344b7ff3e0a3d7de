#include "ui/CommandLine.h"

#include "base/AsciiText.h"
#include "jobs/IniFile.h"
#include "web/URLType.h"

#include <sys/stat.h>

namespace ui {

namespace {

bool IsExistingFile(const std::string& Path) {
    struct stat info {};
    return ::stat(Path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string LowerExtension(const std::string& Path) {
    const auto slash = Path.rfind('/');
    const auto dot = Path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return base::LowerAscii(std::string_view(Path).substr(dot));
}

// Edit mode never queues; a single file dropped on the Start page is edited
// there, anything else dropped is queued.
bool ShouldQueue(TOpenMode Mode, std::size_t Dropped, const TOpenTarget& Target) {
    if (Mode == TOpenMode::Edit) return false;
    if (Mode == TOpenMode::Queue) return true;
    return Dropped > 1 || !Target.StartPageCurrent();
}

// False when the rest of the request must not be opened.
bool OpenOneFile(const std::string& Path, bool Queue, TOpenTarget& Target) {
    const std::string ext = LowerExtension(Path);
    if (ext == ".hcj") {
        if (!Queue) {
            Target.LoadJobFile(Path);
            return true;
        }
        return Target.AddJobFile(Path);
    }
    if (ext != ".url" && ext != ".desktop") return true;
    const std::string address = ReadInternetShortcut(Path);
    if (address.empty()) return true;
    if (!Queue) {
        Target.NewJobFromAddress(address);
        return true;
    }
    return Target.CopyAddressNow(address) != TQueueAnswer::QueueFull;
}

} // namespace

bool HasSwitch(const std::vector<std::string>& Params, std::string_view Switch) {
    for (const auto& param : Params)
        if (base::SameTextAscii(param, Switch)) return true;
    return false;
}

std::string ReadInternetShortcut(const std::string& Path) {
    jobs::TIniFile file(Path);
    if (LowerExtension(Path) == ".desktop") {
        if (file.ReadString("Desktop Entry", "Type", "") != "Link") return {};
        return file.ReadString("Desktop Entry", "URL", "");
    }
    return file.ReadString("InternetShortcut", "URL", "");
}

void ProcessCommandLine(const std::vector<std::string>& Params, TOpenTarget& Target) {
    const TOpenMode mode = HasSwitch(Params, EditSwitch) ? TOpenMode::Edit : TOpenMode::Queue;
    for (const auto& param : Params) {
        if (IsExistingFile(param))
            OpenFiles({param}, mode, Target);
        else if (param.starts_with("-"))
            continue;
        else if (!web::IsValidURLText(param))
            Target.ReportInvalidParameter(param);
        else if (mode == TOpenMode::Edit)
            Target.NewJobFromAddress(param);
        else
            Target.CopyAddressNow(param);
    }
}

void OpenFiles(const std::vector<std::string>& Paths, TOpenMode Mode, TOpenTarget& Target) {
    const bool queue = ShouldQueue(Mode, Paths.size(), Target);
    for (const auto& path : Paths)
        if (!OpenOneFile(path, queue, Target)) return;
}

} // namespace ui
