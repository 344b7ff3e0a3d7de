#pragma once

#include "support/TestWebServer.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// One request as the proxy received it.
struct TProxyRequest {
    std::string Method;
    std::string Target;  // absolute address ("http://...", "ftp://..."), or "host:port" for CONNECT
    TTestHeaders Headers;

    // The first header of that name (compared without regard to case); "" when absent.
    std::string Header(const std::string& Name) const;
};

// A small forward proxy on 127.0.0.1 with an ephemeral port, for loopback
// targets only (anything else is refused with 403):
// - "GET http://..." is passed to the origin server and its answer relayed;
// - "GET ftp://..." is fetched from the FTP server and answered as HTTP
//   (404 when the file does not exist), as CERN-style proxies do;
// - "CONNECT host:port" opens a tunnel (HTTPS through a proxy).
// With a user name it answers 407 to every request that does not carry that
// user name and password (Basic). Each connection carries one request.
// Every request is recorded.
class TTestProxy {
public:
    explicit TTestProxy(std::string User = {}, std::string Password = {});
    ~TTestProxy();
    TTestProxy(const TTestProxy&) = delete;
    TTestProxy& operator=(const TTestProxy&) = delete;

    int Port() const;
    std::vector<TProxyRequest> Requests() const;
    // Requests whose target begins with Prefix.
    std::size_t CountRequests(const std::string& Prefix) const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};

// A loopback port that nothing listens on: connections to it are refused.
int ClosedLoopbackPort();

} // namespace testsupport
