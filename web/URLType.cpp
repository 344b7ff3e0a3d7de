#include "web/URLType.h"

#include "base/AsciiText.h"
#include "base/AppTraceLog.h"
#include "web/LocalFileName.h"
#include "web/URLBase.h"
#include "web/URLParse.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace web {

using base::TraceLog;

namespace {

constexpr const char* UnitName = "URLType";

// A whole file address: "file:///..." or a drive path such as 'C:\...' or 'C:/...'.
bool IsFileAddressText(std::string_view Text) {
    return (Text.size() >= 8 && base::SameTextAscii(Text.substr(0, 8), "file:///")) ||
           (Text.size() >= 3 && Text[1] == ':');
}

bool IsMailtoAddressText(std::string_view Text) {
    return Text.size() >= 7 && base::SameTextAscii(Text.substr(0, 7), "mailto:");
}

bool IsDotSegment(std::string_view Segment) {
    return Segment == "." || Segment == "..";
}

// Bytes that resolving would drop, turn into "/" or escape, or that end a
// scheme; looked up in a table, as every byte of most links is checked.
constexpr auto PathChanges = [] {
    std::array<bool, 256> table{};
    for (int byte = 0; byte < 256; ++byte)
        table[static_cast<std::size_t>(byte)] = byte <= 0x20 || byte >= 0x7F || byte == ':' || byte == '\\' ||
                                                byte == '"' || byte == '<' || byte == '>' || byte == '`' ||
                                                byte == '{' || byte == '}';
    return table;
}();

bool ChangesInPath(unsigned char Byte) {
    return PathChanges[Byte];
}

// Where the path of a link that is a plain relative path ends (its query or
// fragment follows as written); npos for any other link: one with a scheme,
// a host, a rooted path, dot segments, no path, or bytes that resolving
// changes. Most links of a page are plain, and they need no general resolving.
std::size_t PlainPathEnd(std::string_view Text) {
    std::size_t end = 0, segment = 0;
    for (; end < Text.size() && Text[end] != '?' && Text[end] != '#'; ++end) {
        if (ChangesInPath(static_cast<unsigned char>(Text[end]))) return std::string_view::npos;
        if (Text[end] != '/') continue;
        if (end == 0 || IsDotSegment(Text.substr(segment, end - segment))) return std::string_view::npos;
        segment = end + 1;
    }
    if (end == 0 || IsDotSegment(Text.substr(segment, end - segment))) return std::string_view::npos;
    for (std::size_t i = end; i < Text.size(); ++i)
        if (static_cast<unsigned char>(Text[i]) <= 0x20) return std::string_view::npos;
    return end;
}

// The folder of an absolute path, through its last "/"; empty when resolving
// would change it: it holds dot segments or bytes that are escaped.
std::string_view PlainDirectory(std::string_view Path) {
    if (Path.empty() || Path[0] != '/') return {};
    const std::string_view folder = Path.substr(0, Path.rfind('/') + 1);
    for (const char c : folder)
        if (ChangesInPath(static_cast<unsigned char>(c))) return {};
    for (std::size_t start = 1, slash; (slash = folder.find('/', start)) != std::string_view::npos; start = slash + 1)
        if (IsDotSegment(folder.substr(start, slash - start))) return {};
    return folder;
}

} // namespace

void TURL::Clear() {
    Scheme = SchemeUnknown;
    UserName.clear();
    Password.clear();
    HostName.clear();
    Port = 0;
    UrlPath.clear();
    ExtraInfo.clear();
    Fragment.clear();
    FileURL.clear();
    MailtoURL.clear();
    Valid = false;
    UnusableText.clear();
}

void TURL::Assign(const TURL& Source) {
    if (&Source == this) return;
    std::string keep = std::move(UnusableText);
    *this = Source;
    UnusableText = std::move(keep);
}

// File and mail addresses are kept whole; everything else is split into its
// parts, and only an address with a known scheme and a port is usable.
bool TURL::SetFullURL(std::string_view Text) {
    Clear();
    return SetTrimmedURL(base::TrimControlsView(Text), nullptr);
}

