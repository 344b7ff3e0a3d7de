#include "engine/LinkParser.h"

#include "engine/MIMEExtensions.h"
#include "engine/SpiderJobControl.h"
#include "engine/SpiderObjectList.h"
#include "jobs/JobTypes.h"
#include "base/AppTraceLog.h"
#include "base/PosixFile.h"
#include "base/StringSink.h"
#include "web/LinkType.h"

#include <cerrno>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>

namespace engine {

namespace {

using namespace messaging;

std::int32_t Percent(std::uint32_t Position, std::uint32_t Size) {
    return Size == 0 ? 100 : static_cast<std::int32_t>(std::uint64_t{Position} * 100 / Size);
}

// A page's requisite (image, style sheet, a sheet's own files) keeps its
// page's distance; any other link adds a hop.
std::int32_t LinkDistance(std::int32_t PageDistance, bool Requisite) {
    if (Requisite) return PageDistance == -1 ? 0 : PageDistance;
    return PageDistance == -1 ? 1 : PageDistance + 1;
}

bool IsStyleSheetFile(const std::string& FileName) {
    const std::size_t dot = FileName.rfind('.');
    return dot != std::string::npos && FileName.find('/', dot) == std::string::npos &&
           web::IsStyleSheetExtension(std::string_view(FileName).substr(dot));
}

} // namespace

// The saved page, opened once: its status decides whether it is scanned, and
// one read serves its links and its rewrite. A page to rewrite is opened for
// writing too where it may be: its descriptor then serves as the next scratch.
struct TSavedPage {
    TSavedPage(const std::string& FileName, bool ToRewrite) {
        int handle = ToRewrite ? ::open(FileName.c_str(), O_RDWR | O_CLOEXEC) : -1;
        Writable = handle >= 0;
        if (!Writable && !(ToRewrite && Missing(errno))) handle = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
        OpenError = handle < 0 ? errno : 0;
        Opened.File = base::TFileDescriptor(handle);
        if (OpenError == 0 && ::fstat(handle, &Opened.Status) != 0) OpenError = errno;
    }
    // Deleted meanwhile (a NOINDEX page, a user): nothing to read, and no error.
    static bool Missing(int Error) { return Error == ENOENT || Error == ENOTDIR; }
    bool Missing() const { return Missing(OpenError); }
    std::size_t Size() const { return static_cast<std::size_t>(Opened.Status.st_size); }

