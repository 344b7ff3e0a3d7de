#include "web/HTMLParser.h"

#include "base/AsciiText.h"
#include "base/AppTraceLog.h"
#include "web/CSSScanner.h"
#include "web/HTMLTagTable.h"
#include "web/LinkValueParts.h"
#include "web/LinkType.h"
#include "web/URLBase.h"
#include "web/URLType.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <span>
#include <tuple>
#include <vector>


namespace web {

using namespace std::string_view_literals;

namespace {

constexpr const char* UnitName = "HarvexisHTMLParser";
// Progress is reported after the first byte and then after every this many bytes.
constexpr std::size_t ProgressInterval = 3001;
// The mark counts only when it ends within this many bytes of the file's start.
constexpr std::size_t SavedFromMarkLimit = 2048;
constexpr std::string_view SavedFromMarkStart = "<!-- saved from url=";

bool IsBlank(char C) {
    return static_cast<unsigned char>(C) <= ' ';
}

// Text at Pos starts with Word (upper case), letters compared without regard to case.
bool StartsWithAt(std::string_view Text, std::size_t Pos, std::string_view Word) {
    if (Pos + Word.size() > Text.size()) return false;
    for (std::size_t i = 0; i < Word.size(); ++i)
        if (base::UpperAsciiChar(Text[Pos + i]) != Word[i]) return false;
    return true;
}

// One attribute value as found inside a tag's text.
struct TTagAttribData {
    std::int32_t ValueStart = 0;  // offset in the tag text ("<" is 0), opening quote included
    std::int32_t ValueLength = 0; // quotes included
    std::string_view Value;       // without quotes, trimmed: a view into the tag
};

// Where each of Names (upper case) is first named outside quoted text, searching
// Inner (the tag without "<" and ">") after the tag's name; npos where it is
// not. Only a whole name counts: "SRC" is not found inside "lowsrc" or
// "data-src", which name other files. One pass over the tag serves all names.
void FindAttributeNames(std::string_view Inner, std::size_t NameLength, std::span<const std::string_view> Names,
                        std::span<std::size_t> Found) {
    std::size_t longest = 0, missing = Names.size();
    for (const std::string_view name : Names)
        longest = std::max(longest, name.size());
    std::fill(Found.begin(), Found.end(), std::string_view::npos);
    for (std::size_t j = NameLength; j < Inner.size() && missing > 0; ++j) {
        const char c = Inner[j];
        if (c == '"' || c == '\'') {
            // Quoted text (mostly the addresses) is passed in one step; an
            // unclosed quote runs to the end of the tag.
            j = Inner.find(c, j + 1);
            if (j == std::string_view::npos) break;
            continue;
        }
        const char before = Inner[j - 1];
        if (!(IsBlank(before) || before == '"' || before == '\'' || before == '/')) continue;
        // The word here ends at a blank or "="; one longer than every name matches none.
        const std::size_t limit = std::min(Inner.size(), j + longest + 1);
        std::size_t end = j;
        while (end < limit && !IsBlank(Inner[end]) && Inner[end] != '=')
            ++end;
        for (std::size_t i = 0; i < Names.size(); ++i) {
            if (Found[i] != std::string_view::npos || Names[i].size() != end - j) continue;
            if (StartsWithAt(Inner, j, Names[i])) Found[i] = j, --missing;
        }
    }
}

// The value of the attribute whose name ends at NameEnd in Inner, or false
// when it has none. A quoted value runs to its closing quote or, unclosed, to
// the end of the tag; an unquoted one to the next blank.
bool AttributeValueAt(std::string_view Inner, std::size_t NameEnd, TTagAttribData& Data) {
    const std::size_t n = Inner.size();
    std::size_t k = NameEnd;
    while (k < n && IsBlank(Inner[k]))
        ++k;
    if (k >= n || Inner[k] != '=') return false;
    ++k;
    while (k < n && IsBlank(Inner[k]))
        ++k;
    if (k >= n) return false;

    std::size_t textStart = k, textEnd, valueEnd;
    const char quote = Inner[k];
    if (quote == '"' || quote == '\'') {
        textStart = k + 1;
        const std::size_t close = Inner.find(quote, textStart);
        textEnd = close == std::string_view::npos ? n : close;
        valueEnd = close == std::string_view::npos ? n : close + 1;
    } else {
        textEnd = k;
        while (textEnd < n && !IsBlank(Inner[textEnd]))
            ++textEnd;
        valueEnd = textEnd;
    }
    Data.ValueStart = static_cast<std::int32_t>(k + 1);
    Data.ValueLength = static_cast<std::int32_t>(valueEnd - k);
    Data.Value = base::TrimControlsView(Inner.substr(textStart, textEnd - textStart));
    return true;
}

// The value of AttribName, or false when the attribute is missing or has no value.
bool FindAttributeValue(std::string_view Inner, std::size_t NameLength, std::string_view AttribName,
                        TTagAttribData& Data) {
    std::size_t position = 0;
    FindAttributeNames(Inner, NameLength, {&AttribName, 1}, {&position, 1});
    return position != std::string_view::npos && AttributeValueAt(Inner, position + AttribName.size(), Data);
}

// The comment that rewriting puts first in a page, ending within the first 2048 bytes.
bool IsSavedFromMark(std::string_view TagText, std::size_t TagOffset) {
    return TagOffset + TagText.size() < SavedFromMarkLimit &&
           TagText.size() >= SavedFromMarkStart.size() + 3 &&
           base::SameTextAscii(TagText.substr(0, SavedFromMarkStart.size()), SavedFromMarkStart) &&
           TagText.substr(TagText.size() - 3) == "-->";
}

// The links of one tag lie side by side in the list, in the order of the tag table.
std::pair<std::int32_t, std::int32_t> TagRange(const TWebLinkList& Links, std::int32_t Index) {
    const std::int32_t tag = Links.Get(Index)->TagIndex;
    std::int32_t first = Index, last = Index + 1;
    while (first > 0 && Links.Get(first - 1)->TagIndex == tag)
        --first;
    while (last < Links.Count() && Links.Get(last)->TagIndex == tag)
        ++last;
    return {first, last};
}

// The index of the CODEBASE link of the same tag as the link at Index, or -1.
std::int32_t FindCodebase(const TWebLinkList& Links, std::int32_t Index) {
    const auto [first, last] = TagRange(Links, Index);
    for (std::int32_t i = first; i < last; ++i)
        if (Links.Get(i)->AttributeName() == "CODEBASE"sv) return i;
    return -1;
}

// Finds the refresh target inside CONTENT's value as written ('5; URL=next.htm');
// the link then stands for the target alone.
void SetRefreshTarget(TWebLinkInfo& Content, std::string_view& Value, std::string_view Page) {
    const std::string_view raw = Page.substr(static_cast<std::size_t>(Content.ValueOffset),
                                             static_cast<std::size_t>(Content.ValueLength));
    const std::optional<TValuePart> target = FindRefreshTarget(raw);
    if (!target) return;
    Content.PartOffset = static_cast<std::int32_t>(target->Offset);
    Content.PartLength = static_cast<std::int32_t>(target->Length);
    Value = raw.substr(target->Offset, target->Length);
}

// Text at Pos holds the tag name Name (upper case) as a whole word: a blank,
// "/", ">" or the end of Text follows it.
bool IsTagNameAt(std::string_view Text, std::size_t Pos, std::string_view Name) {
    const std::size_t after = Pos + Name.size();
    return StartsWithAt(Text, Pos, Name) &&
           (after == Text.size() || IsBlank(Text[after]) || Text[after] == '/' || Text[after] == '>');
}

// Tag (from its "<", without its ">") opens a STYLE block.
bool IsStyleStart(std::string_view Tag) {
    return IsTagNameAt(Tag, 1, "STYLE");
}

// Tag (from its "<") closes a STYLE block. The scan that skips the block and
// the tag that closes it must agree: "</styles>" or "</style=x>" are the
// block's text, as to browsers.
bool IsStyleEnd(std::string_view Tag) {
    return IsTagNameAt(Tag, 1, "/STYLE");
}

// Where the STYLE block that runs from From ends: its "</style", or the end of Text.
std::size_t FindStyleEnd(std::string_view Text, std::size_t From) {
    for (std::size_t p = Text.find('<', From); p != std::string_view::npos; p = Text.find('<', p + 1))
        if (IsStyleEnd(Text.substr(p))) return p;
    return Text.size();
}

// The text of an attribute value inside its tag, without its quotes; Offset
// is where that text starts inside the raw value (1 when quoted, else 0).
struct TUnquotedValue {
    std::string_view Text;
    std::size_t Offset = 0;
};

TUnquotedValue UnquotedValue(std::string_view TagText, std::int32_t ValueStart, std::int32_t ValueLength) {
    const std::string_view raw =
        TagText.substr(static_cast<std::size_t>(ValueStart), static_cast<std::size_t>(ValueLength));
    const std::size_t start = !raw.empty() && (raw[0] == '"' || raw[0] == '\'') ? 1 : 0;
    const std::size_t end = start && raw.size() > 1 && raw.back() == raw[0] ? raw.size() - 1 : raw.size();
    return {raw.substr(start, end - start), start};
}

} // namespace

TPageResult THTMLParser::GetLinksInHTMLText(std::string_view Text, const std::string& PageURL,
                                            TWebLinkList* Links) {
    return ScanText(Text, PageURL, Links, false);
}

TPageResult THTMLParser::GetLinksInStyleSheetText(std::string_view Text, const std::string& SheetURL,
                                                  TWebLinkList* Links) {
    return ScanText(Text, SheetURL, Links, true);
}

TPageResult THTMLParser::ScanText(std::string_view Text, const std::string& PageURL, TWebLinkList* Links,
                                  bool StyleSheet) {
    if (Links) Links->Clear();
    PageNoFollow = PageNoIndex = PageHasSavedFromMark = false;
    PageAddress = PageURL;
    if (Text.size() > INT32_MAX) return TPageResult::Failed("File too large"); // link positions are 32-bit
    LinkList = Links;
    PageText = Text;
    StyleBlock = {};
    FoundTexts.clear();
    TPageResult result;
    try {
        if (StyleSheet) {
            // A sheet is scanned in one go; its one progress call reports it whole.
            const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(Text.size(), UINT32_MAX));
            if (LinkList) AddStyleSheetLinks(Text, 0, TFoundLink());
            if (OnParseProgress) OnParseProgress(size, size);
        } else {
            Scan(Text);
        }
        if (LinkList) ResolveLinks();
    } catch (const std::exception& Error) {
        result = TPageResult::Failed(Error.what());
    }
    LinkList = nullptr;
    PageText = {};
    StyleBlock = {};
    FoundTexts.clear(); // its views into the page end with this call
    return result;
}

