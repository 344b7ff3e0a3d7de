#include "web/URLParse.h"

#include "base/AsciiText.h"
#include "web/URLType.h"

#include <curl/curl.h>

#include <cerrno>

namespace web {

namespace {

constexpr int ErrorMalformedURL = 12000 + CURLE_URL_MALFORMAT;
constexpr int ErrorUnknownScheme = 12000 + CURLE_UNSUPPORTED_PROTOCOL;

struct TSchemeName {
    std::int32_t Scheme;
    const char* Name;
};
constexpr TSchemeName SchemeNames[] = {
    {SchemeFTP, "ftp"},       {SchemeGopher, "gopher"},         {SchemeHTTP, "http"},
    {SchemeHTTPS, "https"},   {SchemeFile, "file"},             {SchemeNews, "news"},
    {SchemeMailto, "mailto"}, {SchemeSocks, "socks"},           {SchemeJavascript, "javascript"},
    {SchemeVBScript, "vbscript"}, {SchemeRes, "res"},
};

std::int32_t SchemeNumber(std::string_view Name) {
    for (const auto& entry : SchemeNames)
        if (base::SameTextAscii(Name, entry.Name)) return entry.Scheme;
    return SchemeUnknown;
}

const char* SchemeText(std::int32_t Scheme) {
    for (const auto& entry : SchemeNames)
        if (entry.Scheme == Scheme) return entry.Name;
    return nullptr;
}

// The schemes browsers treat as hierarchical web addresses: "\" counts as "/",
// a link "http:x" on an http page is relative, and unsafe path bytes are escaped.
bool IsWebScheme(std::int32_t Scheme) {
    return Scheme == SchemeFTP || Scheme == SchemeHTTP || Scheme == SchemeHTTPS ||
           Scheme == SchemeFile;
}

bool IsControlOrBlank(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
}

// Where the query or fragment begins (or, with SlashEnds, also the path)
// from From on; Text's size when nowhere. Called for every link, so a plain
// loop rather than find_first_of, which searches the set once per byte.
std::size_t FindPartEnd(std::string_view Text, std::size_t From, bool SlashEnds) {
    for (; From < Text.size(); ++From) {
        const char c = Text[From];
        if (c == '?' || c == '#' || (SlashEnds && c == '/')) return From;
    }
    return Text.size();
}

std::size_t SchemeLength(std::string_view Text) {
    if (Text.empty() || !base::IsAsciiAlpha(Text[0])) return 0;
    for (std::size_t i = 1; i < Text.size(); ++i) {
        const char c = Text[i];
        if (c == ':') return i;
        if (!base::IsAsciiAlpha(c) && !base::IsAsciiDigit(c) && c != '+' && c != '-' && c != '.') return 0;
    }
    return 0;
}

} // namespace

TURLReference SplitURLReference(std::string_view Text) {
    TURLReference ref;
    std::size_t pos = 0;
    if (const auto length = SchemeLength(Text); length > 0) {
        ref.HasScheme = true;
        ref.Scheme = Text.substr(0, length);
        pos = length + 1;
    }
    if (Text.substr(pos, 2) == "//") {
        const auto end = FindPartEnd(Text, pos + 2, true);
        ref.HasAuthority = true;
        ref.Authority = Text.substr(pos + 2, end - pos - 2);
        pos = end;
    }
    ref.PathEnd = FindPartEnd(Text, pos, false);
    ref.Path = Text.substr(pos, ref.PathEnd - pos);
    pos = ref.PathEnd;
    if (pos < Text.size() && Text[pos] == '?') {
        const auto end = std::min(Text.find('#', pos), Text.size());
        ref.HasQuery = true;
        ref.Query = Text.substr(pos + 1, end - pos - 1);
        pos = end;
    }
    if (pos < Text.size()) {
        ref.HasFragment = true;
        ref.Fragment = Text.substr(pos + 1);
    }
    return ref;
}

namespace {

// Port digits, at most 65535; empty text is no port.
bool ParsePort(std::string_view Text, std::int32_t& Port) {
    std::int32_t value = 0;
    for (const char c : Text) {
        if (!base::IsAsciiDigit(c)) return false;
        value = value * 10 + (c - '0');
        if (value > 65535) return false;
    }
    Port = value;
    return true;
}

// userinfo "@" host [":" port]; the last "@" ends the user information, as in browsers.
int CrackAuthority(std::string_view Authority, TCrackedURL& Parts) {
    std::string_view hostPort = Authority;
    if (const auto at = Authority.rfind('@'); at != std::string_view::npos) {
        const auto userInfo = Authority.substr(0, at);
        const auto colon = userInfo.find(':');
        Parts.UserName = userInfo.substr(0, colon);
        if (colon != std::string_view::npos) Parts.Password = userInfo.substr(colon + 1);
        hostPort = Authority.substr(at + 1);
    }
    std::size_t hostEnd = 0;
    if (!hostPort.empty() && hostPort[0] == '[') {
        hostEnd = hostPort.find(']');
        if (hostEnd == std::string_view::npos) return ErrorMalformedURL;
        ++hostEnd;
        if (hostEnd < hostPort.size() && hostPort[hostEnd] != ':') return ErrorMalformedURL;
    } else {
        hostEnd = std::min(hostPort.find(':'), hostPort.size());
    }
    Parts.HostName = hostPort.substr(0, hostEnd);
    for (const char c : Parts.HostName)
        if (IsControlOrBlank(c)) return ErrorMalformedURL;
    if (hostEnd < hostPort.size() && hostEnd + 1 < hostPort.size() &&
        !ParsePort(hostPort.substr(hostEnd + 1), Parts.Port))
        return ErrorMalformedURL;
    return 0;
}

int CheckRooms(const TCrackedURL& Parts) {
    if (Parts.HostName.size() > MaxHostNameLength || Parts.UrlPath.size() > MaxUrlPathLength ||
        Parts.UserName.size() > MaxUserNameLength || Parts.Password.size() > MaxPasswordLength ||
        Parts.ExtraInfo.size() > MaxExtraInfoLength)
        return ENAMETOOLONG;
    return 0;
}

// Removes "." and ".." segments (RFC 3986, 5.2.4); ".." never climbs above the root.
std::string RemoveDotSegments(std::string_view In) {
    std::string out;
    out.reserve(In.size());
    const auto dropLastSegment = [&out] {
        const auto slash = out.rfind('/');
        out.erase(slash == std::string::npos ? 0 : slash);
    };
    std::size_t i = 0;
    while (i < In.size()) {
        const auto rest = In.substr(i);
        if (rest.starts_with("../")) {
            i += 3;
        } else if (rest.starts_with("./")) {
            i += 2;
        } else if (rest.starts_with("/./")) {
            i += 2;
        } else if (rest == "/.") {
            out += '/';
            i = In.size();
        } else if (rest.starts_with("/../")) {
            i += 3;
            dropLastSegment();
        } else if (rest == "/..") {
            dropLastSegment();
            out += '/';
            i = In.size();
        } else if (rest == "." || rest == "..") {
            i = In.size();
        } else {
            const auto next = std::min(In.find('/', i + 1), In.size());
            out.append(In.substr(i, next - i));
            i = next;
        }
    }
    return out;
}

// The bytes a browser escapes in a path: controls, blank, '"<>`{}', DEL and non-ASCII.
bool IsUnsafePathByte(unsigned char Byte) {
    return Byte <= 0x20 || Byte >= 0x7F || Byte == '"' || Byte == '<' || Byte == '>' ||
           Byte == '`' || Byte == '{' || Byte == '}';
}

void AppendEscaped(std::string& Out, unsigned char Byte) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    Out += '%';
    Out += Hex[Byte >> 4];
    Out += Hex[Byte & 0x0F];
}

std::string EscapedPath(std::string_view Path) {
    std::string out;
    out.reserve(Path.size());
    for (const char c : Path) {
        if (IsUnsafePathByte(static_cast<unsigned char>(c)))
            AppendEscaped(out, static_cast<unsigned char>(c));
        else
            out += c;
    }
    return out;
}

// Escapes what would end or split the user information; ":" is kept in passwords.
std::string EscapedUserInfo(std::string_view Text, bool KeepColon) {
    std::string out;
    for (const char c : Text) {
        const bool delimiter = c == '@' || c == '/' || c == '?' || c == '#' || c == '\\' ||
                               (c == ':' && !KeepColon) || IsControlOrBlank(c);
        if (delimiter)
            AppendEscaped(out, static_cast<unsigned char>(c));
        else
            out += c;
    }
    return out;
}

// A link as browsers read it: tabs and line breaks dropped anywhere, and in web
// schemes "\" taken as "/" before the query.
std::string CleanedReference(std::string_view Reference, std::int32_t BaseScheme) {
    std::string ref;
    ref.reserve(Reference.size());
    for (const char c : Reference)
        if (c != '\t' && c != '\r' && c != '\n') ref += c;
    const auto length = SchemeLength(ref);
    const auto scheme = length > 0 ? SchemeNumber(std::string_view(ref).substr(0, length))
                                   : BaseScheme;
    if (IsWebScheme(scheme)) {
        const auto end = FindPartEnd(ref, 0, false);
        for (std::size_t i = 0; i < end; ++i)
            if (ref[i] == '\\') ref[i] = '/';
    }
    return ref;
}

std::string MergePaths(const TURLReference& Base, std::string_view Path) {
    if (Base.HasAuthority && Base.Path.empty()) return "/" + std::string(Path);
    const auto slash = Base.Path.rfind('/');
    if (slash == std::string_view::npos) return std::string(Path);
    return std::string(Base.Path.substr(0, slash + 1)) + std::string(Path);
}

} // namespace

