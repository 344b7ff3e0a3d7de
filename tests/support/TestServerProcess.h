#pragma once

#include "support/TempDir.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace testsupport {

// One of the Python test servers (tests/support/*.py, run by Debian's
// /usr/bin/python3) as a child process on 127.0.0.1. The server writes a line
// about every request to its record file before it answers it, so every
// request a client has had an answer to is in Records(). The server ends
// when its standard output closes: with the object, or with the test.
class TTestServerProcess {
public:
    TTestServerProcess(const std::string& Script, const std::vector<std::string>& Args);
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
    FILE* Output = nullptr;  // the server's standard output; closing it ends the server
};

// A loopback port that nothing listens on: connections to it are refused.
int ClosedLoopbackPort();

} // namespace testsupport
