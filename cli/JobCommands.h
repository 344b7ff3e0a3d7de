#pragma once

#include <string>
#include <vector>

namespace cli {

// "job create FILE ..." and "job show FILE"; Args are the words after "job".
int RunJobCommand(const std::vector<std::string>& Args);

} // namespace cli
