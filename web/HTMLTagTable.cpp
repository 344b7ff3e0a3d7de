#include "web/HTMLTagTable.h"
#include "base/AsciiText.h"

#include <cstddef>

namespace web {

namespace {

constexpr auto L = TAttributeKind::Link;
constexpr auto R = TAttributeKind::Requisite;
constexpr auto S = TAttributeKind::Srcset;
constexpr auto M = TAttributeKind::Meta;

// Sorted by name: the search below stops past the name's initial. Kept as data so that adding a
// tag is one line and the scanner never changes for it.
// clang-format off
constexpr THTMLLinkTag LinkTags[] = {
    {"A", {{{"HREF", L}}}},
    {"APPLET", {{{"CODE", R}, {"CODEBASE", R}}}},
    {"AREA", {{{"HREF", L}}}},
    {"AUDIO", {{{"SRC", R}}}},
    {"BASE", {{{"HREF", L}}}},
    {"BGSOUND", {{{"SRC", R}}}},
    {"BLOCKQUOTE", {{{"CITE", L}}}},
    {"BODY", {{{"BACKGROUND", R}}}},
    {"DEL", {{{"CITE", L}}}},
    {"EMBED", {{{"SRC", R}, {"PLUGINURL", R}, {"HREF", R}}}},
    {"FORM", {{{"ACTION", L}}}},
    {"FRAME", {{{"SRC", R}, {"LONGDESC", L}}}},
    {"IFRAME", {{{"SRC", R}, {"LONGDESC", L}, {"DATA-SRC", R}}}},
    {"IMAGE", {{{"SRC", R}, {"LONGDESC", L}, {"LOWSRC", R}, {"USEMAP", R}, {"HREF", R}, {"XLINK:HREF", R}}}},
    {"IMG", {{{"SRC", R}, {"LONGDESC", L}, {"LOWSRC", R}, {"USEMAP", R}, {"SRCSET", S}, {"DATA-SRC", R},
              {"DATA-SRCSET", S}}}},
    {"INPUT", {{{"SRC", R}}}},
    {"INS", {{{"CITE", L}}}},
    {"LINK", {{{"HREF", TAttributeKind::LinkRel}}}},
    {"META", {{{"NAME", M}, {"HTTP-EQUIV", M}, {"CONTENT", M}}}},
    {"OBJECT", {{{"CODEBASE", R}, {"DATA", R}, {"USEMAP", R}}}},
    {"Q", {{{"CITE", L}}}},
    {"SCRIPT", {{{"SRC", R}}}},
    {"SOURCE", {{{"SRC", R}, {"SRCSET", S}, {"DATA-SRC", R}, {"DATA-SRCSET", S}}}},
    {"TABLE", {{{"BACKGROUND", R}}}},
    {"TD", {{{"BACKGROUND", R}}}},
    {"TH", {{{"BACKGROUND", R}}}},
    {"TRACK", {{{"SRC", R}}}},
    {"USE", {{{"HREF", R}, {"XLINK:HREF", R}}}},
    {"VIDEO", {{{"SRC", R}, {"POSTER", R}}}},
};
// clang-format on

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
    for (std::size_t i = 0; i < TagName.size(); ++i)
        upper[i] = base::UpperAsciiChar(TagName[i]);
    const std::string_view key(upper, TagName.size());
    for (const THTMLLinkTag& tag : LinkTags) {
        if (tag.Name[0] < key[0]) continue;
        if (tag.Name[0] > key[0]) break;
        if (tag.Name.size() == key.size() && tag.Name == key) return &tag;
    }
    return nullptr;
}

bool IsCodebaseRelative(std::string_view TagName, std::string_view AttributeName) {
    return (TagName == "APPLET" && AttributeName == "CODE") ||
           (TagName == "OBJECT" && AttributeName == "DATA");
}

// REL holds words apart by blanks; any requisite word makes the link one.
bool IsRequisiteRel(std::string_view Rel) {
    static constexpr std::string_view Words[] = {"stylesheet",    "icon",     "preload",
                                                 "modulepreload", "manifest", "apple-touch-icon",
                                                 "mask-icon"};
    std::size_t start = 0;
    while (start < Rel.size()) {
        std::size_t end = start;
        while (end < Rel.size() && static_cast<unsigned char>(Rel[end]) > ' ')
            ++end;
        for (const std::string_view word : Words)
            if (base::SameTextAscii(Rel.substr(start, end - start), word)) return true;
        start = end + 1;
    }
    return false;
}

} // namespace web
