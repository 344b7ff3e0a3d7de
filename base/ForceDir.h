#pragma once

#include <functional>
#include <string>

namespace base {

using TFolderMade = std::function<void(const std::string& Folder)>;

// Creates Path and every missing parent folder. One program-wide lock covers the
// whole check-and-create, so threads never race to create the same folders.
// An existing folder counts as created; an empty Path fails. On failure errno
// tells why (EEXIST when a file, not a folder, is in the way). OnMade, when
// given, learns every folder that this call made, parents first.
bool ForceDirectoriesLocked(const std::string& Path, const TFolderMade& OnMade = {});

} // namespace base
