#include "web/HTMLParser.h"

#include "base/AsciiText.h"
#include "base/AppTraceLog.h"
#include "web/HTMLTagTable.h"
#include "web/LinkType.h"
#include "web/URLType.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    std::string Value;            // without quotes, trimmed
};

// Where the attribute AttribName is named outside quoted text, searching Inner
// (the tag without "<" and ">") after the tag's name. The name may be the tail
// of a longer one: "SRC" is found inside "lowsrc".
std::size_t FindAttributeName(std::string_view Inner, std::size_t NameLength,
                              std::string_view AttribName) {
    char quote = 0;
    for (std::size_t j = NameLength; j < Inner.size(); ++j) {
        const char c = Inner[j];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (!StartsWithAt(Inner, j, AttribName)) continue;
        const std::size_t after = j + AttribName.size();
        if (after == Inner.size() || IsBlank(Inner[after]) || Inner[after] == '=') return j;
    }
    return std::string_view::npos;
}

// The value of AttribName, or false when the attribute is missing or has no
// value. A quoted value runs to its closing quote or, unclosed, to the end of
// the tag; an unquoted one to the next blank.
bool FindAttributeValue(std::string_view Inner, std::size_t NameLength, std::string_view AttribName,
                        TTagAttribData& Data) {
    const std::size_t n = Inner.size();
    std::size_t k = FindAttributeName(Inner, NameLength, AttribName);
    if (k == std::string_view::npos) return false;
    k += AttribName.size();
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
    Data.Value = base::TrimControls(Inner.substr(textStart, textEnd - textStart));
    return true;
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

// The CODEBASE link of the same tag as the link at Index, or null.
const TWebLinkInfo* FindCodebase(const TWebLinkList& Links, std::int32_t Index) {
    const auto [first, last] = TagRange(Links, Index);
    for (std::int32_t i = first; i < last; ++i)
        if (Links.Get(i)->AttributeName == "CODEBASE"sv) return Links.Get(i);
    return nullptr;
}

// Finds the refresh target inside CONTENT's value as written ('5; URL=next.htm').
void SetRefreshTarget(TWebLinkInfo& Content) {
    const std::size_t valueStart =
        static_cast<std::size_t>(Content.ValueOffset - Content.TagOffset);
    const std::string_view raw =
        std::string_view(Content.TagText)
            .substr(valueStart, static_cast<std::size_t>(Content.ValueLength));
    const std::size_t equals = raw.find('=');
    if (equals == std::string_view::npos) return;
    std::string_view target = raw.substr(equals + 1);
    if (!raw.empty() && (raw[0] == '"' || raw[0] == '\'') && !target.empty() &&
        target.back() == raw[0])
        target.remove_suffix(1);
    const std::string trimmed = base::TrimControls(target);
    // Looked for after the "=": an earlier twin of the target text (content=x;url=x)
    // would otherwise make rewriting replace the delay with the address.
    Content.RefreshOffset = static_cast<std::int32_t>(raw.find(trimmed, equals + 1));
    Content.RefreshLength = static_cast<std::int32_t>(trimmed.size());
    Content.URL.SetFullURL(trimmed);
}

// Reads the whole file into Bytes; the error text, or empty. A missing file sets Missing.
std::string ReadPage(const std::string& FileName, std::string& Bytes, bool& Missing) {
    const int handle = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle < 0) {
        Missing = errno == ENOENT;
        return Missing ? std::string() : base::SystemErrorText(errno);
    }
    std::string error;
    struct stat info {};
    if (::fstat(handle, &info) != 0) {
        error = base::SystemErrorText(errno);
    } else if (info.st_size > INT32_MAX) {
        error = "File too large"; // link positions are 32-bit numbers
    } else {
        Bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (done < Bytes.size()) {
            const ssize_t n = ::read(handle, Bytes.data() + done, Bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) error = base::SystemErrorText(errno);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        Bytes.resize(done); // a file that shrank meanwhile is taken as it is now
    }
    ::close(handle);
    return error;
}

} // namespace

bool THTMLParser::IsEmbeddingTag(const TWebLinkInfo& Link) {
    return IsEmbeddingTagName(Link.TagName);
}

TPageResult THTMLParser::GetLinksInHTMLFile(const std::string& FileName, const std::string& PageURL,
                                            TWebLinkList* Links) {
    std::string bytes, error;
    bool missing = false;
    try {
        error = ReadPage(FileName, bytes, missing);
    } catch (const std::exception& Error) {
        error = Error.what();
    }
    if (error.empty()) {
        // A missing page (deleted meanwhile) has no links; that is no error.
        const TPageResult scanned =
            GetLinksInHTMLText(missing ? std::string_view() : bytes, PageURL, Links);
        if (scanned) return scanned;
        error = scanned.ErrorText;
    } else {
        if (Links) Links->Clear();
        PageNoFollow = PageNoIndex = PageHasSavedFromMark = false;
        PageAddress = PageURL;
    }
    base::TraceLog.LogEntry(base::ttException, error + " " + FileName,
                                 "GetLinksInHTMLFile", UnitName);
    return TPageResult::Failed(error);
}

