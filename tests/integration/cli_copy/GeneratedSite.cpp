#include "GeneratedSite.h"

#include <chrono>
#include <ctime>
#include <regex>

namespace clitest {

namespace {

using testsupport::TTestResponse;

constexpr std::int64_t OriginalTime = 1577836800;  // 2020-01-01, the first version of everything

// Seconds of an RFC 7231 date as the test server writes it; -1 when unreadable.
std::int64_t ParseHTTPDate(const std::string& Text) {
    std::tm time{};
    const char* end = ::strptime(Text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &time);
    return end ? static_cast<std::int64_t>(::timegm(&time)) : -1;
}

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Links from one page of the tree to another: every page sits two folders deep.
std::string FromPage(const std::string& Path) { return "../.." + Path; }

} // namespace

TGeneratedSite::TGeneratedSite(testsupport::TTestWebServer& Server, int Pages, std::string ExternalBase)
    : Server(Server), PageCount(Pages), ExternalBase(std::move(ExternalBase)), Versions(Pages + 1) {
    for (auto& page : Versions) page.LastModified = OriginalTime;
    for (int i = 0; i <= Pages; ++i)
        Server.ServeHandler(i == Pages ? "/" : PagePath(i), [this, i](const auto& Request) { return Answer(i, Request); });
    for (int k = 0; k < ImageCount; ++k) {
        const std::string gif = "GIF89a image " + std::to_string(k);
        Server.ServeHandler(ImagePath(k), [gif](const testsupport::TRecordedRequest& Request) {
            const auto since = ParseHTTPDate(Request.Header("If-Modified-Since"));
            if (since >= OriginalTime) return testsupport::MakeResponse(304, "");
            return testsupport::MakeResponse(200, gif, {{"Content-Type", "image/gif"},
                                                        {"Last-Modified", testsupport::HTTPDate(OriginalTime)}});
        });
    }
}

TGeneratedSite::~TGeneratedSite() { Release(); }

std::string TGeneratedSite::PagePath(int Page) {
    return "/s" + std::to_string(Page % 5) + "/d" + std::to_string(Page % 3) + "/p" + std::to_string(Page) + ".html";
}

std::vector<int> TGeneratedSite::PagesAtDistance(int Distance) const {
    // Pages 0-2 are the start page's links; the children of page i are 3i+1..3i+3.
    std::vector<int> level{0, 1, 2};
    for (int d = 1; d < Distance; ++d) {
        std::vector<int> next;
        for (int page : level)
            for (int child = 3 * page + 1; child <= 3 * page + 3; ++child)
                if (child >= 3 && child < PageCount) next.push_back(child);
        level = next;
    }
    return level;
}

std::string TGeneratedSite::StartPage() const {
    std::string html = "<html><head><title>Start</title></head><body><img src=\"img/i0.gif\">\n";
    for (int i = 0; i < 3 && i < PageCount; ++i)
        html += "<a href=\"" + PagePath(i).substr(1) + "\">page " + std::to_string(i) + "</a>\n";
    for (int k = 0; k < ExternalLinks; ++k)
        html += "<a href=\"" + ExternalBase + "/ext" + std::to_string(k) + ".html\">elsewhere</a>\n";
    return html + "</body></html>\n";
}

std::string TGeneratedSite::Body(int Page) const {
    if (Page == PageCount) return StartPage();
    std::lock_guard guard(Lock);
    std::string html = "<html><head><title>Page " + std::to_string(Page) + "</title></head><body>\n<h1 id=\"top\">Page " +
                       std::to_string(Page) + " version " + std::to_string(Versions[Page].Version) + "</h1>\n";
    html += "<img src=\"" + (Page % 2 ? FromPage(ImagePath(Page)) : ImagePath(Page)) + "\">\n";
    html += "<a href=\"../../\">start</a> <a href=\"p" + std::to_string(Page) + ".html#top\">top</a>\n";
    if (Page >= 3) html += "<a href=\"" + FromPage(PagePath((Page - 1) / 3)) + "\">up</a>\n";
    for (int child = 3 * Page + 1; child <= 3 * Page + 3; ++child)
        if (child >= 3 && child < PageCount)
            html += "<a href=\"" + FromPage(PagePath(child)) + "\">page " + std::to_string(child) + "</a>\n";
    return html + std::string(Page % 7 * 300, ' ') + "</body></html>\n";
}

void TGeneratedSite::Change(int Page) {
    std::lock_guard guard(Lock);
    ++Versions[Page].Version;
    // A second later than anything saved so far, so no copy counts as newer.
    Versions[Page].LastModified = Now() + 1;
}

TTestResponse TGeneratedSite::Answer(int Page, const testsupport::TRecordedRequest& Request) {
    const std::string body = Body(Page);
    std::unique_lock guard(Lock);
    const std::int64_t modified = Versions[Page].LastModified;
    const auto since = ParseHTTPDate(Request.Header("If-Modified-Since"));
    if (since >= modified) return testsupport::MakeResponse(304, "");
    auto response = testsupport::MakeResponse(200, body, {{"Content-Type", "text/html"},
                                                          {"Last-Modified", testsupport::HTTPDate(modified)}});
    if (Blocking >= 0 && Page >= Blocking && Page < PageCount) {
        response.PieceSize = body.size() / 2 + 1;
        response.BeforePiece = [this](std::size_t) {
            std::unique_lock wait(Lock);
            ++Blocked;
            Moved.notify_all();
            Moved.wait(wait, [this] { return Released; });
        };
    }
    return response;
}

void TGeneratedSite::BlockFrom(int Page) {
    std::lock_guard guard(Lock);
    Blocking = Page;
}

bool TGeneratedSite::WaitForBlocked(int Count, std::chrono::milliseconds Timeout) {
    std::unique_lock guard(Lock);
    return Moved.wait_for(guard, Timeout, [&] { return Blocked >= Count; });
}

void TGeneratedSite::Release() {
    std::lock_guard guard(Lock);
    Released = true;
    Moved.notify_all();
}

std::vector<std::string> LinksOf(const std::string& Html) {
    static const std::regex link(R"re((?:href|src)\s*=\s*"([^"]*)")re", std::regex::icase);
    std::vector<std::string> links;
    for (auto it = std::sregex_iterator(Html.begin(), Html.end(), link); it != std::sregex_iterator(); ++it)
        links.push_back((*it)[1].str());
    return links;
}

} // namespace clitest
