#pragma once

#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct TCliResult {
    int ExitStatus = -1;  // -1 when the program did not exit normally
    std::string Out;
    std::string Err;
};

// Runs the built harvexis-cli with Args, feeding Input on standard input (not a
// terminal). Env entries are added to (or replace) the test's environment;
// HARVEXIS_DATA_DIR must be among them or already point at a temporary folder.
// The test's environment with Env's entries added or replaced, as "NAME=value" texts.
std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& Env);
// Pointers to Texts' characters, ending with a null pointer, for execve.
std::vector<char*> ExecPointers(std::vector<std::string>& Texts);

TCliResult RunCli(const std::vector<std::string>& Args, const std::string& Input = "",
                  const std::map<std::string, std::string>& Env = {});

} // namespace testsupport
