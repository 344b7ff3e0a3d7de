#pragma once

#include "web/HTMLRewrite.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace web {

class TWebLinkInfo;
class TWebLinkList;

// A small, forgiving tag scanner: it lists every address that a saved page
// refers to, with the exact byte position of each, so that the addresses can
// be queued and later replaced in place. It builds no document tree.
// One object serves one thread, one page at a time.
class THTMLParser {
  public:
    // Empties LinkList (which may be null: then nothing is recorded), clears the
    // flags, and when the file exists scans it and lists its links, resolved
    // against the page (PageURL, the page's plain address) or its BASE. A
    // missing file is no error. A file that cannot be read is logged and fails.
    TPageResult GetLinksInHTMLFile(const std::string& FileName, const std::string& PageURL,
                                   TWebLinkList* LinkList);
    // The same for a page already in memory; Size for the progress calls is Text's size.
    TPageResult GetLinksInHTMLText(std::string_view Text, const std::string& PageURL,
                                   TWebLinkList* LinkList);

    // The page as last read, rewritten by ReplaceLinksInFile/ReplaceLinksInStream
    // (web/HTMLRewrite.h) with this parser's mark flag and rewrite progress.
    TPageResult ReplaceLinksInFile(const std::string& FileName, const std::string& PageURL,
                                   const TLinkReplaceOptions& Options, TWebLinkList& Links) {
        return web::ReplaceLinksInFile(FileName, PageURL, Options, Links, PageHasSavedFromMark, OnRewriteProgress);
    }
    TPageResult ReplaceLinksInStream(std::istream& Input, std::ostream& Output, const std::string& PageURL,
                                     const std::string& FileName, const TLinkReplaceOptions& Options,
                                     TWebLinkList& Links) {
        return web::ReplaceLinksInStream(Input, Output, PageURL, FileName, Options, Links, PageHasSavedFromMark,
                                         OnRewriteProgress);
    }

    // The link's tag fetches content that is part of the page (images, frames ...).
    static bool IsEmbeddingTag(const TWebLinkInfo& Link);

    bool NoFollow() const { return PageNoFollow; }
    bool NoIndex() const { return PageNoIndex; }
    bool HasSavedFromMark() const { return PageHasSavedFromMark; }
    const std::string& PageURL() const { return PageAddress; }

    THTMLProgressEvent OnParseProgress;
    THTMLProgressEvent OnRewriteProgress;

  private:
    void Scan(std::string_view Text);
    void ProcessTag(std::string_view Text, std::size_t TagStart, std::size_t TagEnd,
                    std::int32_t TagIndex);
    void ResolveLinks();
    void ProcessMetaRefresh(const std::vector<std::int32_t>& MetaLinks);
    void ProcessMetaRobots(const std::vector<std::int32_t>& MetaLinks);

    std::string PageAddress;
    TWebLinkList* LinkList = nullptr; // borrowed from the caller for one call
    bool PageNoFollow = false;
    bool PageNoIndex = false;
    bool PageHasSavedFromMark = false;
};

} // namespace web
