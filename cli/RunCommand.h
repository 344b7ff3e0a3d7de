#pragma once

#include <string>
#include <vector>

namespace cli {

// harvexis-cli run JOBFILE...: runs job files one after another; returns the exit status.
int RunRunCommand(const std::vector<std::string>& Args);

} // namespace cli
