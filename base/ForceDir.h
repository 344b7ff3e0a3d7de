#pragma once

#include <string>

namespace base {

// Creates Path and every missing parent folder. One program-wide lock covers the
// whole check-and-create, so threads never race to create the same folders.
// An existing folder counts as created; an empty Path fails. On failure errno
// tells why (EEXIST when a file, not a folder, is in the way).
bool ForceDirectoriesLocked(const std::string& Path);

} // namespace base