// Finds tags by their angle brackets, touching each byte once: memchr jumps to
// the next "<" outside tags and to the next ">" inside them. Quotes are not
// looked at, so a ">" inside a quoted value ends the tag. A comment runs from
// "<!--" to the first "-->"; "<!-->" is an ordinary tag. An unclosed tag at
// the end is dropped.
void THTMLParser::Scan(std::string_view Text) {
    const char* data = Text.data();
    const std::size_t size = Text.size();
    const auto progressSize = static_cast<std::uint32_t>(std::min<std::size_t>(size, UINT32_MAX));
    bool inTag = false, inComment = false, checkComment = false;
    std::size_t tagStart = 0, p = 0, nextProgress = 1;
    std::int32_t tagIndex = 0;
    while (p < size) {
        const std::size_t segmentEnd = std::min(size, nextProgress);
        while (p < segmentEnd) {
            if (!inTag) {
                const void* open = std::memchr(data + p, '<', segmentEnd - p);
                if (!open) {
                    p = segmentEnd;
                    break;
                }
                tagStart = static_cast<std::size_t>(static_cast<const char*>(open) - data);
                p = tagStart + 1;
                inTag = checkComment = true;
                inComment = false;
            } else if (checkComment && data[p] != '>') {
                // Still deciding whether the tag began with "<!--".
                const std::size_t d = p - tagStart;
                if (d >= 4)
                    inComment = true, checkComment = false;
                else if (data[p] != "!--"[d - 1])
                    checkComment = false;
                ++p;
            } else {
                const void* close = std::memchr(data + p, '>', segmentEnd - p);
                if (!close) {
                    p = segmentEnd;
                    break;
                }
                const auto q = static_cast<std::size_t>(static_cast<const char*>(close) - data);
                p = q + 1;
                // Inside a comment only "-->" ends it; the comment began at least 5 bytes before.
                if (inComment && !(data[q - 1] == '-' && data[q - 2] == '-')) continue;
                inTag = inComment = checkComment = false;
                ProcessTag(Text, tagStart, q, ++tagIndex);
                // A STYLE block's text is a style sheet, not markup: no tags inside it.
                if (IsStyleStart(Text.substr(tagStart, q - tagStart))) p = FindStyleEnd(Text, p);
            }
        }
        if (p >= nextProgress) {
            if (OnParseProgress && OnParseProgress(static_cast<std::uint32_t>(p), progressSize))
                return;
            while (nextProgress <= p) nextProgress += ProgressInterval;
        }
    }
}

