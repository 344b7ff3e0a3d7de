#pragma once

#include "messaging/SpiderOutputMsgTypes.h"
#include "base/AtomicReplace.h"
#include "web/HTMLParser.h"
#include "web/SavedFileLookup.h"

#include <atomic>
#include <cstdint>

namespace jobs {
class TCopyJob;
}

namespace engine {

class TMIMEExtensionsTable;
class TSpiderJobControl;
class TSpiderObjectList;
struct TSavedPage;
struct TSpiderObject;

// What the pages one thread rewrites in a pass share: the scratch file that
// replaces each page, where the pages' link targets were saved, and the
// count that numbers every rewrite of the program, whichever thread does it.
struct TRewritePass {
    TRewritePass(std::atomic<std::int32_t>& Count, web::TSavedFileCache::TKnownSaved KnownSaved)
        : Count(Count), SavedFiles(std::move(KnownSaved)) {}
    std::atomic<std::int32_t>& Count;
    base::TReplaceScratch Scratch;
    web::TSavedFileCache SavedFiles;
};

// Drives the HTML parser for the spider thread: extracts the links of each
// saved page into the job's object list, and later rewrites the page's links
// to the local copies. Reports every step as output messages. One thread at a
// time: the spider thread extracts, and each rewriting thread owns its own.
class TLinkParser {
public:
    // Pages larger than MaxPageScanSize bytes are neither scanned nor rewritten.
    TLinkParser(TMIMEExtensionsTable& MIMETable, std::int64_t MaxPageScanSize);
    // A parser of its own with the same table and scan limit, for another thread.
    TLinkParser Twin() const { return TLinkParser(MIMETable, MaxPageScanSize); }

    // Adds every address of the page to List at its link distance, obeying the
    // page's robots directives when the job asks to (a NOINDEX page's file
    // goes, and Page is no longer Saved). A missing page file does nothing.
    // Body, unless empty, is the page's file as its download just saved it,
    // which spares reading it back.
    void ParseLinksIntoList(TSpiderJobControl& Control, TSpiderObject& Page, TSpiderObjectList& List,
                            bool HonorNoFollow, bool HonorNoIndex, std::string Body = {});
    // Replaces the links of a saved page by relative paths to the saved copies,
    // or by absolute addresses where nothing was saved.
    // Pass is shared with the other pages this thread rewrites in the same pass.
    void RewriteLinksInFile(TSpiderJobControl& Control, const TSpiderObject& Page,
                            const jobs::TCopyJob& Job, TRewritePass& Pass);

private:
    // Reads the opened page into PageBytes and lists its links (see ScanLinks).
    web::TPageResult ReadLinks(const TSavedPage& Page, const std::string& FileName, const std::string& URL,
                               web::TWebLinkList& Links);
    // Lists the links of the page in PageBytes, as a page or style sheet, as
    // its file name tells.
    web::TPageResult ScanLinks(const std::string& FileName, const std::string& URL, web::TWebLinkList& Links);
    bool ParseProgress(TSpiderJobControl& Control, std::uint32_t Position, std::uint32_t Size);
    bool RewriteProgress(TSpiderJobControl& Control, std::uint32_t Position, std::uint32_t Size);
    void BeginPage(TSpiderJobControl& Control, const TSpiderObject& Page, std::uint8_t Kind,
                   std::int32_t FileNumber);
    void AddLinks(TSpiderJobControl& Control, const TSpiderObject& Page,
                  TSpiderObjectList& List, web::TWebLinkList& Links);
    bool ScanAllowed(TSpiderJobControl& Control, const std::string& FileName, std::int64_t Size, std::uint8_t EndKind,
                     std::int32_t FileNumber);
    void PostReadWrite(TSpiderJobControl& Control, std::uint8_t Kind, std::uint8_t Status,
                       std::int32_t FileNumber);

    TMIMEExtensionsTable& MIMETable;
    const std::int64_t MaxPageScanSize;
    web::THTMLParser Parser;
    std::string PageBytes;  // the page being read or rewritten, in room reused from page to page
    messaging::TSpiderOutputMsg OutputMsg;  // reused for every message posted
    std::int32_t ParseCount = 0;    // pages parsed since the program started
    std::int32_t RewriteNumber = 0; // the number of the page being rewritten
    bool Rewriting = false;         // which kind ParseProgress reports
};

} // namespace engine
