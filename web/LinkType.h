#pragma once

#include "web/URLType.h"

#include <cstdint>
#include <string>
#include <vector>

namespace web {

// One address found in a saved web page: the tag and attribute that held it,
// where its text lies in the file, and what it resolves to.
class TWebLinkInfo {
  public:
    // Copies every field; the address by value.
    void Assign(const TWebLinkInfo& Source) { *this = Source; }
    // Where rewriting starts replacing: the value, or the refresh target inside it.
    std::int64_t TextPosition() const {
        return static_cast<std::int64_t>(ValueOffset) + RefreshOffset;
    }

    TURL URL;                     // cleared and not valid while unresolved or not an address
    std::string TagName;          // upper case, "IMG"
    std::string AttributeName;    // upper case, "SRC"
    std::string TagText;          // the whole tag as written, "<" through ">"
    std::string Value;            // without quotes, trimmed
    std::int32_t ValueOffset = 0; // byte offset of the value in the file, opening quote included
    std::int32_t ValueLength = 0; // bytes of the value in the file, quotes included
    std::int32_t TagOffset = 0;   // byte offset of the tag's "<"
    std::int32_t TagLength = 0;   // bytes of the tag, "<" through ">"
    std::int32_t RefreshOffset =
        0; // META refresh: the target's offset inside the raw value; else 0
    std::int32_t RefreshLength = 0; // META refresh: the target's length; else 0
    std::int32_t TagIndex = 0;      // number of the tag in its file from 1; a tag's links share it
    bool AddedToList = false;       // link extraction's verdict: the object list took the address
    // Fetched as part of the page (image, stylesheet, script, frame, media, or
    // a stylesheet's own reference), not followed to another document.
    bool Embedded = false;
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
