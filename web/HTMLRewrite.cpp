// Replaces the links of a saved page so that the copy can be browsed offline.
#include "web/HTMLRewrite.h"

#include "web/HTMLParser.h"

#include "base/AppTraceLog.h"
#include "base/AtomicReplace.h"
#include "web/LinkType.h"
#include "web/SavedFileLookup.h"
#include "web/URLType.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <ostream>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace web {

using namespace std::string_view_literals;

namespace {

// Copies the page to the output up to given positions, skipping the old link
// texts between them. The position only moves forward.
class TPageCopier {
  public:
    TPageCopier(std::string_view In, std::ostream& Out) : In(In), Out(Out) {}

    std::int64_t Position() const { return static_cast<std::int64_t>(Done); }
    std::int64_t Size() const { return static_cast<std::int64_t>(In.size()); }

    bool CopyUpTo(std::int64_t Target, std::string& Error) {
        if (!CheckTarget(Target, Error)) return false;
        const auto count = static_cast<std::size_t>(Target) - Done;
        if (!Out.write(In.data() + Done, static_cast<std::streamsize>(count)))
            return Fail("Cannot write the new page", Error);
        Done += count;
        return true;
    }

    bool Skip(std::int64_t Count, std::string& Error) {
        if (!CheckTarget(Position() + Count, Error)) return false;
        Done += static_cast<std::size_t>(Count);
        return true;
    }

    bool Write(const std::string& Text, std::string& Error) {
        if (!Out.write(Text.data(), static_cast<std::streamsize>(Text.size())))
            return Fail("Cannot write the new page", Error);
        return true;
    }

  private:
    // A link behind the current position would need the input to go back; a
    // link past the end comes from another version of the file.
    bool CheckTarget(std::int64_t Target, std::string& Error) const {
        if (Target < Position())
            return Fail("Link at byte " + std::to_string(Target) + " lies before byte " +
                            std::to_string(Done),
                        Error);
        if (Target > Size())
            return Fail("Link at byte " + std::to_string(Target) + " lies past the end of the page",
                        Error);
        return true;
    }
    static bool Fail(std::string Text, std::string& Error) {
        Error = std::move(Text);
        return false;
    }

    std::string_view In;
    std::ostream& Out;
    std::size_t Done = 0;
};

// Characters that a local file name may hold but that would change the
// meaning of a link text: "%" would be decoded, "#" and "?" would start a
// fragment or query, blanks and quotes would end the value.
bool NeedsEscapeInLink(unsigned char C) {
    return C <= ' ' || C == 0x7F || C == '"' || C == '#' || C == '%' || C == '\'' || C == '<' ||
           C == '>' || C == '?' || C == '\\';
}

std::string PercentEscape(unsigned char C) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    return {'%', Hex[C >> 4], Hex[C & 15]};
}

std::string EscapeLocalPath(const std::string& Path) {
    std::string out;
    out.reserve(Path.size());
    for (const char ch : Path) {
        const auto c = static_cast<unsigned char>(ch);
        if (NeedsEscapeInLink(c))
            out += PercentEscape(c);
        else
            out += ch;
    }
    return out;
}

// Text that stands inside an attribute value quoted with Quote (0: unquoted)
// without ending it; references keep the address the browser reads unchanged.
std::string FitIntoValue(const std::string& Text, char Quote) {
    std::string out;
    out.reserve(Text.size() + 2);
    for (const char ch : Text) {
        if (ch == '"' && Quote == '"')
            out += "&quot;";
        else if (ch == '\'' && Quote == '\'')
            out += "&#39;";
        else if (ch == '&')
            out += "&amp;";
        else if (ch == '<' && Quote)
            out += "&lt;";
        else if (ch == '>')
            out += "&gt;";
        else if (!Quote && static_cast<unsigned char>(ch) <= ' ')
            out += PercentEscape(static_cast<unsigned char>(ch));
        else
            out += ch;
    }
    return out;
}

// Text that stands inside url() or a CSS string, quoted or not, without
// ending it or a STYLE block: those characters are written as %XX.
std::string FitIntoCSS(const std::string& Text) {
    std::string out;
    out.reserve(Text.size());
    for (const char ch : Text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= ' ' || c == 0x7F || ch == '"' || ch == '\'' || ch == '(' || ch == ')' || ch == '\\' ||
            ch == '<' || ch == '>')
            out += PercentEscape(c);
        else
            out += ch;
    }
    return out;
}

