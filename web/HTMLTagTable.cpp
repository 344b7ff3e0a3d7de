#include "web/HTMLTagTable.h"
#include "base/AsciiText.h"

#include <cstddef>

namespace web {

namespace {

// Sorted by name: the search below stops past the name's initial. Kept as data so that adding a
// tag is one line and the scanner never changes for it.
constexpr THTMLLinkTag LinkTags[] = {
    {"A", {"HREF"}, false},
    {"APPLET", {"CODE", "CODEBASE"}, true},
    {"AREA", {"HREF"}, false},
    {"BASE", {"HREF"}, false},
    {"BGSOUND", {"SRC"}, true},
    {"BLOCKQUOTE", {"CITE"}, false},
    {"BODY", {"BACKGROUND"}, true},
    {"DEL", {"CITE"}, false},
    {"EMBED", {"SRC", "PLUGINURL", "HREF"}, true},
    {"FORM", {"ACTION"}, false},
    {"FRAME", {"SRC", "LONGDESC"}, true},
    {"IFRAME", {"SRC", "LONGDESC"}, true},
    {"IMAGE", {"SRC", "LONGDESC", "LOWSRC", "USEMAP"}, true},
    {"IMG", {"SRC", "LONGDESC", "LOWSRC", "USEMAP"}, true},
    {"INPUT", {"SRC"}, true},
    {"INS", {"CITE"}, false},
    {"LINK", {"HREF"}, false},
    {"META", {"NAME", "HTTP-EQUIV", "CONTENT"}, false},
    {"OBJECT", {"CODEBASE", "DATA", "USEMAP"}, true},
    {"Q", {"CITE"}, false},
    {"SCRIPT", {"SRC"}, false},
    {"TABLE", {"BACKGROUND"}, true},
    {"TD", {"BACKGROUND"}, true},
    {"TH", {"BACKGROUND"}, true},
};

constexpr std::size_t LongestTagName = 10; // "BLOCKQUOTE"

constexpr bool TableIsSorted() {
    for (std::size_t i = 1; i < std::size(LinkTags); ++i)
        if (!(LinkTags[i - 1].Name < LinkTags[i].Name)) return false;
    return true;
}
static_assert(TableIsSorted(), "the search needs the table sorted by name");

} // namespace

// Every tag of a page is looked up, so the search starts at the first entry
// with the name's initial and compares lengths before letters.
const THTMLLinkTag* FindLinkTag(std::string_view TagName) {
    if (TagName.empty() || TagName.size() > LongestTagName) return nullptr;
    char upper[LongestTagName];
    for (std::size_t i = 0; i < TagName.size(); ++i) upper[i] = base::UpperAsciiChar(TagName[i]);
    const std::string_view key(upper, TagName.size());
    for (const THTMLLinkTag& tag : LinkTags) {
        if (tag.Name[0] < key[0]) continue;
        if (tag.Name[0] > key[0]) break;
        if (tag.Name.size() == key.size() && tag.Name == key) return &tag;
    }
    return nullptr;
}

bool IsEmbeddingTagName(std::string_view TagName) {
    const THTMLLinkTag* tag = FindLinkTag(TagName);
    return tag && tag->Embedding;
}

namespace {

// Link relations whose target the page loads itself.
bool RelNamesPageResource(std::string_view Rel) {
    static constexpr std::string_view Loaded[] = {"stylesheet", "icon",    "apple-touch-icon", "mask-icon",
                                                  "preload",    "modulepreload", "manifest"};
    std::size_t start = 0;
    while (start < Rel.size()) {
        std::size_t end = start;
        while (end < Rel.size() && static_cast<unsigned char>(Rel[end]) > ' ') ++end;
        const std::string_view word = Rel.substr(start, end - start);
        for (const std::string_view loaded : Loaded)
            if (base::SameTextAscii(word, loaded)) return true;
        start = end + 1;
    }
    return false;
}

} // namespace

bool IsEmbeddedLink(const THTMLLinkTag& Tag, std::string_view Attribute, std::string_view Rel) {
    if (Tag.Name == "SCRIPT") return true;
    if (Tag.Name == "LINK") return RelNamesPageResource(Rel);
    // A long description is a page of its own, reached by following it.
    return Tag.Embedding && Attribute != "LONGDESC";
}

bool IsCodebaseRelative(std::string_view TagName, std::string_view AttributeName) {
    return (TagName == "APPLET" && AttributeName == "CODE") ||
           (TagName == "OBJECT" && AttributeName == "DATA");
}

} // namespace web