std::int32_t DefaultPort(std::int32_t Scheme) {
    switch (Scheme) {
    case SchemeFTP: return 21;
    case SchemeGopher: return 70;
    case SchemeHTTP: return 80;
    case SchemeHTTPS: return 443;
    case SchemeSocks: return 1080;
    default: return 0;
    }
}

int CrackURL(std::string_view Text, TCrackedURL& Parts) {
    return CrackURL(Text, SplitURLReference(Text), Parts);
}

int CrackURL(std::string_view Text, const TURLReference& Split, TCrackedURL& Parts) {
    // Emptied, not replaced: the caller may hand in strings whose room it reuses.
    Parts.Scheme = -1;
    Parts.Port = 0;
    for (std::string* part : {&Parts.UserName, &Parts.Password, &Parts.HostName, &Parts.UrlPath, &Parts.ExtraInfo})
        part->clear();
    if (Text.find('\0') != std::string_view::npos) return ErrorMalformedURL;
    const TURLReference& ref = Split;
    if (!ref.HasScheme) return ErrorMalformedURL;
    Parts.Scheme = SchemeNumber(ref.Scheme);
    Parts.Port = DefaultPort(Parts.Scheme);
    if (ref.HasAuthority)
        if (const int error = CrackAuthority(ref.Authority, Parts)) return error;
    // Every scheme with a default port is a network scheme and names a host.
    if (DefaultPort(Parts.Scheme) != 0 && Parts.HostName.empty()) return ErrorMalformedURL;
    Parts.UrlPath = ref.Path;
    Parts.ExtraInfo = Text.substr(ref.PathEnd);
    return CheckRooms(Parts);
}

