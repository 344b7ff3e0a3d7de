#pragma once

#include <string>
#include <vector>

namespace cli {

// harvexis-cli copy URL DEST [options]: copies one site; returns the exit status.
int RunCopyCommand(const std::vector<std::string>& Args);

} // namespace cli