    base::TReplacedFile Opened;
    bool Writable = false;
    int OpenError = 0;
};

TLinkParser::TLinkParser(TMIMEExtensionsTable& MIMETable, std::int64_t MaxPageScanSize)
    : MIMETable(MIMETable), MaxPageScanSize(MaxPageScanSize) {}

// Scanning holds the whole page in memory: a larger page is left as saved,
// its links neither followed nor rewritten, and the report says why.
bool TLinkParser::ScanAllowed(TSpiderJobControl& Control, const std::string& FileName, std::int64_t Size,
                              std::uint8_t EndKind, std::int32_t FileNumber) {
    if (Size <= MaxPageScanSize) return true;
    const std::string text = "Page of " + std::to_string(Size) + " bytes not scanned: larger than " +
                             std::to_string(MaxPageScanSize) + " bytes";
    base::TraceLog.LogEntry(base::ttWarning, text + ": " + FileName,
                            EndKind == somParseEnded ? "ParseLinksIntoList" : "RewriteLinksInFile", "LinkParser");
    OutputMsg.FileReadWrite.ErrorText = text;
    PostReadWrite(Control, EndKind, frwFailed, FileNumber);
    return false;
}

void TLinkParser::PostReadWrite(TSpiderJobControl& Control, std::uint8_t Kind,
                                std::uint8_t Status, std::int32_t FileNumber) {
    OutputMsg.Kind = Kind;
    OutputMsg.JobNumber = 0;
    OutputMsg.Status = 0;
    OutputMsg.FileReadWrite.Status = Status;
    OutputMsg.FileReadWrite.FileNumber = FileNumber;
    Control.Post(OutputMsg);
}

// Reports the start of a parse or rewrite and routes the reading half's progress here.
// The page's address is unpacked once, into the report, where the rest of the page's work reads it.
void TLinkParser::BeginPage(TSpiderJobControl& Control, const TSpiderObject& Page,
                            std::uint8_t Kind, std::int32_t FileNumber) {
    auto& part = OutputMsg.FileReadWrite;
    Page.Address.UnpackInto(part.Address);
    part.LocalFile = Page.LocalFileName;
    part.LinkCount = 0;
    part.ErrorText.clear();
    PostReadWrite(Control, Kind, frwStarted, FileNumber);
    Parser.OnParseProgress = [this, &Control](std::uint32_t position, std::uint32_t size) {
        return ParseProgress(Control, position, size);
    };
}

web::TPageResult TLinkParser::ReadLinks(const TSavedPage& Page, const std::string& FileName,
                                        const std::string& URL, web::TWebLinkList& Links) {
    if (Page.OpenError != 0) return web::TPageResult::Failed(base::SystemErrorText(Page.OpenError));
    if (!base::ReadUpTo(Page.Opened.File.Get(), Page.Size(), PageBytes))
        return web::TPageResult::Failed(base::SystemErrorText(errno));
    return ScanLinks(FileName, URL, Links);
}

web::TPageResult TLinkParser::ScanLinks(const std::string& FileName, const std::string& URL,
                                        web::TWebLinkList& Links) {
    return IsStyleSheetFile(FileName) ? Parser.GetLinksInStyleSheetText(PageBytes, URL, &Links)
                                      : Parser.GetLinksInHTMLText(PageBytes, URL, &Links);
}

void TLinkParser::ParseLinksIntoList(TSpiderJobControl& Control, TSpiderObject& Page, TSpiderObjectList& List,
                                     bool HonorNoFollow, bool HonorNoIndex, std::string Body) {
    const std::string fileName = Page.LocalFileName;
    std::optional<TSavedPage> page;
    if (Body.empty()) {
        page.emplace(fileName, false);
        if (page->Missing()) return;
    }
    Rewriting = false;
    BeginPage(Control, Page, somParseStarted, ++ParseCount);
    const std::int64_t size = page ? static_cast<std::int64_t>(page->Size()) : static_cast<std::int64_t>(Body.size());
    if (!ScanAllowed(Control, fileName, size, somParseEnded, ParseCount)) return;
    auto& part = OutputMsg.FileReadWrite;
    const std::string pageURL = part.Address.GetPlainURL();
    web::TWebLinkList links;
    if (!page) PageBytes = std::move(Body);
    const web::TPageResult result =
        page ? ReadLinks(*page, fileName, pageURL, links) : ScanLinks(fileName, pageURL, links);
    base::GiveBackLargeRoom(PageBytes);
    if (!result) {
        base::TraceLog.LogEntry(base::ttException, result.ErrorText, "ParseLinksIntoList " + pageURL, "LinkParser");
        part.ErrorText = result.ErrorText;
        PostReadWrite(Control, somParseEnded, frwFailed, ParseCount);
        return;
    }
    if (HonorNoFollow && Parser.NoFollow()) {
        base::TraceLog.LogMessage("Honored NOFOLLOW tag at " + pageURL);
        links.Clear();
    }
    if (HonorNoIndex && Parser.NoIndex()) {
        base::TraceLog.LogMessage("Honored NOINDEX tag at " + pageURL);
        if (::unlink(fileName.c_str()) == 0) Page.Saved = false;
        else base::TraceLog.LogAPIError("DeleteFile " + fileName, "ParseLinksIntoList", "LinkParser");
    }
    AddLinks(Control, Page, List, links);
    PostReadWrite(Control, somParseEnded, Control.AbortRequested() ? frwAborted : frwDone, ParseCount);
}

void TLinkParser::AddLinks(TSpiderJobControl& Control, const TSpiderObject& Page,
                           TSpiderObjectList& List, web::TWebLinkList& Links) {
    OutputMsg.FileReadWrite.LinkCount = Links.Count();
    const auto referrer = std::make_shared<const web::TURL>(OutputMsg.FileReadWrite.Address);
    web::TURL address;
    for (std::int32_t i = 0; i < Links.Count(); ++i) {
        web::TWebLinkInfo& link = *Links.Get(i);
        if (!link.HasValidURL()) continue;
        link.URLInto(address);
        const auto distance = LinkDistance(Page.Distance, link.Requisite);
        link.AddedToList = Control.AddSpiderObject(List, address, referrer, distance, 0, link.Requisite);
        OutputMsg.Kind = somLinkFound;
        OutputMsg.JobNumber = 0;
        OutputMsg.Link = link;
        Control.Post(OutputMsg);
    }
    // The report keeps no link of this page, so that the parser's block of
    // link texts can serve the next page.
    OutputMsg.Link = {};
}

bool TLinkParser::ParseProgress(TSpiderJobControl& Control, std::uint32_t Position,
                                std::uint32_t Size) {
    auto& part = OutputMsg.FileReadWrite;
    part.Total = static_cast<std::int32_t>(Size);
    if (Rewriting) {
        part.Percent = Percent(Position, Size) / 2;  // reading is the first half of a rewrite
        PostReadWrite(Control, somRewriteProgress, frwProgress, RewriteNumber);
    } else {
        part.Percent = Percent(Position, Size);
        PostReadWrite(Control, somParseProgress, frwProgress, ParseCount);
    }
    // A pause is only recorded here; the spider thread waits at its next object.
    Control.CheckPauseAndResume();
    Control.CheckStopAndAbort();
    return Control.AbortRequested();
}

bool TLinkParser::RewriteProgress(TSpiderJobControl& Control, std::uint32_t Position,
                                  std::uint32_t Size) {
    auto& part = OutputMsg.FileReadWrite;
    part.Total = static_cast<std::int32_t>(Size);
    part.Percent = Percent(Position, Size) / 2 + 50;
    PostReadWrite(Control, somRewriteProgress, frwProgress, RewriteNumber);
    Control.CheckStopAndAbort();
    return Control.AbortRequested();
}

void TLinkParser::RewriteLinksInFile(TSpiderJobControl& Control, const TSpiderObject& Page,
                                     const jobs::TCopyJob& Job, TRewritePass& Pass) {
    const std::string fileName = Page.LocalFileName;
    TSavedPage page(fileName, true);
    if (page.Missing()) return;
    Rewriting = true;
    RewriteNumber = Pass.Count.fetch_add(1) + 1;
    BeginPage(Control, Page, somRewriteStarted, RewriteNumber);
    if (!ScanAllowed(Control, fileName, page.Size(), somRewriteEnded, RewriteNumber)) return;
    auto& part = OutputMsg.FileReadWrite;
    const std::string pageURL = part.Address.GetPlainURL();
    web::TWebLinkList links;
    web::TPageResult result = ReadLinks(page, fileName, pageURL, links);
    if (result && links.Count() > 0) {
        web::TLinkReplaceOptions options;
        options.KeepRewriteInputFiles = Job.KeepRewriteInputFiles;
        options.AddMarkOfWeb = Job.AddMarkOfWebOnRewrite && !IsStyleSheetFile(fileName); // an HTML comment
        options.DestinationPath = Job.GetDestinationPath();
        options.RecreateFolderStructure = Job.RecreateFolderStructure;
        options.AssumeWWW = Job.AssumeWWWWhenNoThirdLevelDomain;
        options.LookUpSavedName = [this](const std::string& name) { return MIMETable.LookUp(name); };
        options.Scratch = &Pass.Scratch;
        options.SavedFiles = &Pass.SavedFiles;
        if (!page.Writable) page.Opened.File = base::TFileDescriptor();
        page.Opened.Content = PageBytes;
        options.Page = &page.Opened;
        Parser.OnRewriteProgress = [this, &Control](std::uint32_t position, std::uint32_t size) {
            return RewriteProgress(Control, position, size);
        };
        result = Parser.ReplaceLinksInFile(fileName, PageBytes, pageURL, options, links);
    }
    base::GiveBackLargeRoom(PageBytes);
    if (!result) {
        base::TraceLog.LogEntry(base::ttException, result.ErrorText, "RewriteLinksInFile " + fileName, "LinkParser");
        part.ErrorText = result.ErrorText;
        PostReadWrite(Control, somRewriteEnded, frwFailed, RewriteNumber);
        return;
    }
    PostReadWrite(Control, somRewriteEnded, Control.AbortRequested() ? frwAborted : frwDone, RewriteNumber);
}

} // namespace engine