std::string FileNamePart(const std::string& Path) {
    const std::size_t slash = Path.rfind('/');
    return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

// Only the schemes a job copies map to saved files; mailto:, data:, file:,
// javascript: and every other one keep their text as written.
bool IsCopiedScheme(std::int32_t Scheme) {
    return Scheme == SchemeHTTP || Scheme == SchemeHTTPS || Scheme == SchemeFTP;
}

// NewText as it must be written in the place of Link's old text.
std::string WrittenAs(const TWebLinkInfo& Link, const std::string& NewText) {
    if (Link.Syntax == TLinkSyntax::CSSText) return FitIntoCSS(NewText);
    if (Link.Syntax == TLinkSyntax::CSSInAttribute) return FitIntoValue(FitIntoCSS(NewText), '"');
    if (!Link.IsPartOfValue()) return '"' + FitIntoValue(NewText, '"') + '"';
    // A part of a value is written bare, inside the value's own quotes.
    return FitIntoValue(NewText, Link.ValueQuote);
}

// What a link of the page FileName becomes: a relative path when its file was
// saved, else its absolute address; nullopt when it maps to no local file.
std::optional<std::string> RewrittenLinkText(const TWebLinkInfo& Link, const std::string& FileName,
                                             const TLinkReplaceOptions& Options) {
    const TURL address = Link.URL();
    if (!address.IsValid() || !IsCopiedScheme(address.GetScheme())) return std::nullopt;
    std::string local = address.GetLocalFileName(
        Options.DestinationPath, Options.RecreateFolderStructure, Options.AssumeWWW);
    if (!local.empty() && Options.LookUpSavedName) local = Options.LookUpSavedName(local);
    if (local.empty()) return std::nullopt;

    std::string text;
    std::optional<std::string> saved;
    // An applet's CODE names a class inside its CODEBASE, never a path; an
    // object's DATA is an ordinary address to browsers, which ignore CODEBASE.
    if (Link.TagName() == "APPLET"sv && Link.AttributeName() == "CODE"sv)
        text = EscapeLocalPath(FileNamePart(local));
    else if (Link.AttributeName() != "CODEBASE"sv &&
             (saved = Options.SavedFiles ? Options.SavedFiles->Find(Options.DestinationPath, local)
                                         : FindSavedFile(Options.DestinationPath, local)))
        text = EscapeLocalPath(MakeRelativePath(FileName, *saved)) + address.GetFragment();
    else
        text = address.GetURL(false, true, true, true, true);
    // An address that cannot be composed keeps its old text rather than become "".
    if (text.empty()) return std::nullopt;
    return WrittenAs(Link, text);
}

std::string ErrnoText() {
    return base::SystemErrorText(errno);
}

bool IsBaseHref(const TWebLinkInfo& Link) {
    return Link.TagName() == "BASE"sv && Link.AttributeName() == "HREF"sv;
}

// The link lies inside a BASE tag that rewriting drops, and its text goes
// with the tag: a STYLE url() before the tag's HREF, which is sorted first.
bool InsideDroppedTag(const TWebLinkInfo& Link, const std::vector<const TWebLinkInfo*>& BaseTags) {
    return std::any_of(BaseTags.begin(), BaseTags.end(), [&](const TWebLinkInfo* Base) {
        return Link.TagIndex == Base->TagIndex && !IsBaseHref(Link);
    });
}

} // namespace

TPageResult ReplaceLinkTexts(std::string_view Input, std::ostream& Output, TWebLinkList& Links,
                             const TLinkTextEvent& NewText, const THTMLProgressEvent& Progress) {
    TPageCopier copier(Input, Output);
    const auto progressSize =
        static_cast<std::uint32_t>(std::min<std::int64_t>(copier.Size(), UINT32_MAX));

    Links.Sort();
    std::vector<const TWebLinkInfo*> baseTags;
    for (std::int32_t i = 0; i < Links.Count(); ++i)
        if (IsBaseHref(*Links.Get(i))) baseTags.push_back(Links.Get(i));
    std::string error;
    for (std::int32_t i = 0; i < Links.Count(); ++i) {
        const TWebLinkInfo& link = *Links.Get(i);
        if (InsideDroppedTag(link, baseTags)) continue;
        if (IsBaseHref(link)) {
            // The whole BASE tag goes: the saved links are relative to the local page.
            if (!copier.CopyUpTo(link.TagOffset, error) || !copier.Skip(link.TagLength, error))
                return TPageResult::Failed(error);
            continue;
        }
        const std::int64_t linkStart = link.TextPosition();
        const std::int64_t oldLength =
            link.IsPartOfValue() ? link.PartLength : link.ValueLength;
        // An attribute name can be matched inside another attribute ("SRC" in
        // "lowsrc=a.gif", "HREF" in "src=a.php?href=1"): such a link starts in
        // text handled already and is no attribute of its own.
        if (linkStart < copier.Position()) continue;
        if (!copier.CopyUpTo(linkStart, error)) return TPageResult::Failed(error);
        const std::optional<std::string> text = NewText(link);
        const bool copied = text ? copier.Write(*text, error) && copier.Skip(oldLength, error)
                                 : copier.CopyUpTo(linkStart + oldLength, error);
        if (!copied) return TPageResult::Failed(error);
        if (Progress && Progress(static_cast<std::uint32_t>(
                                     std::min<std::int64_t>(copier.Position(), UINT32_MAX)),
                                 progressSize))
            break;
    }
    if (!copier.CopyUpTo(copier.Size(), error)) return TPageResult::Failed(error);
    if (!Output.flush()) return TPageResult::Failed("Cannot write the new page");
    return {};
}

