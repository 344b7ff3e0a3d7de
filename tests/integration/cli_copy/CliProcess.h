#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace clitest {

// The built harvexis-cli running as a child process, for tests that act while
// it runs: its output is collected as it comes, and a test can wait for a line,
// send signals and wait for the exit status.
class TCliProcess {
public:
    TCliProcess(const std::vector<std::string>& Args, const std::map<std::string, std::string>& Env);
    ~TCliProcess();
    TCliProcess(const TCliProcess&) = delete;
    TCliProcess& operator=(const TCliProcess&) = delete;

    // Waits until standard output holds Text; false after Timeout.
    bool WaitForOutput(const std::string& Text, std::chrono::milliseconds Timeout);
    // The same for standard error.
    bool WaitForError(const std::string& Text, std::chrono::milliseconds Timeout);
    void Signal(int Number);
    // Waits for the exit; the exit status, or -1 when it did not exit normally
    // or had not closed its output after Timeout (it is killed then).
    int Wait(std::chrono::milliseconds Timeout = std::chrono::seconds(120));
    std::string Out() const;
    std::string Err() const;

private:
    void Read(int Out, int Err);

    int Pid = -1;
    mutable std::mutex Lock;       // guards OutText, ErrText and Closed
    std::condition_variable Grew;  // signalled when output arrives or both pipes close
    std::string OutText, ErrText;
    bool Closed = false;
    int ExitStatus = -2;  // -2: not waited for yet
    std::thread Reader;
};

} // namespace clitest
