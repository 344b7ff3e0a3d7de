#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cli {

// Exit statuses shared by every command.
constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

// One line on standard error, "harvexis-cli: " + Message; returns ExitUsage.
int UsageError(const std::string& Message);
// True when Args holds "--help" or "-h".
bool WantsHelp(const std::vector<std::string>& Args);
// A secret from the terminal without echo (after Prompt on standard error),
// or the first line of standard input when that is no terminal.
std::optional<std::string> ReadSecretLine(const std::string& Prompt);

} // namespace cli
