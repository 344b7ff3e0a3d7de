#pragma once

#include <string>
#include <vector>

namespace cli {

// "harvexis-cli password ...": Args are the words after "password". Exit status
// 0 on success, 1 when the store refuses or cannot be read or written, 2 for a
// usage error.
int RunPasswordCommand(const std::vector<std::string>& Args);

} // namespace cli
