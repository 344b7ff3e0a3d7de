#pragma once

#include "support/TestServerProcess.h"

#include <string>
#include <vector>

namespace testsupport {

// A forward proxy on 127.0.0.1 (tests/support/TestProxy.py): HTTP requests
// are passed on, ftp addresses fetched and answered as HTTP, CONNECT tunnels.
// With a user name it demands that user and password (Basic). Records() holds
// "<method> <target>" of every request.
class TTestProxy : public TTestServerProcess {
public:
    explicit TTestProxy(const std::string& User = {}, const std::string& Password = {})
        : TTestServerProcess("TestProxy.py", User.empty() ? std::vector<std::string>{}
                                                          : std::vector<std::string>{"--user", User, "--password", Password}) {}
};

} // namespace testsupport
