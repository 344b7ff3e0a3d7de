// A link resolved against a page. Input: page address, a newline, link text
// (without a newline the whole input is a link on a fixed page). Resolved web
// addresses hold no dot segments, inherited credentials never change host, and
// the local name stays inside the destination.

#include "fuzz_url_checks.h"

#include <cstdint>
#include <string_view>

namespace {

// Holds every character that would end the user information early.
const std::string BasePassword = "p@ss/w#rd?:x";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    std::string_view input(reinterpret_cast<const char*>(Data), Size);
    std::string_view pageText = "http://site.test/a/b/c.htm";
    if (const auto newline = input.find('\n'); newline != std::string_view::npos) {
        pageText = input.substr(0, newline);
        input.remove_prefix(newline + 1);
    }
    web::TURL page;
    if (!page.SetFullURL(pageText)) page.SetFullURL("http://site.test/a/b/c.htm");
    if (Size % 2 == 1) page.SetCredentials("me", BasePassword);

    web::TURL url;
    if (!url.SetRelativeURL(input, page)) {
        FUZZ_CHECK(!url.IsValid() && url.GetFullURL().empty());
        return 0;
    }
    FUZZ_CHECK(url.GetUserName().empty() == url.GetPassword().empty());
    if (fuzzchecks::IsSavedScheme(url.GetScheme()))
        FUZZ_CHECK(!fuzzchecks::HasDotSegment(url.GetUrlPath(), 1));
    // Link text cannot spell this password, so it came from the page.
    if (url.GetPassword() == BasePassword) FUZZ_CHECK(url.GetHostName() == page.GetHostName());
    fuzzchecks::CheckLocalNames(url);
    return 0;
}