void THTMLParser::ProcessTag(std::string_view Text, std::size_t TagStart, std::size_t TagEnd,
                             std::int32_t TagIndex) {
    const std::string_view tagText = Text.substr(TagStart, TagEnd - TagStart + 1);
    const std::string_view inner = tagText.substr(1, tagText.size() - 2);
    std::size_t nameLength = 0;
    while (nameLength < inner.size() && !IsBlank(inner[nameLength]))
        ++nameLength;
    if (nameLength == 0) return;
    if (inner[0] == '!' && IsSavedFromMark(tagText, TagStart)) {
        PageHasSavedFromMark = true;
        return;
    }
    if (!LinkList) return;
    const std::string_view name = inner.substr(0, nameLength);
    const THTMLLinkTag* found = FindLinkTag(name);
    const bool styleStart = base::SameTextAscii(name, "STYLE");
    const bool styleEnd = StyleBlock.Link.TagLength != 0 && IsStyleEnd(tagText);
    // Only a tag with a "(" can hold url() in its STYLE attribute.
    const bool mayHoldURL = std::memchr(inner.data(), '(', inner.size()) != nullptr;
    if (!found && !styleStart && !styleEnd && !mayHoldURL) return; // most tags: nothing to record

    TFoundLink tag;
    tag.Texts.TagName = found ? found->Name : name;
    tag.Link.TagOffset = static_cast<std::int32_t>(TagStart);
    tag.Link.TagLength = static_cast<std::int32_t>(tagText.size());
    tag.Link.TagIndex = TagIndex;
    if (styleEnd) {
        // The STYLE block's own text is a style sheet.
        const auto start = static_cast<std::size_t>(StyleBlock.Link.TagOffset + StyleBlock.Link.TagLength);
        AddStyleSheetLinks(Text.substr(start, TagStart - start), start, StyleBlock);
        StyleBlock = {};
    } else if (styleStart) {
        StyleBlock = tag;
    }
    if (found) AddTagLinks(*found, tagText, nameLength, tag);
    if (mayHoldURL) AddStyleAttributeLinks(tagText, nameLength, tag);
}

