#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

struct TRunnerOptions;

// The options that copy and run share, for their help texts.
extern const char* const RunnerOptionsUsage;

// Takes --quiet, --verbose and --eventlog; false for any other argument.
bool ParseRunnerOption(const std::string& Arg, TRunnerOptions& Options);

// A decimal whole number, optionally negative, and nothing else.
std::optional<std::int64_t> ParseWholeNumber(const std::string& Text);

} // namespace cli
