#pragma once

#include <array>
#include <string_view>

namespace web {

// A tag whose attributes may hold addresses. The attributes are looked for in
// the order given here, which is also the order of the links of one tag.
struct THTMLLinkTag {
    std::string_view Name;                      // upper case
    std::array<std::string_view, 4> Attributes; // upper case; unused slots empty
    bool Embedding; // its links fetch content shown inside the page (images, frames ...)
};

// The table entry for a tag name (any letter case), or null: end tags, comments
// and every tag that carries no address.
const THTMLLinkTag* FindLinkTag(std::string_view TagName);

// An applet's CODE and an object's DATA name a file relative to the tag's
// CODEBASE, not to the page. Names in upper case.
bool IsCodebaseRelative(std::string_view TagName, std::string_view AttributeName);

// TagName (upper case) is a tag whose links fetch content that is part of the page.
bool IsEmbeddingTagName(std::string_view TagName);

// The tag's Attribute (upper case) fetches something the page shows or runs
// rather than a document reached by following it: the embedding tags' sources,
// scripts, and LINKs whose Rel (as written) names a stylesheet, an icon or a
// preloaded resource.
bool IsEmbeddedLink(const THTMLLinkTag& Tag, std::string_view Attribute, std::string_view Rel);

} // namespace web