void THTMLParser::AddTagLinks(const THTMLLinkTag& Tag, std::string_view TagText, std::size_t NameLength,
                              const TFoundLink& TagLink) {
    const std::string_view inner = TagText.substr(1, TagText.size() - 2);
    constexpr std::size_t Room = std::tuple_size_v<decltype(Tag.Attributes)>;
    std::array<std::string_view, Room> names;
    std::array<std::size_t, Room> positions;
    std::size_t count = 0;
    while (count < Room && !Tag.Attributes[count].Name.empty())
        names[count] = Tag.Attributes[count].Name, ++count;
    FindAttributeNames(inner, NameLength, {names.data(), count}, {positions.data(), count});
    TTagAttribData found;
    for (std::size_t i = 0; i < count; ++i) {
        const THTMLLinkAttribute& attribute = Tag.Attributes[i];
        if (positions[i] == std::string_view::npos ||
            !AttributeValueAt(inner, positions[i] + attribute.Name.size(), found) || found.Value.empty())
            continue;
        TFoundLink link = TagLink;
        link.Link.SetAttributeName(attribute.Name);
        link.Texts.Value = found.Value;
        link.Link.ValueOffset = TagLink.Link.TagOffset + found.ValueStart;
        link.Link.ValueLength = found.ValueLength;
        const char first = TagText[static_cast<std::size_t>(found.ValueStart)];
        link.Link.ValueQuote = first == '"' || first == '\'' ? first : 0;
        link.Link.Requisite = attribute.Kind == TAttributeKind::Requisite;
        if (attribute.Kind == TAttributeKind::LinkRel) {
            TTagAttribData rel;
            link.Link.Requisite = FindAttributeValue(inner, NameLength, "REL", rel) && IsRequisiteRel(rel.Value);
        }
        if (attribute.Kind == TAttributeKind::Srcset)
            AddSrcsetLinks(link, TagText, found.ValueStart, found.ValueLength);
        else
            Record(std::move(link));
    }
}

