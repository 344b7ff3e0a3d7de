#pragma once

#include "web/URLType.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace web {

// How the text of a link is written where it stands.
enum class TLinkSyntax : std::uint8_t {
    HTMLValue,      // an attribute value: character references apply
    CSSText,        // inside url() or a string of a style sheet or STYLE block: taken as written
    CSSInAttribute, // the same inside a STYLE attribute, where character references apply too
};

class TLinkTextBlock;

// One address found in a saved web page: the tag and attribute that held it,
// where its text lies in the file, and what it resolves to. The tag's text is
// not kept: the offsets find it in the page, and a page holds many links, so
// their tag names, values and resolved addresses lie in one block that they
// share (see TLinkTextBlock below); a copy shares it too.
class TWebLinkInfo {
  public:
    // Copies every field.
    void Assign(const TWebLinkInfo& Source) { *this = Source; }
    // Where rewriting starts replacing: the value, or the address inside it.
    std::int64_t TextPosition() const {
        return static_cast<std::int64_t>(ValueOffset) + PartOffset;
    }
    // Only part of the value is the address: a refresh target or a srcset candidate.
    bool IsPartOfValue() const { return PartLength > 0; }

    std::string_view TagName() const { return {Texts.get(), TagNameSize}; }   // upper case, "IMG"
    std::string_view AttributeName() const { return Attribute; }             // upper case, "SRC"
    std::string_view Value() const { return {Texts.get() + TagNameSize, ValueSize}; } // without quotes, trimmed
    // The resolved address: cleared and not valid while unresolved or not an address.
    TURL URL() const;
    // The same into Address, reusing its strings' room.
    void URLInto(TURL& Address) const;
    bool HasValidURL() const;

    // Name must outlive every copy of the link: a name of the tag table or a literal.
    void SetAttributeName(std::string_view Name) { Attribute = Name; }

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

  private:
    friend class TLinkTextBlock;
    const char* PackedURL() const { return URLSize ? Texts.get() + TagNameSize + ValueSize : nullptr; }

    std::shared_ptr<const char[]> Texts; // the tag name, the value, then the packed address (web/PackedURL.h)
    std::string_view Attribute;
    std::uint32_t TagNameSize = 0;
    std::uint32_t ValueSize = 0;
    std::uint32_t URLSize = 0;
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

// Writes the texts of a page's links into one block that the links share:
// a page's links are made and freed in one piece, and their copies cost no
// copy of their texts. The block's room serves page after page while no
// link of an earlier page holds it. One object serves one thread.
class TLinkTextBlock {
  public:
    // Starts the texts of a new page.
    void Begin();
    // Appends the texts of the next link; TagName is upper-cased, Address is
    // null when the link has none.
    void Add(std::string_view TagName, std::string_view Value, const TURL* Address);
    // Gives Links' items, in the order added, their texts.
    void Finish(TWebLinkList& Links) const;

  private:
    struct TPlace {
        std::size_t Offset;
        std::uint32_t TagNameSize, ValueSize, URLSize;
    };
    char* Room(std::size_t Size);

    std::shared_ptr<char[]> Block;
    std::size_t Capacity = 0;
    std::size_t Used = 0;
    std::vector<TPlace> Places;
};

} // namespace web
