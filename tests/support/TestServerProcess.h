#pragma once

#include "support/TempDir.h"

#include <cstddef>
#include <string>
#include <vector>

#include <sys/types.h>

namespace testsupport {

// One of the Python test servers (tests/support/*.py, run by Debian's
// /usr/bin/python3) as a child process on 127.0.0.1. The server writes a line
// about every request to its record file before it answers it, so every
// request a client has had an answer to is in Records(). The server ends
// with the object.
class TTestServerProcess {
public:
    TTestServerProcess(const std::string& Script, std::vector<std::string> Args);
    ~TTestServerProcess();
    TTestServerProcess(const TTestServerProcess&) = delete;
    TTestServerProcess& operator=(const TTestServerProcess&) = delete;

    int Port() const { return ServerPort; }
    std::vector<std::string> Records() const;
    // Records that begin with Prefix.
    std::size_t CountRecords(const std::string& Prefix) const;
    void ClearRecords();

private:
    void Stop();

    TTempDir Folder;  // holds the record file
    int ServerPort = 0;
    pid_t Process = -1;
    int InputPipe = -1;  // the server's standard input: closing it ends the server
};

// A loopback port that nothing listens on: connections to it are refused.
int ClosedLoopbackPort();

} // namespace testsupport
