// Arbitrary bytes as a saved page: scan them, splice given texts into them and
// rewrite them as a job does. Checks that the scanner agrees with a plain
// byte-by-byte reading of the tag rules, that splicing gives exactly the
// expected bytes, and that a rewritten page keeps its tag structure.
#include "web/HTMLParser.h"
#include "web/LinkType.h"

#include "fuzz_saved_site.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* PageURL = "http://site.test/a/page.html";

using fuzzsite::Check;

struct TTagSpan {
    std::size_t Start, End; // "<" and ">" positions
};

bool SameLetters(std::string_view Text, std::string_view Upper) {
    if (Text.size() != Upper.size()) return false;
    for (std::size_t i = 0; i < Text.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(Text[i])) != Upper[i]) return false;
    return true;
}

// "<style" followed by a blank, "/" or the tag's end.
bool IsStyleTag(std::string_view Tag) {
    return Tag.size() >= 6 && SameLetters(Tag.substr(1, 5), "STYLE") &&
           (Tag.size() == 6 || static_cast<unsigned char>(Tag[6]) <= ' ' || Tag[6] == '/');
}

// The "<" of the whole "</style" tag name after From ("</styles" is none), or
// the page's end: a STYLE block holds no tags.
std::size_t StyleEnd(std::string_view Page, std::size_t From) {
    for (std::size_t p = From; p + 7 <= Page.size(); ++p) {
        const bool nameEnds = p + 7 == Page.size() || static_cast<unsigned char>(Page[p + 7]) <= ' ' ||
                              Page[p + 7] == '/' || Page[p + 7] == '>';
        if (SameLetters(Page.substr(p, 7), "</STYLE") && nameEnds) return p;
    }
    return Page.size();
}

// The tag rules read one byte at a time, as a reference for the memchr scanner.
std::vector<TTagSpan> ReferenceTags(std::string_view Page) {
    std::vector<TTagSpan> tags;
    bool inTag = false, inComment = false, checkComment = false;
    std::size_t start = 0;
    for (std::size_t p = 0; p < Page.size(); ++p) {
        const char ch = Page[p];
        if (!inTag) {
            if (ch == '<') start = p, inTag = checkComment = true, inComment = false;
        } else if (ch == '>') {
            if (inComment && Page[p - 1] == '-' && Page[p - 2] == '-') inComment = false;
            if (!inComment) tags.push_back({start, p}), inTag = false;
            if (!inTag && IsStyleTag(Page.substr(start, p - start))) p = StyleEnd(Page, p) - 1;
        } else if (checkComment) {
            const std::size_t d = p - start;
            if (d >= 4)
                inComment = true, checkComment = false;
            else if (ch != "!--"[d - 1])
                checkComment = false;
        }
    }
    return tags;
}

void CheckLinksAgainstReference(std::string_view Page, const web::TWebLinkList& Links,
                                const std::vector<TTagSpan>& Tags) {
    for (std::int32_t i = 0; i < Links.Count(); ++i) {
        const web::TWebLinkInfo& link = *Links.Get(i);
        Check(link.TagIndex >= 1 && static_cast<std::size_t>(link.TagIndex) <= Tags.size(),
              "tag index");
        const TTagSpan& tag = Tags[static_cast<std::size_t>(link.TagIndex - 1)];
        Check(static_cast<std::size_t>(link.TagOffset) == tag.Start, "tag offset");
        Check(static_cast<std::size_t>(link.TagLength) == tag.End - tag.Start + 1, "tag length");
        Check(!link.ValueQuote || Page[static_cast<std::size_t>(link.ValueOffset)] == link.ValueQuote,
              "value quote");
        Check(!link.Value().empty(), "empty value recorded");
        const std::string_view valueText = Page.substr(static_cast<std::size_t>(link.ValueOffset),
                                                       static_cast<std::size_t>(link.ValueLength));
        Check(link.Syntax != web::TLinkSyntax::CSSText || valueText == link.Value(), "a CSS address as written");
        // A STYLE block's addresses lie in its text, after its tag.
        const std::int64_t valueEnd = link.ValueOffset + link.ValueLength;
        if (link.Syntax == web::TLinkSyntax::CSSText)
            Check(link.ValueOffset >= link.TagOffset + link.TagLength && link.ValueLength > 0 &&
                      valueEnd <= static_cast<std::int64_t>(Page.size()),
                  "CSS address after its STYLE tag");
        else
            Check(link.ValueOffset > link.TagOffset && link.ValueLength > 0 &&
                      valueEnd < link.TagOffset + link.TagLength,
                  "value inside its tag");
        Check(link.PartOffset >= 0 && link.PartLength >= 0 &&
                  link.PartOffset + link.PartLength <= link.ValueLength,
              "refresh target or srcset candidate inside its value");
        if (i > 0) Check(Links.Get(i - 1)->TagIndex <= link.TagIndex, "links in tag order");
    }
}

bool IsBase(const web::TWebLinkInfo& Link) {
    return Link.TagName() == "BASE" && Link.AttributeName() == "HREF";
}

