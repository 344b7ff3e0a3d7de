#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
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

    // The first header of that name (compared without regard to case); "" when absent.
    std::string Header(const std::string& Name) const;
    bool HasHeader(const std::string& Name) const { return !Header(Name).empty(); }
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

    // The first header of that name (compared without regard to case); "" when absent.
    std::string Header(const std::string& Name) const;
};

TTestResponse MakeResponse(int Status, std::string Body, TTestHeaders Headers = {});

// Whole as a plain server answers Request: 304 when not modified since
// If-Modified-Since (by Whole's Last-Modified), and for "Range: bytes=N-" a
// 206 from N (416 past the end), unless If-Range names neither Whole's ETag
// nor its Last-Modified: then the whole file.
TTestResponse ConditionalResponse(TTestResponse Whole, const TRecordedRequest& Request);

using TTestHandler = std::function<TTestResponse(const TRecordedRequest&)>;

// The folder of a test site under tests/data/sites.
std::string SiteFolder(const std::string& Name);

// An in-process web server on 127.0.0.1 with an ephemeral port that records
// every request. It answers from its table (target -> response or handler)
// first, then from a served folder as a plain server does: "dir/" is
// "dir/index.html", Last-Modified is the file's time, If-Modified-Since gets
// 304, "Range: bytes=N-" gets 206 (416 past the end). The folder's
// ".responses" file adds special answers, one per line, tab-separated:
// target, status, then "Name: value" headers; the body is the file of that
// target when there is one. "@SERVER@" in served pages and in those headers
// becomes BaseURL(). Anything else gets 404.
// The HTTPS variant makes its own certificate; clients trust it through
// CAFile(). Making a server clears the proxy variables of the environment,
// so no test traffic ever goes through a proxy by accident.
class TTestWebServer {
public:
    enum class TKind { HTTP, HTTPS };

    explicit TTestWebServer(TKind Kind = TKind::HTTP);
    ~TTestWebServer();
    TTestWebServer(const TTestWebServer&) = delete;
    TTestWebServer& operator=(const TTestWebServer&) = delete;

    void Serve(const std::string& Target, TTestResponse Response);
    void Serve(const std::string& Target, int Status, std::string Body, TTestHeaders Headers = {});
    void ServeHandler(const std::string& Target, TTestHandler Handler);
    // Answers what the table does not from Folder (see above).
    void ServeFolder(const std::string& Folder);

    int Port() const;
    // "http://127.0.0.1:PORT" (or https), without a trailing "/".
    std::string BaseURL() const;
    std::string URL(const std::string& Target) const { return BaseURL() + Target; }
    // PEM certificate that HTTPS clients must trust; "" for plain HTTP.
    std::string CAFile() const;

    std::vector<TRecordedRequest> Requests() const;
    std::vector<TRecordedRequest> RequestsFor(const std::string& Target) const;
    std::size_t RequestCount() const { return Requests().size(); }
    // Waits until at least Count requests have arrived; false after Timeout.
    bool WaitForRequests(std::size_t Count, std::chrono::milliseconds Timeout) const;
    void ClearRequests();

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};

// RFC 7231 date ("Sun, 06 Nov 1994 08:49:37 GMT") of a UTC time.
std::string HTTPDate(std::int64_t UnixSeconds);

} // namespace testsupport