bool TURL::SetTrimmedURL(std::string_view text, const TURLReference* Split) {
    if (IsFileAddressText(text)) {
        Scheme = SchemeFile;
        FileURL = text;
        Valid = true;
        return true;
    }
    if (IsMailtoAddressText(text)) {
        Scheme = SchemeMailto;
        MailtoURL = text;
        Valid = true;
        return true;
    }
    // The parts are split into this address's own emptied strings, whose room
    // an address reused for many links keeps.
    TCrackedURL parts;
    for (auto [mine, part] : {std::pair{&UserName, &parts.UserName}, {&Password, &parts.Password},
                              {&HostName, &parts.HostName}, {&UrlPath, &parts.UrlPath}, {&ExtraInfo, &parts.ExtraInfo}})
        part->swap(*mine);
    if (const int error = Split ? CrackURL(text, *Split, parts) : CrackURL(text, parts)) {
        UnusableText = text;
        base::TraceLog.LogAPIErrorCode(error, "InternetCrackUrl " + UnusableText, "SetFullURL", UnitName);
        return false;
    }
    if (parts.Port == 0 || parts.Scheme == SchemePartial || parts.Scheme == SchemeUnknown ||
        parts.Scheme == SchemeDefault) {
        UnusableText = text;
        base::TraceLog.LogEntry(base::ttWarning, "Unusable URL " + UnusableText, "SetFullURL", UnitName);
        return false;
    }
    Scheme = parts.Scheme;
    Port = parts.Port;
    HostName = std::move(parts.HostName);
    UrlPath = parts.UrlPath.empty() ? "/" : std::move(parts.UrlPath);
    UserName = std::move(parts.UserName);
    Password = std::move(parts.Password);
    // The first "#" begins the fragment: a later one belongs to it, so a local
    // name, made from the query, never holds a "#".
    if (const auto hash = parts.ExtraInfo.find('#'); hash != std::string::npos) {
        Fragment = parts.ExtraInfo.substr(hash);
        parts.ExtraInfo.erase(hash);
    }
    ExtraInfo = std::move(parts.ExtraInfo);
    if (UserName.empty() != Password.empty()) ClearCredentials();
    Valid = true;
    return true;
}

bool TURL::SetRelativeURL(std::string_view Text, const TURL& Base) {
    return SetRelativeURL(Text, TURLBase(Base));
}

// The base's user name and password are carried over as values when the link
// names no host of its own: sent through address text, a password holding "/",
// "#" or "@" would end the user information early and turn its tail into the
// host name, so links would go to a wrong server with part of the password.
bool TURL::SetRelativeURL(std::string_view Text, const TURLBase& Base) {
    Clear();
    if (JoinPlainPath(Text, Base)) return true;
    if (IsFileAddressText(Text) || IsMailtoAddressText(Text)) return SetFullURL(Text);
    const std::string_view text = base::TrimControlsView(Text);
    if (!Base.Usable) {
        UnusableText = text;
        return false;
    }
    std::string combined;
    bool inheritsAuthority = false;
    TURLReference split;
    const bool asWritten = Base.Parts.HasScheme && CombinesToItself(text, split);
    if (const int error = asWritten ? 0 : CombineURL(Base.Parts, text, combined, inheritsAuthority)) {
        UnusableText = text;
        base::TraceLog.LogAPIErrorCode(error, "InternetCombineUrl " + Base.Text + " " + UnusableText,
                                 "SetRelativeURL", UnitName);
        return false;
    }
    // Still cleared, and the text trimmed: what was split need not be again.
    if (!(asWritten ? SetTrimmedURL(text, &split) : SetFullURL(combined))) {
        UnusableText = text;
        base::TraceLog.LogEntry(base::ttWarning, "SetFullURL failed", "SetRelativeURL", UnitName);
        return false;
    }
    if (inheritsAuthority && Scheme != SchemeFile && Scheme != SchemeMailto) {
        UserName = Base.Address.UserName;
        Password = Base.Address.Password;
        if (UserName.empty() != Password.empty()) ClearCredentials();
    }
    return true;
}

