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
// Takes a network option at Args[Index] with its value and moves Index past
// them; false for any other argument. Problem is set when the value is bad.
bool ParseRunnerNetworkOption(const std::vector<std::string>& Args, std::size_t& Index,
                              TRunnerOptions& Options, std::string& Problem);
// After parsing: reads the proxy password when --proxy-user was given; the
// problem's text when there is none to read.
std::optional<std::string> CompleteRunnerOptions(TRunnerOptions& Options);

// A decimal whole number, optionally negative, and nothing else.
std::optional<std::int64_t> ParseWholeNumber(const std::string& Text);

} // namespace cli
