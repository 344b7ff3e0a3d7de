#pragma once

#include "cli/OptionTable.h"

#include <optional>
#include <string>
#include <vector>

namespace cli {

struct TRunnerOptions;

// The options that copy and run share, output first, then network; bound to Options.
std::vector<TOptionGroup> RunnerOptionGroups(TRunnerOptions& Options);
// After parsing: refuses proxy settings that are switched on but unusable, then
// reads the proxy password when --proxy-user was given; the problem's text
// when either fails.
std::optional<std::string> CompleteRunnerOptions(TRunnerOptions& Options);

} // namespace cli
