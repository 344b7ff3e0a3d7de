#include "web/SavedFileLookup.h"

#include "base/AsciiText.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

namespace web {

namespace {

bool IsRegularFile(const std::string& Path) {
    struct stat info {};
    return ::stat(Path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool Exists(const std::string& Path) {
    struct stat info {};
    return ::stat(Path.c_str(), &info) == 0;
}

// The entry of Folder named Name, letter case aside; empty when there is none.
std::string FindEntryIgnoringCase(const std::string& Folder, const std::string& Name) {
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(Folder.c_str()), &::closedir);
    if (!dir) return {};
    while (const dirent* entry = ::readdir(dir.get()))
        if (base::SameTextAscii(entry->d_name, Name)) return entry->d_name;
    return {};
}

} // namespace

std::optional<std::string> FindSavedFile(const std::string& Root, const std::string& Path) {
    if (Root.empty() || Path.size() <= Root.size() + 1 || Path.compare(0, Root.size(), Root) != 0 ||
        Path[Root.size()] != '/')
        return std::nullopt;
    if (Path.find("/../") != std::string::npos || Path.ends_with("/..")) return std::nullopt;
    if (IsRegularFile(Path)) return Path;
    std::string found = Root;
    for (std::size_t start = Root.size() + 1; start <= Path.size();) {
        const std::size_t slash = std::min(Path.find('/', start), Path.size());
        const std::string name = Path.substr(start, slash - start);
        start = slash + 1;
        if (name.empty()) continue;
        std::string next = found + '/' + name;
        if (!Exists(next)) {
            const std::string entry = FindEntryIgnoringCase(found, name);
            if (entry.empty()) return std::nullopt;
            next = found + '/' + entry;
        }
        found = std::move(next);
    }
    if (!IsRegularFile(found)) return std::nullopt;
    return found;
}

} // namespace web
