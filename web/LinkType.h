#pragma once

#include "web/URLType.h"

#include <cstdint>
#include <string>
#include <vector>

namespace web {

// How the text of a link is written where it stands.
enum class TLinkSyntax : std::uint8_t {
    HTMLValue,      // an attribute value: character references apply
    CSSText,        // inside url() or a string of a style sheet or STYLE block: taken as written
    CSSInAttribute, // the same inside a STYLE attribute, where character references apply too
};

// One address found in a saved web page: the tag and attribute that held it,
// where its text lies in the file, and what it resolves to. The tag's text is
// not kept: the offsets find it in the page, and a page holds many links.
class TWebLinkInfo {
  public:
    // Copies every field; the address by value.
    void Assign(const TWebLinkInfo& Source) { *this = Source; }
    // Where rewriting starts replacing: the value, or the address inside it.
    std::int64_t TextPosition() const {
        return static_cast<std::int64_t>(ValueOffset) + PartOffset;
    }
    // Only part of the value is the address: a refresh target or a srcset candidate.
    bool IsPartOfValue() const { return PartLength > 0; }

    TURL URL;                     // cleared and not valid while unresolved or not an address
    std::string TagName;          // upper case, "IMG"
    std::string AttributeName;    // upper case, "SRC"
    std::string Value;            // without quotes, trimmed
    std::int32_t ValueOffset = 0; // byte offset of the value in the file, opening quote included
    std::int32_t ValueLength = 0; // bytes of the value in the file, quotes included
    std::int32_t TagOffset = 0;   // byte offset of the tag's "<"
    std::int32_t TagLength = 0;   // bytes of the tag, "<" through ">"
    std::int32_t PartOffset = 0;  // the address's offset inside the raw value when only part of it
    std::int32_t PartLength = 0;  // the address's length then; else 0
    std::int32_t TagIndex = 0;    // number of the tag in its file from 1; a tag's links share it
    TLinkSyntax Syntax = TLinkSyntax::HTMLValue;
    char ValueQuote = 0;          // the quote that opens an attribute value as written; 0 when bare
    bool Requisite = false;       // fetches part of the page (image, style sheet ...), no link away
    bool AddedToList = false;       // link extraction's verdict: the object list took the address
};

// The links of one page, in the order the parser found them. No duplicate
// check: the same address found twice is two items.
class TWebLinkList {
  public:
    // Appends a copy of Info. On failure (memory) the error is logged and false returned.
    bool Add(const TWebLinkInfo& Info);
    bool Add(TWebLinkInfo&& Info);
    std::int32_t Count() const { return static_cast<std::int32_t>(Items.size()); }
    // The item at Index from 0, or null outside 0..Count-1. The list keeps it;
    // the pointer is good until the list next changes.
    TWebLinkInfo* Get(std::int32_t Index);
    const TWebLinkInfo* Get(std::int32_t Index) const;
    void Clear() { Items.clear(); }
    // Orders the items by TextPosition, ascending; equal positions keep their order.
    void Sort();

  private:
    std::vector<TWebLinkInfo> Items;
};

} // namespace web
