// Any text parsed as an absolute address: the local name stays inside the
// destination, and a composed address parses back to the same parts.

#include "fuzz_url_checks.h"

#include <cstdint>
#include <string_view>

namespace {

void CheckRoundTrip(const web::TURL& Url) {
    if (Url.GetScheme() == web::SchemeFile || Url.GetScheme() == web::SchemeMailto) return;
    FUZZ_CHECK(Url.GetPort() != 0 && !Url.GetUrlPath().empty() && Url.GetUrlPath()[0] == '/');
    const std::string full = Url.GetFullURL();
    if (full.empty()) return;  // too long to compose
    web::TURL again;
    const bool parsed = again.SetFullURL(full);
    // Credentials never move the host, whatever characters they hold.
    if (parsed) FUZZ_CHECK(again.GetHostName() == Url.GetHostName());
    if (!Url.HasNoCredentials()) return;
    FUZZ_CHECK(parsed);
    FUZZ_CHECK(again.GetScheme() == Url.GetScheme() && again.GetPort() == Url.GetPort());
    FUZZ_CHECK(again.GetUrlPath() == Url.GetUrlPath());
    FUZZ_CHECK(again.GetExtraInfo() == Url.GetExtraInfo());
    FUZZ_CHECK(again.GetFragment() == Url.GetFragment());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view text(reinterpret_cast<const char*>(Data), Size);
    web::TURL url;
    if (!url.SetFullURL(text)) {
        FUZZ_CHECK(!url.IsValid() && url.GetFullURL().empty());
        return 0;
    }
    FUZZ_CHECK(url.GetUserName().empty() == url.GetPassword().empty());
    fuzzchecks::CheckLocalNames(url);
    CheckRoundTrip(url);
    web::DecodeEntitiesInURL(text);
    return 0;
}