int CombineURL(std::string_view BaseText, std::string_view Reference, std::string& Result,
               bool& InheritsAuthority) {
    return CombineURL(SplitURLReference(BaseText), Reference, Result, InheritsAuthority);
}

int CombineURL(const TURLReference& Base, std::string_view Reference, std::string& Result,
               bool& InheritsAuthority) {
    Result.clear();
    InheritsAuthority = false;
    if (!Base.HasScheme || Reference.find('\0') != std::string_view::npos)
        return ErrorMalformedURL;
    const auto baseScheme = SchemeNumber(Base.Scheme);
    const std::string cleaned = CleanedReference(Reference, baseScheme);
    auto ref = SplitURLReference(cleaned);
    // Browsers read "http:page.htm" on an http page as the relative "page.htm".
    if (ref.HasScheme && !ref.HasAuthority && IsWebScheme(baseScheme) &&
        base::SameTextAscii(ref.Scheme, Base.Scheme))
        ref.HasScheme = false;

    TURLReference target;
    std::string path;
    target.Scheme = ref.HasScheme ? ref.Scheme : Base.Scheme;
    if (ref.HasScheme || ref.HasAuthority) {
        target.HasAuthority = ref.HasAuthority;
        target.Authority = ref.Authority;
        path = RemoveDotSegments(ref.Path);
        target.HasQuery = ref.HasQuery;
        target.Query = ref.Query;
    } else {
        const bool opaqueBase = !Base.HasAuthority && !Base.Path.starts_with('/');
        if (opaqueBase && (!ref.Path.empty() || ref.HasQuery)) return ErrorMalformedURL;
        InheritsAuthority = true;
        target.HasAuthority = Base.HasAuthority;
        target.Authority = Base.Authority;
        if (ref.Path.empty()) {
            // A base that was parsed, not resolved, may still hold dot segments.
            path = RemoveDotSegments(Base.Path);
            target.HasQuery = ref.HasQuery || Base.HasQuery;
            target.Query = ref.HasQuery ? ref.Query : Base.Query;
        } else {
            path = RemoveDotSegments(ref.Path.starts_with('/') ? std::string(ref.Path)
                                                                : MergePaths(Base, ref.Path));
            target.HasQuery = ref.HasQuery;
            target.Query = ref.Query;
        }
    }
    if (IsWebScheme(SchemeNumber(target.Scheme))) path = EscapedPath(path);

    Result.append(target.Scheme).append(":");
    if (target.HasAuthority) Result.append("//").append(target.Authority);
    Result += path;
    if (target.HasQuery) Result.append("?").append(target.Query);
    if (ref.HasFragment) Result.append("#").append(ref.Fragment);
    if (Result.size() > MaxComposedURLLength) {
        Result.clear();
        return ENAMETOOLONG;
    }
    return 0;
}

