#pragma once

#include "web/HTMLRewrite.h"
#include "web/LinkType.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace web {

struct THTMLLinkTag;
class TURLBase;

// A small, forgiving tag scanner: it lists every address that a saved page
// refers to, with the exact byte position of each, so that the addresses can
// be queued and later replaced in place. It builds no document tree.
// One object serves one thread, one page at a time.
class THTMLParser {
  public:
    // Empties LinkList (which may be null: then nothing is recorded), clears the
    // flags, scans the page Text and lists its links, resolved against the
    // page (PageURL, the page's plain address) or its BASE. Size for the
    // progress calls is Text's size.
    TPageResult GetLinksInHTMLText(std::string_view Text, const std::string& PageURL,
                                   TWebLinkList* LinkList);
    // The same for a style sheet: the addresses of its url() and @import,
    // resolved against the sheet's own address.
    TPageResult GetLinksInStyleSheetText(std::string_view Text, const std::string& SheetURL,
                                         TWebLinkList* LinkList);

    // The page as last read, rewritten by ReplaceLinksInFile/ReplaceLinksInStream
    // (web/HTMLRewrite.h) with this parser's mark flag and rewrite progress.
    TPageResult ReplaceLinksInFile(const std::string& FileName, std::string_view Page, const std::string& PageURL,
                                   const TLinkReplaceOptions& Options, TWebLinkList& Links) {
        return web::ReplaceLinksInFile(FileName, Page, PageURL, Options, Links, PageHasSavedFromMark,
                                       OnRewriteProgress);
    }
    TPageResult ReplaceLinksInStream(std::string_view Input, std::ostream& Output, const std::string& PageURL,
                                     const std::string& FileName, const TLinkReplaceOptions& Options,
                                     TWebLinkList& Links) {
        return web::ReplaceLinksInStream(Input, Output, PageURL, FileName, Options, Links, PageHasSavedFromMark,
                                         OnRewriteProgress);
    }

    bool NoFollow() const { return PageNoFollow; }
    bool NoIndex() const { return PageNoIndex; }
    bool HasSavedFromMark() const { return PageHasSavedFromMark; }
    const std::string& PageURL() const { return PageAddress; }

    THTMLProgressEvent OnParseProgress;
    THTMLProgressEvent OnRewriteProgress;

  private:
    // The texts of a link while its page is scanned: views into the page or the tag table.
    struct TLinkTexts {
        std::string_view TagName; // upper case for a tag of the tag table, else as written
        std::string_view Value;
    };
    // A link being found, before it is recorded with its texts.
    struct TFoundLink {
        TWebLinkInfo Link;
        TLinkTexts Texts;
    };

    TPageResult ScanText(std::string_view Text, const std::string& PageURL, TWebLinkList* Links,
                         bool StyleSheet);
    void Scan(std::string_view Text);
    void ProcessTag(std::string_view Text, std::size_t TagStart, std::size_t TagEnd,
                    std::int32_t TagIndex);
    // TagText runs from "<" through ">".
    void AddTagLinks(const THTMLLinkTag& Tag, std::string_view TagText, std::size_t NameLength,
                     const TFoundLink& TagLink);
    void AddSrcsetLinks(const TFoundLink& Link, std::string_view TagText, std::int32_t ValueStart,
                        std::int32_t ValueLength);
    void AddStyleAttributeLinks(std::string_view TagText, std::size_t NameLength, const TFoundLink& TagLink);
    void AddStyleSheetLinks(std::string_view Sheet, std::size_t Offset, const TFoundLink& Template);
    void Record(TFoundLink&& Found);
    bool FindBase(const std::string_view* LastBase, const TURL& Page, bool PageIsAddress, TURL& Base) const;
    void ResolveLinks();
    // Gives every link its texts, and its address when the page has a base
    // (Base, and BaseOfBase for a BASE tag's own address; both null when it has none).
    void FinishLinks(const TURLBase* Base, const TURLBase* BaseOfBase);
    void Resolve(std::int32_t Index, const TURLBase& Base, const TURLBase& BaseOfBase, TURL& Address);
    void ProcessMetaRefresh(const std::vector<std::int32_t>& MetaLinks);
    void ProcessMetaRobots(const std::vector<std::int32_t>& MetaLinks);

    std::string PageAddress;
    TWebLinkList* LinkList = nullptr; // borrowed from the caller for one call
    std::string_view PageText;        // the text scanned, for one call
    TFoundLink StyleBlock;            // the open STYLE tag whose text is still to come
    std::vector<TLinkTexts> FoundTexts; // the texts of LinkList's items, for one call
    TLinkTextBlock LinkTexts;         // the links' texts, in room reused from page to page
    TURL Address;                     // room reused from link to link
    TURL Codebase;                    // room reused from link to link
    std::string Decoded;              // room reused from link to link
    bool PageNoFollow = false;
    bool PageNoIndex = false;
    bool PageHasSavedFromMark = false;
};

} // namespace web
