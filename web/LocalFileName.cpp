// The one mapping from a web address to the local file it is saved under.
//
// A web page or a server chooses the addresses we save, so every name is
// checked once it is complete: it must lie strictly below the destination
// folder, every folder level after it must be a real name (not empty, "." or
// ".."), and it holds no NUL byte. An address that fails gets no name and a
// warning; the check runs last, so no step before it (query slashes, escape
// decoding, the length cap) can slip a ".." past it.

#include "web/LocalFileName.h"

#include "web/URLType.h"

#include "base/AsciiText.h"
#include "base/AppTraceLog.h"

namespace web {

using base::TraceLog;

namespace {

constexpr std::size_t MaxLocalPathLength = 248;
constexpr std::size_t MaxKeptExtensionLength = 7;

// Characters Windows refuses in file names, plus "\" and the control
// characters, so that copies stay usable on Windows-formatted disks.
bool IsIllegalInFileName(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte > 0 && byte < 0x20) || byte == 0x7F ||
           std::string_view("\"*:<>?|\\").find(c) != std::string_view::npos;
}

// Escapes decoded in names: letters, digits, a few harmless marks, and the
// characters illegal in names (replaced right after). "." "/" "\\" "%" "#" ";"
// "=", controls and non-ASCII stay escaped: decoded, they could form separators
// or dot segments.
bool IsDecodable(unsigned char Ch) {
    if (base::IsAsciiAlpha(static_cast<char>(Ch)) || (Ch >= '0' && Ch <= '9')) return true;
    return Ch != 0 &&
           std::string_view(" !$&'()+,-@[]^_{}~`\"*:<>?|").find(static_cast<char>(Ch)) !=
               std::string_view::npos;
}

// Each decodable "%xx" found, left to right, is replaced wherever it occurs.
void DecodeEscapes(std::string& Tail) {
    auto p = Tail.find('%');
    while (p != std::string::npos) {
        if (p + 2 < Tail.size()) {
            const int high = base::HexDigitValue(Tail[p + 1]);
            const int low = base::HexDigitValue(Tail[p + 2]);
            if (high >= 0 && low >= 0 && IsDecodable(static_cast<unsigned char>(high * 16 + low))) {
                const std::string escape = Tail.substr(p, 3);
                const char ch = static_cast<char>(high * 16 + low);
                for (auto at = Tail.find(escape); at != std::string::npos;
                     at = Tail.find(escape, at + 1))
                    Tail.replace(at, 3, 1, ch);
            }
        }
        p = Tail.find('%', p + 1);
    }
}

// Runs of "/" become one, so one file never has two names.
void CollapseSeparators(std::string& Tail) {
    std::string out;
    out.reserve(Tail.size());
    for (const char c : Tail)
        if (c != '/' || out.empty() || out.back() != '/') out += c;
    Tail = std::move(out);
}

// Cuts Name to the length cap, keeping a short extension.
void CapLength(std::string& Name) {
    if (Name.size() < MaxLocalPathLength) return;
    base::TraceLog.LogMessage("Truncating long filename " + Name);
    const auto slash = Name.rfind('/');
    const auto dot = Name.rfind('.');
    std::string ext;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        ext = Name.substr(dot);
    if (ext.size() > MaxKeptExtensionLength) ext.clear();
    Name.resize(MaxLocalPathLength - ext.size());
    Name += ext;
}

bool IsContained(const std::string& BaseFolder, const std::string& Name) {
    if (BaseFolder.empty() || Name.find('\0') != std::string::npos) return false;
    const std::string prefix = BaseFolder + "/";
    if (!Name.starts_with(prefix) || Name.size() == prefix.size()) return false;
    std::size_t start = prefix.size();
    while (start <= Name.size()) {
        const auto end = std::min(Name.find('/', start), Name.size());
        const std::string_view segment(Name.data() + start, end - start);
        if (segment.empty() || segment == "." || segment == "..") return false;
        start = end + 1;
    }
    return true;
}

// A file address names a file that already exists on this computer: its POSIX
// path. Windows drive paths ('C:\Docs', 'file:///C|/Docs') keep their letter
// as the first folder, "/C:/Docs", so both notations give one name.
std::string FileAddressPath(const std::string& FileURL) {
    std::string path;
    if (FileURL.size() >= 8 && base::SameTextAscii(FileURL.substr(0, 8), "file:///"))
        path = FileURL.substr(7);
    else
        path = "/" + FileURL;
    if (path.size() >= 3 && base::IsAsciiAlpha(path[1]) && (path[2] == ':' || path[2] == '|')) {
        path[2] = ':';
        for (char& c : path)
            if (c == '\\') c = '/';
    }
    return path;
}

} // namespace

// The local name of a file address is left outside the destination on purpose:
// it serves only as the object's key and as the target of rewritten links.
// Nothing is ever written under it, because the download filter refuses every
// scheme but FTP, HTTP and HTTPS before a download starts. It is refused only
// when it holds a NUL byte.
std::string LocalFileNameOf(const TURL& Address, const std::string& BaseFolder, bool RecreateFolderStructure,
                            bool AssumeWWW) {
    if (!Address.IsValid()) return {};
    const std::int32_t Scheme = Address.GetScheme();
    const std::string& UrlPath = Address.GetUrlPath();
    std::string name;
    if (Scheme == SchemeFile) {
        name = FileAddressPath(Address.GetFileURL());
        if (name.find('\0') == std::string::npos) return name;
    } else if (Scheme == SchemeFTP || Scheme == SchemeHTTP || Scheme == SchemeHTTPS) {
        std::string host = Address.GetHostName();
        const auto firstDot = host.find('.');
        if (AssumeWWW && firstDot != std::string::npos &&
            host.find('.', firstDot + 1) == std::string::npos)
            host = "www." + host;
        std::string tail = "/";
        if (RecreateFolderStructure)
            tail += host + UrlPath;
        else
            tail += UrlPath.substr(UrlPath.rfind('/') + 1);
        tail += Address.GetExtraInfo();
        if (tail.back() == '/') tail += "index.html";
        CollapseSeparators(tail);
        DecodeEscapes(tail);
        for (char& c : tail)
            if (IsIllegalInFileName(c)) c = '_';
        name = BaseFolder + tail;
        CapLength(name);
        // An empty host would vanish from the name and land in another host's folder.
        const bool hostIsFolder = !host.empty() && host.find('/') == std::string::npos;
        if ((hostIsFolder || !RecreateFolderStructure) && IsContained(BaseFolder, name))
            return name;
    } else {
        return {};
    }
    base::TraceLog.LogEntry(base::ttWarning, "Unsafe local file name refused for " + Address.GetPlainURL(),
                      "GetLocalFileName", "URLType");
    return {};
}

} // namespace web