// What combining the texts and splitting the result would give, for a link
// that is a plain path below the base's folder; false for any other link.
bool TURL::JoinPlainPath(std::string_view Text, const TURLBase& Base) {
    const std::size_t pathEnd = Base.Directory.empty() ? std::string_view::npos : PlainPathEnd(Text);
    if (pathEnd == std::string_view::npos) return false;
    // The base's text through its folder, then the link: the address combining would compose.
    const auto joinedLength =
        static_cast<std::size_t>(Base.Directory.data() - Base.Text.data()) + Base.Directory.size() + Text.size();
    if (joinedLength > MaxComposedURLLength || Base.Directory.size() + pathEnd > MaxUrlPathLength ||
        Text.size() - pathEnd > MaxExtraInfoLength)
        return false;
    Scheme = Base.Cracked.Scheme;
    Port = Base.Cracked.Port;
    HostName = Base.Cracked.HostName;
    UrlPath.reserve(Base.Directory.size() + pathEnd);
    UrlPath.assign(Base.Directory).append(Text.substr(0, pathEnd));
    const std::string_view extra = Text.substr(pathEnd);
    const std::size_t hash = std::min(extra.find('#'), extra.size());
    ExtraInfo = extra.substr(0, hash);
    Fragment = extra.substr(hash);
    UserName = Base.Address.UserName;
    Password = Base.Address.Password;
    if (UserName.empty() != Password.empty()) ClearCredentials();
    Valid = true;
    return true;
}

// Passwords stay out of the trace log, so the base is composed without them.
TURLBase::TURLBase(const TURL& Address)
    : Address(Address), Text(Address.GetURL(false, true, true, true, true)), Parts(SplitURLReference(Text)),
      Usable(!Text.empty() && (Address.HasNoCredentials() || !Address.GetFullURL().empty())) {
    // Only web addresses with a host join their links directly; the base's
    // parts must pass the checks that the joined address would meet.
    const bool web = Address.Scheme == SchemeHTTP || Address.Scheme == SchemeHTTPS || Address.Scheme == SchemeFTP;
    if (Usable && web && Parts.HasScheme && Parts.HasAuthority && CrackURL(Text, Cracked) == 0 &&
        Cracked.Port != 0 && !Cracked.HostName.empty() && Cracked.Scheme == Address.Scheme)
        Directory = PlainDirectory(Parts.Path);
}

std::string TURL::GetURL(bool IncludeUserInfo, bool IncludeHost, bool IncludePath,
                         bool IncludeQuery, bool IncludeFragment) const {
    if (!Valid) return {};
    if (Scheme == SchemeFile) return FileURL;
    if (Scheme == SchemeMailto) return MailtoURL;
    if (IncludePath && !IncludeUserInfo && !IncludeHost) {
        return UrlPath + (IncludeQuery ? ExtraInfo : std::string()) +
               (IncludeFragment ? Fragment : std::string());
    }
    TURLComponents parts;
    parts.Scheme = Scheme;
    parts.Port = Port;
    if (IncludeHost) parts.HostName = HostName;
    if (IncludePath) parts.UrlPath = UrlPath;
    if (IncludeUserInfo) {
        parts.UserName = UserName;
        parts.Password = Password;
    }
    if (IncludeQuery) parts.ExtraInfo = ExtraInfo;
    if (IncludeFragment) parts.ExtraInfo += Fragment;
    std::string text;
    if (const int error = CreateURL(parts, text)) {
        base::TraceLog.LogAPIErrorCode(error, "InternetCreateUrl " + HostName + UrlPath, "GetURL",
                                 UnitName);
        return {};
    }
    return text;
}

std::string TURL::GetExtension() const {
    const auto dot = UrlPath.rfind('.');
    if (dot == std::string::npos || UrlPath.find('/', dot) != std::string::npos) return {};
    return UrlPath.substr(dot);
}

