#include "web/SavedFileLookup.h"

#include "base/AsciiText.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <unordered_map>

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

// Path names something inside Root, not Root itself.
bool LiesUnder(const std::string& Root, const std::string& Path) {
    return !Root.empty() && Path.size() > Root.size() + 1 && Path.starts_with(Root) && Path[Root.size()] == '/';
}

// A folder's entries by their upper-case names; none when it cannot be read.
std::optional<TFoldedNames> ReadFoldedNames(const std::string& Folder) {
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(Folder.c_str()), &::closedir);
    if (!dir) return std::nullopt;
    TFoldedNames names;
    while (const dirent* entry = ::readdir(dir.get())) names.emplace(base::UpperAscii(entry->d_name), entry->d_name);
    return names;
}

// A folder's entries, as of the folder's change time.
struct TFolderListing {
    timespec Changed{};
    TFoldedNames ByFoldedName;
};

// Rewriting looks up many links that were not saved in the same few folders:
// each folder is read once and read again only when it changed.
constexpr std::size_t MaxListedFolders = 256;

// The entry of Folder named Name, letter case aside; empty when there is none.
std::string FindEntryIgnoringCase(const std::string& Folder, const std::string& Name) {
    thread_local std::unordered_map<std::string, TFolderListing> listings;
    struct stat info {};
    if (::stat(Folder.c_str(), &info) != 0) return {};
    auto found = listings.find(Folder);
    const bool current = found != listings.end() &&
                         found->second.Changed.tv_sec == info.st_mtim.tv_sec &&
                         found->second.Changed.tv_nsec == info.st_mtim.tv_nsec;
    if (!current) {
        if (listings.size() >= MaxListedFolders) listings.clear();
        auto names = ReadFoldedNames(Folder);
        if (!names) return {};
        found = listings.insert_or_assign(Folder, TFolderListing{info.st_mtim, std::move(*names)}).first;
    }
    const auto entry = found->second.ByFoldedName.find(base::UpperAscii(Name));
    return entry == found->second.ByFoldedName.end() ? std::string() : entry->second;
}

} // namespace

std::optional<std::string> FindSavedFile(const std::string& Root, const std::string& Path,
                                         std::string* MissingFolder) {
    if (!LiesUnder(Root, Path)) return std::nullopt;
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
            if (entry.empty()) {
                if (MissingFolder && slash < Path.size()) *MissingFolder = Path.substr(0, slash);
                return std::nullopt;
            }
            next = found + '/' + entry;
        }
        found = std::move(next);
    }
    if (!IsRegularFile(found)) return std::nullopt;
    return found;
}

bool TSavedFileCache::RootHolds(const std::string& Root, std::string_view Name) {
    if (!RootNames && !RootUnlisted) {
        // Unreadable, it answers nothing: every path is looked up on disk.
        RootNames = ReadFoldedNames(Root);
        RootUnlisted = !RootNames;
    }
    return !RootNames || RootNames->contains(base::UpperAscii(Name));
}

bool TSavedFileCache::UnderMissingFolder(const std::string& Root, const std::string& Path) const {
    if (MissingFolders.empty()) return false;
    for (auto slash = Path.find('/', Root.size() + 1); slash != std::string::npos; slash = Path.find('/', slash + 1))
        if (MissingFolders.contains(std::string_view(Path).substr(0, slash))) return true;
    return false;
}

std::optional<std::string> TSavedFileCache::Find(const std::string& Root, const std::string& Path) {
    if (KnownSaved && KnownSaved(Path)) return Path;
    const auto known = Found.find(Path);
    if (known != Found.end()) return known->second;
    if (LiesUnder(Root, Path)) {
        const auto name = std::string_view(Path).substr(Root.size() + 1);
        if (!RootHolds(Root, name.substr(0, name.find('/'))) || UnderMissingFolder(Root, Path)) return std::nullopt;
    }
    std::string missing;
    auto found = FindSavedFile(Root, Path, &missing);
    if (!missing.empty()) {
        MissingFolders.insert(std::move(missing));
        return std::nullopt;
    }
    return Found.emplace(Path, std::move(found)).first->second;
}

} // namespace web
