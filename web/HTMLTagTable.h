#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace web {

// What the value of a link-carrying attribute holds.
enum class TAttributeKind : std::uint8_t {
    Link,      // one address that leads away from the page
    Requisite, // one address of content shown as part of the page (image, frame, script ...)
    Srcset,    // image candidates apart by commas, each an address with a descriptor
    LinkRel,   // a LINK's address: part of the page or a link away, as its REL says
    Meta,      // a META value: read for the refresh target and the robots directives
};

struct THTMLLinkAttribute {
    std::string_view Name; // upper case
    TAttributeKind Kind;
};

// A tag whose attributes may hold addresses. The attributes are looked for in
// the order given here, which is also the order of the links of one tag.
struct THTMLLinkTag {
    std::string_view Name;                        // upper case
    std::array<THTMLLinkAttribute, 7> Attributes; // unused slots have an empty name
};

// The table entry for a tag name (any letter case), or null: end tags, comments
// and every tag that carries no address.
const THTMLLinkTag* FindLinkTag(std::string_view TagName);

// An applet's CODE and an object's DATA name a file relative to the tag's
// CODEBASE, not to the page. Names in upper case.
bool IsCodebaseRelative(std::string_view TagName, std::string_view AttributeName);

// A LINK whose REL value names one of these fetches part of the page, not a page of its own.
bool IsRequisiteRel(std::string_view Rel);

} // namespace web
