#pragma once

#include <optional>
#include <string>
#include <unordered_map>

namespace web {

// The saved file for local path Path inside the copy at Root (no trailing "/"):
// Path itself when it is a file, else the one file whose folders and name
// differ from it only in ASCII letter case, as the job files addresses that
// differ only so as one object. Nullopt when there is none or Path lies
// outside Root.
std::optional<std::string> FindSavedFile(const std::string& Root, const std::string& Path);

// Keeps FindSavedFile's answers for one Root through a pass that saves,
// renames and removes no file there: the pages of a copy link to the same
// few files again and again, and each answer costs a file-system lookup.
class TSavedFileCache {
public:
    std::optional<std::string> Find(const std::string& Root, const std::string& Path);

private:
    std::unordered_map<std::string, std::optional<std::string>> Found;  // by Path
};

} // namespace web
