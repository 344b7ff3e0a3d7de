#pragma once

#include <chrono>
#include <cstdint>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

using TTestHeaders = std::vector<std::pair<std::string, std::string>>;

// One request as the server received it.
struct TRecordedRequest {
    std::string Method;
    std::string Target;  // path and query exactly as sent ("/a/b.html?x=1")
    TTestHeaders Headers;
    int RemotePort = 0;  // the client's port: equal for requests on one kept-alive connection

    // The first header of that name (compared without regard to case); "" when absent.
    std::string Header(const std::string& Name) const;
    bool HasHeader(const std::string& Name) const;
};

// What the server answers for one path.
struct TTestResponse {
    int Status = 200;
    std::string Body;
    TTestHeaders Headers;  // Content-Type defaults to "text/html" when not given
    // Body sent in pieces of this many bytes (0: all at once). BeforePiece runs
    // on the server's thread before every piece but the first, so a test can
    // act while a client is in the middle of the body.
    std::size_t PieceSize = 0;
    std::function<void(std::size_t PieceIndex)> BeforePiece;
    // Accept the request and answer nothing until the server stops.
    bool NeverAnswer = false;
};

// A plain answer: status, body and headers, sent at once.
TTestResponse MakeResponse(int Status, std::string Body, TTestHeaders Headers = {});

using TTestHandler = std::function<TTestResponse(const TRecordedRequest&)>;

// An in-process web server on 127.0.0.1 with an ephemeral port, serving a
// site declared as a table (target -> response or handler) and recording
// every request. Targets not in the table get 404. The HTTPS variant makes
// its own certificate at run time; clients trust it through CAFile().
// Making a server clears the proxy variables of the environment (and sets
// no_proxy for 127.0.0.1), so no test traffic ever goes through a proxy.
class TTestWebServer {
public:
    enum class TKind { HTTP, HTTPS };

    explicit TTestWebServer(TKind Kind = TKind::HTTP);
    ~TTestWebServer();
    TTestWebServer(const TTestWebServer&) = delete;
    TTestWebServer& operator=(const TTestWebServer&) = delete;

    // Table entries; Target is the path with its query, as a client sends it.
    void Serve(const std::string& Target, TTestResponse Response);
    void Serve(const std::string& Target, int Status, std::string Body,
               TTestHeaders Headers = {});
    void ServeHandler(const std::string& Target, TTestHandler Handler);

    int Port() const;
    // "http://127.0.0.1:PORT" (or https), without a trailing "/".
    std::string BaseURL() const;
    std::string URL(const std::string& Target) const { return BaseURL() + Target; }
    // PEM certificate that HTTPS clients must trust; "" for plain HTTP.
    std::string CAFile() const;

    std::vector<TRecordedRequest> Requests() const;
    std::vector<TRecordedRequest> RequestsFor(const std::string& Target) const;
    std::size_t RequestCount() const;
    // Waits until at least Count requests have arrived; false after Timeout.
    bool WaitForRequests(std::size_t Count, std::chrono::milliseconds Timeout) const;
    void ClearRequests();

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};

// RFC 7231 date ("Sun, 06 Nov 1994 08:49:37 GMT") of a UTC time; for
// Last-Modified headers in tests.
std::string HTTPDate(std::int64_t UnixSeconds);

// Serves Body with byte ranges: "Range: bytes=N-" gets 206 with the rest and a
// Content-Range, N at or past the end gets 416; Headers go with every answer.
TTestHandler RangeServingHandler(std::string Body, TTestHeaders Headers = {});

} // namespace testsupport
