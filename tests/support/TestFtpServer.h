#pragma once

#include "support/TempDir.h"
#include "support/TestServerProcess.h"

#include <cstddef>
#include <ctime>
#include <string>

namespace testsupport {

// The served folder: a base of the server, so it is made before the server
// starts and removed after it ends.
struct TFtpServerRoot {
    TTempDir Root;
};

// A real FTP server (pyftpdlib, tests/support/TestFtpServer.py) on 127.0.0.1
// serving a temporary folder, passive and active. Records() holds every
// command a client sent, as "VERB argument" ("RETR a.txt"; never a password).
class TTestFtpServer : private TFtpServerRoot, public TTestServerProcess {
public:
    struct TSetup {
        std::string User;  // empty: anonymous access only
        std::string Password;
        std::size_t SendLimit = 0;  // bytes per second of each download; 0 = no limit
    };

    explicit TTestFtpServer(TSetup Setup);
    TTestFtpServer() : TTestFtpServer(TSetup{}) {}

    // "ftp://127.0.0.1:PORT" + Path (Path begins with "/").
    std::string URL(const std::string& Path) const { return "ftp://127.0.0.1:" + std::to_string(Port()) + Path; }
    // Writes a file under the served folder, with its modification time when Time is not 0.
    void AddFile(const std::string& Path, const std::string& Body, std::time_t Time = 0);
    // A file of Size bytes that takes no disk space (a hole).
};

} // namespace testsupport