TPageResult ReplaceLinksInStream(std::string_view Input, std::ostream& Output, const std::string& PageURL,
                                 const std::string& FileName, const TLinkReplaceOptions& Options,
                                 TWebLinkList& Links, bool HasSavedFromMark, const THTMLProgressEvent& Progress) {
    try {
        // HasSavedFromMark comes from reading this page just before: no second mark.
        if (Options.AddMarkOfWeb && !HasSavedFromMark) {
            const std::string mark = MakeSavedFromMark(PageURL);
            if (!mark.empty() && !(Output << mark << "\r\n"))
                return TPageResult::Failed("Cannot write the new page");
        }
        return ReplaceLinkTexts(
            Input, Output, Links,
            [&](const TWebLinkInfo& Link) { return RewrittenLinkText(Link, FileName, Options); },
            Progress);
    } catch (const std::exception& Error) {
        return TPageResult::Failed(Error.what());
    }
}

TPageResult ReplaceLinksInFile(const std::string& FileName, std::string_view Page, const std::string& PageURL,
                               const TLinkReplaceOptions& Options, TWebLinkList& Links, bool HasSavedFromMark,
                               const THTMLProgressEvent& Progress) {
    TPageResult result;
    const auto writeNewPage = [&](std::ostream& Output) {
        result = ReplaceLinksInStream(Page, Output, PageURL, FileName, Options, Links, HasSavedFromMark, Progress);
        if (result && Options.KeepRewriteInputFiles) {
            // The first unchanged version survives later runs. A hard link keeps
            // the page in place until the new one replaces it; a rename is the
            // fallback on file systems without hard links.
            const std::string original = MakeOrigFileName(FileName);
            struct stat old {};
            if (::lstat(original.c_str(), &old) != 0 && ::link(FileName.c_str(), original.c_str()) != 0 &&
                ::rename(FileName.c_str(), original.c_str()) != 0)
                result = TPageResult::Failed(ErrnoText());
        }
        return result.Success;
    };
    // No fdatasync per page: it made rewriting a 10,000-page copy take three
    // times as long. The page is still replaced in one step.
    base::TReplaceScratch ownScratch;
    if (!(Options.Scratch ? *Options.Scratch : ownScratch).Replace(FileName, writeNewPage, Options.Page) && result)
        result = TPageResult::Failed(ErrnoText());
    return result;
}

std::string MakeRelativePath(const std::string& FromFile, const std::string& ToFile) {
    // One relative and one absolute path share no root, like two drives.
    if (FromFile.empty() || ToFile.empty() || (FromFile[0] == '/') != (ToFile[0] == '/'))
        return ToFile;
    auto split = [](const std::string& Path) {
        std::vector<std::string_view> parts;
        std::size_t start = 0;
        while (start <= Path.size()) {
            const std::size_t slash = std::min(Path.find('/', start), Path.size());
            if (slash > start) parts.emplace_back(Path.data() + start, slash - start);
            start = slash + 1;
        }
        return parts;
    };
    const auto from = split(FromFile), to = split(ToFile);
    if (from.empty() || to.empty()) return ToFile;
    // Folder names compare exactly: on a case-sensitive file system "Site"
    // and "site" are two folders.
    std::size_t common = 0;
    while (common + 1 < from.size() && common + 1 < to.size() && from[common] == to[common])
        ++common;
    std::string out;
    for (std::size_t i = common; i + 1 < from.size(); ++i)
        out += "../";
    for (std::size_t i = common; i < to.size(); ++i) {
        out += to[i];
        if (i + 1 < to.size()) out += '/';
    }
    return out;
}

std::string MakeSavedFromMark(const std::string& URLText) {
    if (URLText.empty()) return {};
    // The address must neither end the comment (">") nor the line it stands on.
    std::string address;
    for (const char ch : URLText) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < ' ' || c == 0x7F || c == '>') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            address += escaped;
        } else {
            address += ch;
        }
    }
    char length[32];
    std::snprintf(length, sizeof length, "(%04zu)", address.size());
    return "<!-- saved from url=" + std::string(length) + address + " -->";
}

std::string MakeOrigFileName(const std::string& FileName) {
    const std::size_t slash = FileName.rfind('/');
    const std::size_t dot = FileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return FileName + "_orig";
    return FileName.substr(0, dot) + "_orig" + FileName.substr(dot);
}

} // namespace web