// Splices "[position]" into every link whose position is odd, keeps the rest,
// and compares with the page rebuilt here from the spans.
void CheckSplice(std::string_view Page, web::TWebLinkList Links) {
    struct TSpan {
        std::int64_t Start, Length;
        std::string Text;
    };
    std::vector<TSpan> spans;
    for (std::int32_t i = 0; i < Links.Count(); ++i) {
        const web::TWebLinkInfo& link = *Links.Get(i);
        if (IsBase(link)) {
            spans.push_back({link.TagOffset, link.TagLength, ""});
            continue;
        }
        const std::int64_t start = link.TextPosition();
        const std::int64_t length = link.IsPartOfValue() ? link.PartLength : link.ValueLength;
        spans.push_back({start, length,
                         start % 2 ? "[" + std::to_string(start) + "]"
                                   : std::string(Page.substr(static_cast<std::size_t>(start),
                                                             static_cast<std::size_t>(length)))});
    }
    std::stable_sort(spans.begin(), spans.end(),
                     [](const TSpan& A, const TSpan& B) { return A.Start < B.Start; });
    std::string expected;
    std::int64_t position = 0;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        // A name matched inside another attribute's text stays part of that text.
        if (spans[i].Start < position) continue;
        expected.append(Page.substr(static_cast<std::size_t>(position),
                                    static_cast<std::size_t>(spans[i].Start - position)));
        expected += spans[i].Text;
        position = spans[i].Start + spans[i].Length;
    }
    expected.append(Page.substr(static_cast<std::size_t>(position)));

    std::ostringstream output;
    const auto result = web::ReplaceLinkTexts(
        Page, output, Links,
        [](const web::TWebLinkInfo& Link) -> std::optional<std::string> {
            if (Link.TextPosition() % 2 == 0) return std::nullopt;
            return "[" + std::to_string(Link.TextPosition()) + "]";
        },
        nullptr);
    Check(static_cast<bool>(result), "splice failed");
    Check(output.str() == expected, "splice differs from the expected page");
}

// The job's rewrite: it must succeed, and the new page has the same tags but
// the dropped BASE tags, plus the mark when one is added.
void CheckRewrite(std::string_view Page, web::THTMLParser& Parser, web::TWebLinkList Links,
                  std::size_t TagCount, std::uint8_t Flags) {
    static const fuzzsite::TSavedSite site({"site.test/a/page.html", "site.test/a/x.gif",
                                            "site.test/a/b.html", "site.test/index.html",
                                            "site.test/img/y.png", "other.test/q.htm"});
    web::TLinkReplaceOptions options;
    options.DestinationPath = site.Dest;
    options.AddMarkOfWeb = Flags & 1;
    options.AssumeWWW = Flags & 2;
    options.RecreateFolderStructure = !(Flags & 4);
    int stopAfter = Flags >> 4; // 0: never
    std::int64_t stoppedAt = INT64_MAX;
    Parser.OnRewriteProgress = [&](std::uint32_t Position, std::uint32_t Size) {
        Check(Position <= Size, "rewrite progress past the end");
        if (--stopAfter != 0) return false;
        stoppedAt = Position;
        return true;
    };

    std::ostringstream output;
    const auto result = Parser.ReplaceLinksInStream(
        Page, output, PageURL, site.Dest + "/site.test/a/page.html", options, Links);
    Check(static_cast<bool>(result), "rewrite failed");
    // BASE tags after a stop stay: the rest of the page is copied unchanged.
    std::size_t bases = 0;
    for (std::int32_t i = 0; i < Links.Count(); ++i)
        bases += IsBase(*Links.Get(i)) && Links.Get(i)->TagOffset < stoppedAt;
    const bool marked = options.AddMarkOfWeb && !Parser.HasSavedFromMark();
    Check(ReferenceTags(output.str()).size() == TagCount - bases + (marked ? 1 : 0),
          "rewritten page has other tags");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size == 0) return 0;
    // The first byte chooses options; the rest is the page.
    const std::uint8_t flags = Data[0];
    const std::string_view page(reinterpret_cast<const char*>(Data + 1), Size - 1);

    web::THTMLParser parser;
    int progressCalls = 0;
    std::uint32_t lastPosition = 0;
    parser.OnParseProgress = [&](std::uint32_t Position, std::uint32_t Total) {
        Check(Position > lastPosition && Position <= Total, "parse progress order");
        lastPosition = Position;
        // Some inputs stop at the second call: the links found so far must still be whole.
        return (flags & 8) && ++progressCalls == 2;
    };
    web::TWebLinkList links;
    Check(static_cast<bool>(parser.GetLinksInHTMLText(page, PageURL, &links)), "scan failed");
    const std::vector<TTagSpan> tags = ReferenceTags(page);
    CheckLinksAgainstReference(page, links, tags);
    CheckSplice(page, links);
    if (!(flags & 8)) CheckRewrite(page, parser, links, tags.size(), flags);
    return 0;
}
