#pragma once

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

// Called while a page is read or rewritten with the bytes done so far and the
// page's size; returning true stops the work at once.
using THTMLProgressEvent = std::function<bool(std::uint32_t Position, std::uint32_t Size)>;

// How the links of a page map to the local files of the job that saved it:
// exactly the arguments with which the saved files were named.
struct TLinkReplaceOptions {
    bool KeepRewriteInputFiles = false; // keep the unchanged page as "<name>_orig<ext>"
    bool AddMarkOfWeb = false;          // put the "saved from url" mark at the page's start
    std::string DestinationPath;        // the job's destination folder, no trailing "/"
    bool RecreateFolderStructure = true;
    bool AssumeWWW = false;
    // The name under which a local file was really written (it may have gained
    // an extension for its content type); empty: names are taken as they are.
    std::function<std::string(const std::string& LocalName)> LookUpSavedName;
};

// Outcome of reading or rewriting a page; a failure carries the text to report.
struct TPageResult {
    bool Success = true;
    std::string ErrorText;

    static TPageResult Failed(std::string Text) { return {false, std::move(Text)}; }
    explicit operator bool() const { return Success; }
};

// The text written in place of one link's old text (quotes included where it
// needs them), or nullopt to keep the old text as it is.
using TLinkTextEvent = std::function<std::optional<std::string>(const TWebLinkInfo& Link)>;

// Streams Input to Output in blocks, writing NewText's answer in place of each
// link's old text (the refresh target inside a META CONTENT value, otherwise
// the whole value with its quotes) and dropping every BASE tag. Links is
// sorted by position first, so the input never moves backwards; a link that
// starts inside text already handled is skipped: the scanner can match an
// attribute name inside another attribute, and that match is no attribute
// of its own. A link past the end of the input fails the page. Progress is
// asked after each link and stops the replacing, not the copying: the output
// is always a whole page.
TPageResult ReplaceLinkTexts(std::istream& Input, std::ostream& Output, TWebLinkList& Links,
                             const TLinkTextEvent& NewText, const THTMLProgressEvent& Progress);

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

    // Rewrites FileName in place: the new page is written to FileName + ".tmp"
    // and renamed over it, so the page is either the old or the whole new one. With KeepRewriteInputFiles the first unchanged page stays as
    // the "_orig" name and later runs leave it alone. On failure the page is
    // as it was and the result names why; the caller logs and reports it.
    TPageResult ReplaceLinksInFile(const std::string& FileName, const std::string& PageURL,
                                   const TLinkReplaceOptions& Options, TWebLinkList& Links);
    // Streams Input to Output, replacing the text of each link (Links is sorted
    // by position first): a saved file becomes a relative path from FileName
    // (the page's local path), any other address its absolute text. The mark
    // goes first unless the page, as last read, has one.
    TPageResult ReplaceLinksInStream(std::istream& Input, std::ostream& Output,
                                     const std::string& PageURL, const std::string& FileName,
                                     const TLinkReplaceOptions& Options, TWebLinkList& Links);

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

// The relative link from one local file to another, with "/" separators
// ("/D/site/a/page.html" to "/D/site/img/x.gif" gives "../img/x.gif").
std::string MakeRelativePath(const std::string& FromFile, const std::string& ToFile);
// "<!-- saved from url=(0023)http://site/a/page.html -->"; empty for an empty address.
std::string MakeSavedFromMark(const std::string& URLText);
// The name under which the unchanged page is kept: "page.html" gives "page_orig.html".
std::string MakeOrigFileName(const std::string& FileName);

} // namespace web
