// Arbitrary bytes as a saved style sheet: scan them for addresses and rewrite
// them as a job does. Checks that every address lies inside the sheet in
// order, and that rewriting keeps the sheet's structure: the rewritten sheet
// has as many addresses as before, each one where the new text was written.
#include "web/CSSScanner.h"
#include "web/HTMLParser.h"
#include "web/LinkType.h"

#include "fuzz_saved_site.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace {

constexpr const char* SheetURL = "http://site.test/css/site.css";

using fuzzsite::Check;

void CheckReferences(std::string_view Sheet, const std::vector<web::TValuePart>& References) {
    std::size_t after = 0;
    for (const web::TValuePart& reference : References) {
        Check(reference.Length > 0, "empty address");
        Check(reference.Offset >= after, "addresses in order, apart");
        Check(reference.Offset + reference.Length <= Sheet.size(), "address inside the sheet");
        after = reference.Offset + reference.Length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size == 0) return 0;
    // The first byte chooses options; the rest is the sheet.
    const std::uint8_t flags = Data[0];
    const std::string_view sheet(reinterpret_cast<const char*>(Data + 1), Size - 1);
    const auto references = web::FindCSSReferences(sheet);
    CheckReferences(sheet, references);

    static const fuzzsite::TSavedSite site({"site.test/css/site.css", "site.test/img/a.png",
                                            "site.test/css/b.css", "site.test/Font.woff2",
                                            "other.test/x y.gif"});
    web::THTMLParser parser;
    web::TWebLinkList links;
    Check(static_cast<bool>(parser.GetLinksInStyleSheetText(sheet, SheetURL, &links)),
          "scan failed");
    Check(links.Count() == static_cast<std::int32_t>(references.size()), "one link per address");

    web::TLinkReplaceOptions options;
    options.DestinationPath = site.Dest;
    options.AssumeWWW = flags & 1;
    options.RecreateFolderStructure = !(flags & 2);
    std::ostringstream output;
    const auto result = parser.ReplaceLinksInStream(
        sheet, output, SheetURL, site.Dest + "/site.test/css/site.css", options, links);
    Check(static_cast<bool>(result), "rewrite failed");
    const std::string rewritten = output.str();
    const auto again = web::FindCSSReferences(rewritten);
    CheckReferences(rewritten, again);
    Check(again.size() == references.size(), "rewriting changed the sheet's addresses");
    return 0;
}
