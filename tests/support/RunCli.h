#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct TCliResult {
    int ExitStatus = -1;  // -1 when the program did not exit normally
    std::string Out;
    std::string Err;
};

// The built harvexis-cli as a child process with Args, Input on its standard
// input (not a terminal) and Env added to (or replacing) the test's
// environment; HARVEXIS_DATA_DIR must be among them. Its output is read while
// the test waits for a text or for the exit; the program's output between
// two waits must fit its pipes.
class TCliProcess {
public:
    TCliProcess(const std::vector<std::string>& Args, const std::map<std::string, std::string>& Env,
                const std::string& Input = "");
    ~TCliProcess();
    TCliProcess(const TCliProcess&) = delete;
    TCliProcess& operator=(const TCliProcess&) = delete;

    // Waits until standard error holds Text; false when it ends first.
    bool WaitForError(const std::string& Text);
    void Signal(int Number);
    // Waits for the exit.
    TCliResult Wait();

private:
    // Reads both outputs until Done holds or both are closed.
    void ReadUntil(const std::function<bool()>& Done);

    int Pid = -1;
    int Out = -1, Err = -1;  // the read ends of the program's outputs; -1 once closed
    TCliResult Result;
};

// Runs the program to its end.
TCliResult RunCli(const std::vector<std::string>& Args, const std::string& Input = "",
                  const std::map<std::string, std::string>& Env = {});

} // namespace testsupport