// One link for each image candidate, standing for its address alone.
void THTMLParser::AddSrcsetLinks(const TFoundLink& Link, std::string_view TagText, std::int32_t ValueStart,
                                 std::int32_t ValueLength) {
    const TUnquotedValue value = UnquotedValue(TagText, ValueStart, ValueLength);
    for (const TValuePart& part : SplitSrcset(value.Text)) {
        TFoundLink candidate = Link;
        candidate.Link.PartOffset = static_cast<std::int32_t>(value.Offset + part.Offset);
        candidate.Link.PartLength = static_cast<std::int32_t>(part.Length);
        candidate.Texts.Value = value.Text.substr(part.Offset, part.Length);
        Record(std::move(candidate));
    }
}

void THTMLParser::AddStyleAttributeLinks(std::string_view TagText, std::size_t NameLength,
                                         const TFoundLink& TagLink) {
    TTagAttribData found;
    if (!FindAttributeValue(TagText.substr(1, TagText.size() - 2), NameLength, "STYLE", found)) return;
    const TUnquotedValue value = UnquotedValue(TagText, found.ValueStart, found.ValueLength);
    TFoundLink link = TagLink;
    link.Link.SetAttributeName("STYLE");
    link.Link.Syntax = TLinkSyntax::CSSInAttribute;
    AddStyleSheetLinks(value.Text,
                       static_cast<std::size_t>(TagLink.Link.TagOffset + found.ValueStart) + value.Offset, link);
}

// The addresses of style sheet text that starts at byte Offset of the file;
// each link takes the rest of its fields from Template.
void THTMLParser::AddStyleSheetLinks(std::string_view Sheet, std::size_t Offset,
                                     const TFoundLink& Template) {
    for (const TValuePart& reference : FindCSSReferences(Sheet)) {
        TFoundLink link = Template;
        if (link.Link.Syntax == TLinkSyntax::HTMLValue) link.Link.Syntax = TLinkSyntax::CSSText;
        if (link.Link.AttributeName().empty()) link.Link.SetAttributeName("URL");
        link.Link.Requisite = true;
        link.Texts.Value = Sheet.substr(reference.Offset, reference.Length);
        link.Link.ValueOffset = static_cast<std::int32_t>(Offset + reference.Offset);
        link.Link.ValueLength = static_cast<std::int32_t>(reference.Length);
        Record(std::move(link));
    }
}

// The texts wait beside the list until the page is resolved; then each link
// takes them, with its address, in one block.
void THTMLParser::Record(TFoundLink&& Found) {
    FoundTexts.push_back(Found.Texts);
    if (LinkList->Add(std::move(Found.Link))) return;
    FoundTexts.pop_back();
    base::TraceLog.LogEntry(base::ttException, "Link not recorded", "OnAttribValueFound", UnitName);
}

// The page's base: its last BASE HREF resolved against the page's own address
// (Page, when PageIsAddress), else that address; false when neither is an address.
bool THTMLParser::FindBase(const std::string_view* LastBase, const TURL& Page, bool PageIsAddress,
                           TURL& Base) const {
    if (LastBase) {
        const std::string value = DecodeEntitiesInURL(*LastBase);
        if (PageIsAddress ? Base.SetRelativeURL(value, Page) : Base.SetFullURL(value)) return true;
    }
    if (PageIsAddress) Base.Assign(Page);
    return PageIsAddress;
}

void THTMLParser::ResolveLinks() {
    // One pass finds the few META links and the last BASE HREF, which counts.
    std::vector<std::int32_t> metaLinks;
    const std::string_view* lastBase = nullptr;
    for (std::int32_t i = 0; i < LinkList->Count(); ++i) {
        const std::string_view tagName = FoundTexts[static_cast<std::size_t>(i)].TagName;
        if (tagName == "META"sv)
            metaLinks.push_back(i);
        else if (tagName == "BASE"sv && LinkList->Get(i)->AttributeName() == "HREF"sv)
            lastBase = &FoundTexts[static_cast<std::size_t>(i)].Value;
    }
    ProcessMetaRefresh(metaLinks);
    ProcessMetaRobots(metaLinks);
    TURL page, base;
    const bool pageIsAddress = page.SetFullURL(PageAddress);
    if (!FindBase(lastBase, page, pageIsAddress, base)) return FinishLinks(nullptr, nullptr);
    // Composed and split once for all links of the page.
    const TURLBase pageBase(page), baseBase(base);
    // A BASE's own address is relative to the page, not to itself.
    FinishLinks(&baseBase, pageIsAddress ? &pageBase : &baseBase);
}

