#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct TCliResult {
    int ExitStatus = -1;  // -1 when the program did not exit normally
    std::string Out;
    std::string Err;
};

// The built harvexis-cli as a child process with Args, Input on its standard
// input (not a terminal) and Env added to (or replacing) the test's
// environment; HARVEXIS_DATA_DIR must be among them. Its output is collected
// as it comes, so a test can wait for a text, send signals and then wait for
// the exit.
class TCliProcess {
public:
    TCliProcess(const std::vector<std::string>& Args, const std::map<std::string, std::string>& Env,
                const std::string& Input = "");
    ~TCliProcess();
    TCliProcess(const TCliProcess&) = delete;
    TCliProcess& operator=(const TCliProcess&) = delete;

    // Waits until standard error holds Text; false after Timeout.
    bool WaitForError(const std::string& Text, std::chrono::milliseconds Timeout);
    void Signal(int Number);
    // Waits for the exit (killing the program after Timeout).
    TCliResult Wait(std::chrono::milliseconds Timeout = std::chrono::seconds(120));

private:
    void Pump(int Out, int Err);

    int Pid = -1;
    std::mutex Lock;               // guards Result and Closed
    std::condition_variable Grew;  // signalled when output arrives and when both pipes close
    TCliResult Result;
    bool Closed = false;
    bool Waited = false;
    std::thread Reader;
};

// Runs the program to its end.
TCliResult RunCli(const std::vector<std::string>& Args, const std::string& Input = "",
                  const std::map<std::string, std::string>& Env = {});

} // namespace testsupport