bool CombinesToItself(std::string_view Reference) {
    TURLReference split;
    return CombinesToItself(Reference, split);
}

bool CombinesToItself(std::string_view Reference, TURLReference& Split) {
    if (Reference.size() > MaxComposedURLLength) return false;
    for (const char c : Reference)
        if (c == '\t' || c == '\r' || c == '\n' || c == '\0') return false;
    const TURLReference& ref = Split = SplitURLReference(Reference);
    if (!ref.HasScheme || !ref.HasAuthority) return false;
    if (Reference.substr(0, ref.PathEnd).find('\\') != std::string_view::npos) return false;
    for (const char c : ref.Path)
        if (IsUnsafePathByte(static_cast<unsigned char>(c))) return false;
    for (std::size_t start = 1; start <= ref.Path.size();) {
        const std::size_t end = std::min(ref.Path.find('/', start), ref.Path.size());
        const std::string_view segment = ref.Path.substr(start, end - start);
        if (segment == "." || segment == "..") return false;
        start = end + 1;
    }
    return true;
}

int CreateURL(const TURLComponents& Parts, std::string& Result) {
    Result.clear();
    const char* scheme = SchemeText(Parts.Scheme);
    if (!scheme) return ErrorUnknownScheme;
    std::string text = std::string(scheme) + "://";
    if (!Parts.UserName.empty() || !Parts.Password.empty()) {
        text += EscapedUserInfo(Parts.UserName, false);
        if (!Parts.Password.empty()) text += ":" + EscapedUserInfo(Parts.Password, true);
        text += '@';
    }
    text += Parts.HostName;
    if (Parts.Port != 0 && Parts.Port != DefaultPort(Parts.Scheme))
        text += ":" + std::to_string(Parts.Port);
    text += Parts.UrlPath;
    text += Parts.ExtraInfo;
    if (text.size() > MaxComposedURLLength) return ENAMETOOLONG;
    Result = std::move(text);
    return 0;
}

} // namespace web