void THTMLParser::FinishLinks(const TURLBase* Base, const TURLBase* BaseOfBase) {
    LinkTexts.Begin();
    for (std::int32_t i = 0; i < LinkList->Count(); ++i) {
        const TWebLinkInfo& link = *LinkList->Get(i);
        const TLinkTexts& texts = FoundTexts[static_cast<std::size_t>(i)];
        // Of META values only a refresh target is an address.
        const bool isAddress = Base && (texts.TagName != "META"sv || link.IsPartOfValue());
        if (isAddress) Resolve(i, *Base, *BaseOfBase, Address);
        LinkTexts.Add(texts.TagName, texts.Value, isAddress ? &Address : nullptr);
    }
    LinkTexts.Finish(*LinkList);
}

void THTMLParser::Resolve(std::int32_t Index, const TURLBase& Base, const TURLBase& BaseOfBase, TURL& Address) {
    const TWebLinkInfo& link = *LinkList->Get(Index);
    const TLinkTexts& texts = FoundTexts[static_cast<std::size_t>(Index)];
    // The address a browser requests: character references of HTML are
    // decoded, CSS text is taken as written.
    const bool asWritten = link.Syntax == TLinkSyntax::CSSText || texts.Value.find('&') == std::string_view::npos;
    if (!asWritten) DecodeEntitiesInURL(texts.Value, Decoded);
    const std::string_view text = asWritten ? texts.Value : std::string_view(Decoded);
    if (IsCodebaseRelative(texts.TagName, link.AttributeName())) {
        const std::int32_t found = FindCodebase(*LinkList, Index);
        if (found >= 0 && Codebase.SetRelativeURL(
                              DecodeEntitiesInURL(FoundTexts[static_cast<std::size_t>(found)].Value), Base)) {
            Address.SetRelativeURL(text, Codebase);
            return;
        }
    }
    Address.SetRelativeURL(text, texts.TagName == "BASE"sv ? BaseOfBase : Base);
}

void THTMLParser::ProcessMetaRefresh(const std::vector<std::int32_t>& MetaLinks) {
    for (const std::int32_t i : MetaLinks) {
        if (!base::SameTextAscii(FoundTexts[static_cast<std::size_t>(i)].Value, "REFRESH")) continue;
        const auto [first, last] = TagRange(*LinkList, i);
        for (std::int32_t j = first; j < last; ++j)
            if (LinkList->Get(j)->AttributeName() == "CONTENT"sv)
                SetRefreshTarget(*LinkList->Get(j), FoundTexts[static_cast<std::size_t>(j)].Value, PageText);
    }
}

// Only the first directive that matches counts for one CONTENT value:
// 'NOINDEX, NOFOLLOW' sets only NoIndex. Flags once set stay set.
void THTMLParser::ProcessMetaRobots(const std::vector<std::int32_t>& MetaLinks) {
    for (const std::int32_t i : MetaLinks) {
        const std::string_view attribute = LinkList->Get(i)->AttributeName();
        if ((attribute != "NAME"sv && attribute != "HTTP-EQUIV"sv) ||
            !base::SameTextAscii(FoundTexts[static_cast<std::size_t>(i)].Value, "ROBOTS"))
            continue;
        const auto [first, last] = TagRange(*LinkList, i);
        for (std::int32_t j = first; j < last; ++j) {
            if (LinkList->Get(j)->AttributeName() != "CONTENT"sv) continue;
            const std::string directives = base::UpperAscii(FoundTexts[static_cast<std::size_t>(j)].Value);
            if (directives.find("ALL") != std::string::npos)
                PageNoIndex = PageNoFollow = true;
            else if (directives.find("NOINDEX") != std::string::npos)
                PageNoIndex = true;
            else if (directives.find("NOFOLLOW") != std::string::npos)
                PageNoFollow = true;
        }
    }
}

} // namespace web