TPageResult THTMLParser::GetLinksInHTMLText(std::string_view Text, const std::string& PageURL,
                                            TWebLinkList* Links) {
    if (Links) Links->Clear();
    PageNoFollow = PageNoIndex = PageHasSavedFromMark = false;
    PageAddress = PageURL;
    LinkList = Links;
    TPageResult result;
    try {
        Scan(Text);
        if (LinkList) ResolveLinks();
    } catch (const std::exception& Error) {
        result = TPageResult::Failed(Error.what());
    }
    LinkList = nullptr;
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
            }
        }
        if (p == nextProgress) {
            if (OnParseProgress && OnParseProgress(static_cast<std::uint32_t>(p), progressSize))
                return;
            nextProgress += ProgressInterval;
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
    const THTMLLinkTag* tag = FindLinkTag(inner.substr(0, nameLength));
    if (!tag) return;

    TTagAttribData found;
    // Only a LINK's relation says whether the page loads its target.
    std::string rel;
    if (tag->Name == "LINK"sv && FindAttributeValue(inner, nameLength, "REL", found)) rel = std::move(found.Value);
    for (std::string_view attribute : tag->Attributes) {
        if (attribute.empty()) break;
        if (!FindAttributeValue(inner, nameLength, attribute, found) || found.Value.empty())
            continue;
        TWebLinkInfo link;
        link.TagName = tag->Name;
        link.AttributeName = attribute;
        link.TagText = tagText;
        link.Value = std::move(found.Value);
        link.TagOffset = static_cast<std::int32_t>(TagStart);
        link.TagLength = static_cast<std::int32_t>(tagText.size());
        link.ValueOffset = static_cast<std::int32_t>(TagStart) + found.ValueStart;
        link.ValueLength = found.ValueLength;
        link.TagIndex = TagIndex;
        link.Embedded = IsEmbeddedLink(*tag, attribute, rel);
        if (!LinkList->Add(std::move(link)))
            base::TraceLog.LogEntry(base::ttException, "Link not recorded",
                                         "OnAttribValueFound", UnitName);
    }
}

void THTMLParser::ResolveLinks() {
    // One pass finds the few META links and the last BASE HREF, which counts;
    // one that is not absolute leaves the page's address as the base.
    std::vector<std::int32_t> metaLinks;
    const TWebLinkInfo* lastBase = nullptr;
    for (std::int32_t i = 0; i < LinkList->Count(); ++i) {
        const TWebLinkInfo& link = *LinkList->Get(i);
        if (link.TagName == "META"sv)
            metaLinks.push_back(i);
        else if (link.TagName == "BASE"sv && link.AttributeName == "HREF"sv)
            lastBase = &link;
    }
    ProcessMetaRefresh(metaLinks);
    ProcessMetaRobots(metaLinks);
    TURL base;
    if (!(lastBase && base.SetFullURL(lastBase->Value)) && !base.SetFullURL(PageAddress)) return;

    TURL codebase;
    for (std::int32_t i = 0; i < LinkList->Count(); ++i) {
        TWebLinkInfo& link = *LinkList->Get(i);
        if (link.TagName == "META"sv) continue;
        const TURL* linkBase = &base;
        if (IsCodebaseRelative(link.TagName, link.AttributeName)) {
            const TWebLinkInfo* found = FindCodebase(*LinkList, i);
            if (found && codebase.SetRelativeURL(found->Value, base)) linkBase = &codebase;
        }
        link.URL.SetRelativeURL(link.Value, *linkBase);
    }
}

void THTMLParser::ProcessMetaRefresh(const std::vector<std::int32_t>& MetaLinks) {
    for (const std::int32_t i : MetaLinks) {
        if (!base::SameTextAscii(LinkList->Get(i)->Value, "REFRESH")) continue;
        const auto [first, last] = TagRange(*LinkList, i);
        for (std::int32_t j = first; j < last; ++j)
            if (LinkList->Get(j)->AttributeName == "CONTENT"sv) SetRefreshTarget(*LinkList->Get(j));
    }
}

// Only the first directive that matches counts for one CONTENT value:
// 'NOINDEX, NOFOLLOW' sets only NoIndex. Flags once set stay set.
void THTMLParser::ProcessMetaRobots(const std::vector<std::int32_t>& MetaLinks) {
    for (const std::int32_t i : MetaLinks) {
        const TWebLinkInfo& link = *LinkList->Get(i);
        if ((link.AttributeName != "NAME"sv && link.AttributeName != "HTTP-EQUIV"sv) ||
            !base::SameTextAscii(link.Value, "ROBOTS"))
            continue;
        const auto [first, last] = TagRange(*LinkList, i);
        for (std::int32_t j = first; j < last; ++j) {
            const TWebLinkInfo& content = *LinkList->Get(j);
            if (content.AttributeName != "CONTENT"sv) continue;
            const std::string directives = base::UpperAscii(content.Value);
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
