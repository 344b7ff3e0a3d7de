#pragma once

#include <optional>
#include <string>

namespace web {

// The saved file for local path Path inside the copy at Root (no trailing "/"):
// Path itself when it is a file, else the one file whose folders and name
// differ from it only in ASCII letter case, as the job files addresses that
// differ only so as one object. Nullopt when there is none or Path lies
// outside Root.
std::optional<std::string> FindSavedFile(const std::string& Root, const std::string& Path);

} // namespace web
