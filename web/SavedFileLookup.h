#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace web {

// The saved file for local path Path inside the copy at Root (no trailing "/"):
// Path itself when it is a file, else the one file whose folders and name
// differ from it only in ASCII letter case, as the job files addresses that
// differ only so as one object. Nullopt when there is none or Path lies
// outside Root.
// MissingFolder, when given, receives the start of Path that names a folder
// with no entry in any letter case, when the search ended there.
std::optional<std::string> FindSavedFile(const std::string& Root, const std::string& Path,
                                         std::string* MissingFolder = nullptr);

// A folder's entries, each by its name in upper case.
using TFoldedNames = std::unordered_map<std::string, std::string>;

// Keeps FindSavedFile's answers for one Root through a pass that saves,
// renames and removes no file there: the pages of a copy link to the same
// few files again and again, and each answer costs a file-system lookup.
// A folder found missing answers for every path under it, and the names in
// Root are read once: a page full of links to hosts that were not copied
// costs no lookup per link.
class TSavedFileCache {
public:
    // Tells that the job itself saved the file Path names in this pass's run,
    // so that Path is found as it is without a look on disk; false answers
    // nothing, and Path is looked for.
    using TKnownSaved = std::function<bool(std::string_view Path)>;

    explicit TSavedFileCache(TKnownSaved KnownSaved = {}) : KnownSaved(std::move(KnownSaved)) {}
    std::optional<std::string> Find(const std::string& Root, const std::string& Path);

private:
    struct TPathHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view Path) const { return std::hash<std::string_view>{}(Path); }
    };
    bool UnderMissingFolder(const std::string& Root, const std::string& Path) const;
    bool RootHolds(const std::string& Root, std::string_view Name);

    TKnownSaved KnownSaved;
    std::unordered_map<std::string, std::optional<std::string>> Found;  // by Path
    std::unordered_set<std::string, TPathHash, std::equal_to<>> MissingFolders;
    std::optional<TFoldedNames> RootNames;
    bool RootUnlisted = false;
};

} // namespace web
