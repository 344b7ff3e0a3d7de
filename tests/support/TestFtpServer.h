#pragma once

#include "support/TempDir.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include <sys/types.h>

namespace testsupport {

// A real FTP server (Debian's pyftpdlib, run by /usr/bin/python3) on
// 127.0.0.1 with an ephemeral port, serving a temporary folder. Passive and
// active transfers both work. Every command a client sends is recorded, so a
// test can assert which files were transferred. The server process ends with
// the object.
class TTestFtpServer {
public:
    struct TSetup {
        std::string User;      // empty: anonymous access only
        std::string Password;
        std::size_t SendLimit = 0;  // bytes per second of each download; 0 = no limit
    };

    explicit TTestFtpServer(TSetup Setup);
    TTestFtpServer() : TTestFtpServer(TSetup{}) {}
    ~TTestFtpServer();
    TTestFtpServer(const TTestFtpServer&) = delete;
    TTestFtpServer& operator=(const TTestFtpServer&) = delete;

    int Port() const { return ServerPort; }
    // "ftp://127.0.0.1:PORT" + Path (Path begins with "/").
    std::string URL(const std::string& Path) const;
    // Writes a file under the served folder (Path begins with "/"), with its
    // modification time when Time is not 0.
    void AddFile(const std::string& Path, const std::string& Body, std::time_t Time = 0);
    // A file of Size bytes that takes no disk space (a hole).
    void AddSparseFile(const std::string& Path, std::int64_t Size);
    std::string FilePath(const std::string& Path) const { return Root.Path() + Path; }

    // Commands received so far, as "VERB argument" ("RETR a.txt"); the
    // password is never recorded. Every command a client has had an answer
    // to is included.
    std::vector<std::string> Commands() const;
    // Number of recorded commands with this verb.
    std::size_t CountCommands(const std::string& Verb) const;
    void ClearCommands();

private:
    void Start(const TSetup& Setup);
    void Stop();
    bool ReadLine(std::string& Line, int TimeoutMs) const;
    void Drain() const;

    TTempDir Root;
    int ServerPort = 0;
    pid_t Process = -1;
    int InputPipe = -1;   // the server's standard input: closing it ends the server
    int OutputPipe = -1;  // the server's standard output: its port, then its commands

    mutable std::mutex Lock;  // guards Pending and Recorded (the pipe is read under it)
    mutable std::string Pending;   // bytes read from the pipe that end no line yet
    mutable std::vector<std::string> Recorded;
};

} // namespace testsupport
