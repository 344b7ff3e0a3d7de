#pragma once

#include "web/PageResult.h"

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace base {
class TReplaceScratch;
struct TReplacedFile;
}

namespace web {

class TSavedFileCache;
class TWebLinkInfo;
class TWebLinkList;

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
    // Replaces the pages of one rewrite pass without a new file per page; none: one each.
    base::TReplaceScratch* Scratch = nullptr;
    // The page as it was opened to be read: spares a lookup, and its
    // descriptor may serve as the next scratch; none: looked up.
    base::TReplacedFile* Page = nullptr;
    // Remembers through one pass where the link targets were saved; none: looked up each time.
    TSavedFileCache* SavedFiles = nullptr;
};

// The text written in place of one link's old text (quotes included where it
// needs them), or nullopt to keep the old text as it is.
using TLinkTextEvent = std::function<std::optional<std::string>(const TWebLinkInfo& Link)>;

// Copies Input (the page as scanned for Links) to Output, writing NewText's
// answer in place of each link's old text (the refresh target inside a META
// CONTENT value, otherwise the whole value with its quotes) and dropping
// every BASE tag. Links is
// sorted by position first, so the input never moves backwards; a link that
// starts inside text already handled is skipped: the scanner can match an
// attribute name inside another attribute, and that match is no attribute
// of its own. A link past the end of the input fails the page. Progress is
// asked after each link and stops the replacing, not the copying: the output
// is always a whole page.
TPageResult ReplaceLinkTexts(std::string_view Input, std::ostream& Output, TWebLinkList& Links,
                             const TLinkTextEvent& NewText, const THTMLProgressEvent& Progress);

// Copies Input to Output, replacing the text of each link (Links is sorted
// by position first): a saved file becomes a relative path from FileName
// (the page's local path), any other address its absolute text. The mark
// goes first unless the page already has one (HasSavedFromMark, from reading it).
TPageResult ReplaceLinksInStream(std::string_view Input, std::ostream& Output, const std::string& PageURL,
                                 const std::string& FileName, const TLinkReplaceOptions& Options,
                                 TWebLinkList& Links, bool HasSavedFromMark, const THTMLProgressEvent& Progress);
// Rewrites FileName in place from Page, its content as read for Links (one
// read serves both): the new page is written to a hidden temporary file
// beside it and renamed over it, so the page is either the old or the whole
// new one, and no file of the site is taken for the temporary one.
// With KeepRewriteInputFiles the first unchanged page stays as the "_orig"
// name and later runs leave it alone. On failure the page is as it was and
// the result names why; the caller logs and reports it.
TPageResult ReplaceLinksInFile(const std::string& FileName, std::string_view Page, const std::string& PageURL,
                               const TLinkReplaceOptions& Options, TWebLinkList& Links, bool HasSavedFromMark,
                               const THTMLProgressEvent& Progress);

// The relative link from one local file to another, with "/" separators
// ("/D/site/a/page.html" to "/D/site/img/x.gif" gives "../img/x.gif").
std::string MakeRelativePath(const std::string& FromFile, const std::string& ToFile);
// "<!-- saved from url=(0023)http://site/a/page.html -->"; empty for an empty address.
std::string MakeSavedFromMark(const std::string& URLText);
// The name under which the unchanged page is kept: "page.html" gives "page_orig.html".
std::string MakeOrigFileName(const std::string& FileName);

} // namespace web