void TURL::SetCredentials(const std::string& NewUserName, const std::string& NewPassword) {
    UserName = NewUserName;
    Password = NewPassword;
}

void TURL::ClearCredentials() {
    UserName.clear();
    Password.clear();
}

bool TURL::IsHTML(std::string_view MimeType) const {
    if (MimeType.size() >= 9 && base::SameTextAscii(MimeType.substr(0, 9), "text/html"))
        return true;
    return IsHTMLExtension(GetExtension());
}

bool TURL::IsStyleSheet(std::string_view MimeType) const {
    if (MimeType.size() >= 8 && base::SameTextAscii(MimeType.substr(0, 8), "text/css")) return true;
    return IsStyleSheetExtension(GetExtension());
}

bool IsValidURLText(std::string_view Text) {
    TURL url;
    return url.SetFullURL(Text);
}

bool IsHTMLExtension(std::string_view Ext) {
    return base::SameTextAscii(Ext, ".htm") || base::SameTextAscii(Ext, ".html");
}

bool IsStyleSheetExtension(std::string_view Ext) {
    return base::SameTextAscii(Ext, ".css");
}

bool IsURLChar(char Ch) {
    if (base::IsAsciiAlpha(Ch) || base::IsAsciiDigit(Ch)) return true;
    return Ch != '\0' && std::string_view(";/?:@&=+$,-_.!~*'()").find(Ch) != std::string_view::npos;
}

namespace {

// Digits of one base only, at least one, and no overflow of a 32-bit number.
bool ReadNumber(std::string_view Digits, int Base, std::int32_t& Value) {
    if (Digits.empty()) return false;
    std::int64_t value = 0;
    for (const char c : Digits) {
        const int digit = base::HexDigitValue(c);
        if (digit < 0 || digit >= Base) return false;
        value = value * Base + digit;
        if (value > INT32_MAX) return false;
    }
    Value = static_cast<std::int32_t>(value);
    return true;
}

} // namespace

bool DecodeEntity(std::string_view Entity, char& Ch) {
    if (Entity.size() < 4) return false;
    auto inner = Entity.substr(1, Entity.size() - 2);
    if (inner[0] == '#') {
        inner.remove_prefix(1);
        std::int32_t number = 0;
        const bool hex = !inner.empty() && inner[0] == 'x';
        if (!ReadNumber(hex ? inner.substr(1) : inner, hex ? 16 : 10, number)) return false;
        Ch = static_cast<char>(number & 0xFF);
        return true;
    }
    static constexpr struct {
        const char* Name;
        char Ch;
    } Names[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"apos", '\''}, {"quot", '"'}};
    for (const auto& name : Names) {
        if (inner == name.Name) {
            Ch = name.Ch;
            return true;
        }
    }
    return false;
}

void DecodeEntitiesInURL(std::string_view Text, std::string& Result) {
    Result.assign(Text);
    std::size_t start = 0;
    while (true) {
        const auto p = Result.find('&', start);
        if (p == std::string::npos) break;
        const auto q = Result.find(';', p + 1);
        char ch = 0;
        if (q != std::string::npos && q - p <= 5 && DecodeEntity(Result.substr(p, q - p + 1), ch)) {
            std::string replacement(1, ch);
            if (!IsURLChar(ch)) {
                char escaped[4];
                std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(ch));
                replacement = escaped;
            }
            const std::string entity = Result.substr(p, q - p + 1);
            Result.replace(Result.find(entity), entity.size(), replacement);
        }
        start = p + 1;
    }
}

std::string DecodeEntitiesInURL(std::string_view Text) {
    std::string result;
    DecodeEntitiesInURL(Text, result);
    return result;
}

std::string TURL::GetLocalFileName(const std::string& BaseFolder, bool RecreateFolderStructure,
                                   bool AssumeWWW) const {
    return LocalFileNameOf(*this, BaseFolder, RecreateFolderStructure, AssumeWWW);
}

} // namespace web
