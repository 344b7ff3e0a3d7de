// Finding links with their exact byte positions, resolving them, and the
// page's robots directives.
#include "web/HTMLParser.h"
#include "web/CSSScanner.h"
#include "web/LinkType.h"
#include "web/LinkValueParts.h"

#include "unit/CaseTable.h"

#include <gtest/gtest.h>

using web::THTMLParser;
using web::TWebLinkInfo;
using web::TWebLinkList;

namespace {

constexpr const char* Page = "http://site.test/p/index.htm";

struct TScanned {
    THTMLParser Parser;
    TWebLinkList Links;
    explicit TScanned(const std::string& Html, const std::string& PageURL = Page) {
        EXPECT_TRUE(Parser.GetLinksInHTMLText(Html, PageURL, &Links));
    }
    const TWebLinkInfo* With(const std::string& Attribute) const {
        for (int i = 0; i < Links.Count(); ++i)
            if (Links.Get(i)->AttributeName() == Attribute) return Links.Get(i);
        return nullptr;
    }
    std::string Resolved(const std::string& Attribute) const {
        const TWebLinkInfo* link = With(Attribute);
        return !link ? "(missing)" : link->HasValidURL() ? link->URL().GetFullURL() : "(invalid)";
    }
};

} // namespace

TEST(HTMLScan, FindsValuesWithTheirPositionsAsWritten) {
    for (const auto& row : unittest::ReadCases("htmlparser/scan.tsv", 2)) {
        const std::string& html = row[0];
        TScanned page(html);
        std::string found;
        for (int i = 0; i < page.Links.Count(); ++i) {
            const auto& l = *page.Links.Get(i);
            found += (i ? " | " : "") + std::string(l.TagName()) + " " + std::string(l.AttributeName()) + "=" +
                     std::string(l.Value()) + " @" +
                     std::to_string(l.ValueOffset) + "+" + std::to_string(l.ValueLength) + " #" +
                     std::to_string(l.TagIndex);
            // The offsets must point at the value and the tag as written in the page.
            EXPECT_NE(html.substr(l.ValueOffset, l.ValueLength).find(l.Value()), std::string::npos) << row.Where;
            EXPECT_EQ(html.substr(l.TagOffset, 1) + html.substr(l.TagOffset + l.TagLength - 1, 1), "<>")
                << row.Where;
        }
        EXPECT_EQ(found, row[1]) << row.Where;
    }
}

TEST(HTMLResolve, ResolvesAgainstThePageItsBaseOrTheTagsCodebase) {
    for (const auto& row : unittest::ReadCases("htmlparser/resolve.tsv", 3))
        EXPECT_EQ(TScanned(row[0]).Resolved(row[1]), row[2]) << row.Where;
    EXPECT_EQ(TScanned("<img src=pic.gif>", "not an address").Resolved("SRC"), "(invalid)");
    EXPECT_EQ(TScanned("<base href=http://b.test/><img src=pic.gif>", "no address").Resolved("SRC"),
              "http://b.test/pic.gif");
}

TEST(HTMLResolve, RobotsDirectivesSetTheFlags) {
    for (const auto& row : unittest::ReadCases("htmlparser/robots.tsv", 3)) {
        TScanned page(row[0]);
        EXPECT_EQ(page.Parser.NoIndex(), row.Flag(1)) << row.Where;
        EXPECT_EQ(page.Parser.NoFollow(), row.Flag(2)) << row.Where;
    }
}

namespace {

// The texts at the given places, apart by " | "; "" for none.
template <typename TParts> std::string Texts(std::string_view Text, const TParts& Parts) {
    std::string out;
    for (const auto& part : Parts)
        out += (out.empty() ? "" : " | ") + std::string(Text.substr(part.Offset, part.Length));
    return out;
}

} // namespace

TEST(CSSScan, FindsEveryAddressOfAStyleSheet) {
    for (const auto& row : unittest::ReadCases("htmlparser/css.tsv", 2))
        EXPECT_EQ(Texts(row[0], web::FindCSSReferences(row[0])), row[1]) << row.Where;
}

TEST(ValueParts, SplitsSrcsetCandidatesAndFindsRefreshTargets) {
    for (const auto& row : unittest::ReadCases("htmlparser/srcset.tsv", 2))
        EXPECT_EQ(Texts(row[0], web::SplitSrcset(row[0])), row[1]) << row.Where;
    for (const auto& row : unittest::ReadCases("htmlparser/refresh.tsv", 2)) {
        const auto target = web::FindRefreshTarget(row[0]);
        const std::string found = target ? row[0].substr(target->Offset, target->Length) : "";
        EXPECT_EQ(found, row[1]) << row.Where;
    }
}
