#pragma once

#include "support/TestWebServer.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace clitest {

// A generated site on a test server: a start page "/" and Pages pages in a
// 3-ary tree spread over nested folders ("/s1/d2/p7.html"), each linking to its
// children, its parent and the start page with relative links, and embedding
// one of ten images. The start page also links to ExternalLinks pages of
// another host. Every answer carries Last-Modified and honours
// If-Modified-Since with 304. Pages from BlockFrom on (when set) send half
// their body and then wait until Release.
class TGeneratedSite {
public:
    static constexpr int ImageCount = 10;
    static constexpr int ExternalLinks = 5;

    TGeneratedSite(testsupport::TTestWebServer& Server, int Pages, std::string ExternalBase);
    ~TGeneratedSite();

    static std::string PagePath(int Page);
    static std::string ImagePath(int Page) { return "/img/i" + std::to_string(Page % ImageCount) + ".gif"; }
    // Pages at link distance Distance from the start page (the start page's links are at 1).
    std::vector<int> PagesAtDistance(int Distance) const;
    int Pages() const { return PageCount; }

    // The page's next version, modified now.
    void Change(int Page);
    std::string Body(int Page) const;

    void BlockFrom(int Page);
    // Waits until Count blocked answers wait; false after Timeout.
    bool WaitForBlocked(int Count, std::chrono::milliseconds Timeout);
    void Release();

private:
    struct TPage {
        int Version = 1;
        std::int64_t LastModified = 0;  // Unix seconds
    };

    testsupport::TTestResponse Answer(int Page, const testsupport::TRecordedRequest& Request);
    std::string StartPage() const;

    testsupport::TTestWebServer& Server;
    int PageCount;
    std::string ExternalBase;
    mutable std::mutex Lock;        // guards Versions, Blocking, Blocked and Released
    std::condition_variable Moved;  // signalled when an answer blocks and on Release
    std::vector<TPage> Versions;    // index 0..PageCount-1; PageCount is the start page
    int Blocking = -1;              // first page that blocks; -1: none
    int Blocked = 0;
    bool Released = false;
};

// Every link (href and src values) of an HTML text, in order.
std::vector<std::string> LinksOf(const std::string& Html);

} // namespace clitest
