#include "jobs/AppInfo.h"

#include "HarvexisVersion.h"
#include "base/AppTraceLog.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <curl/curl.h>

namespace jobs {

TAppInfo AppInfo;

namespace {

constexpr const char* DefaultProductName = "Harvexis";
constexpr const char* DefaultCompanyName = "Tindlecraft";
constexpr const char* FallbackOSReleaseFile = "/usr/lib/os-release";
constexpr const char* UnknownOSName = "Linux";

struct TFileSystemType {
    unsigned long Magic;
    const char* Name;
};

// From <linux/magic.h> and the file systems' own headers. ext2, ext3 and ext4
// share one number.
constexpr TFileSystemType FileSystemTypes[] = {
    {0xEF53, "ext4"},         {0x58465342, "xfs"},     {0x9123683E, "btrfs"},
    {0x01021994, "tmpfs"},    {0x858458F6, "ramfs"},   {0x794C7630, "overlay"},
    {0x5346544E, "NTFS"},     {0x7366746E, "NTFS"},    {0x4D44, "FAT"},
    {0x2011BAB0, "exFAT"},    {0x9660, "CDFS"},        {0x15013346, "UDF"},
    {0x6969, "nfs"},          {0xFF534D42, "cifs"},    {0xFE534D42, "smb2"},
    {0x65735546, "fuse"},     {0x2FC12FC1, "zfs"},     {0xF2F52010, "f2fs"},
    {0x01021997, "9p"},       {0x9FA0, "proc"},        {0x62656572, "sysfs"},
};

std::string ReadTextFile(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// An os-release value: shell-like, optionally quoted, with backslash escapes inside quotes.
std::string UnquotedValue(std::string_view Value) {
    if (Value.empty() || (Value.front() != '"' && Value.front() != '\'')) return std::string(Value);
    const char quote = Value.front();
    std::string out;
    for (std::size_t i = 1; i < Value.size() && Value[i] != quote; ++i) {
        if (quote == '"' && Value[i] == '\\' && i + 1 < Value.size()) ++i;
        out += Value[i];
    }
    return out;
}

// Path itself, or its nearest parent that exists; nullopt when stat fails otherwise.
std::optional<std::string> NearestExisting(std::string Path, struct stat& Info) {
    while (::stat(Path.c_str(), &Info) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) return std::nullopt;
        const auto slash = Path.find_last_of('/');
        if (slash == std::string::npos) return std::nullopt;
        Path = slash == 0 ? "/" : Path.substr(0, slash);
    }
    return Path;
}

} // namespace

std::string ProgramFileName() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) return {};
    return std::string(buffer, static_cast<std::size_t>(length));
}

std::string ShortenFileVersion(std::string Version) {
    while (Version.size() >= 4 && Version.ends_with(".0.0")) Version.resize(Version.size() - 2);
    return Version;
}

std::string OSNameFromOSRelease(std::string_view Text) {
    std::string prettyName, name, version;
    std::istringstream lines{std::string(Text)};
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto equals = line.find('=');
        if (equals == std::string::npos || line.starts_with('#')) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = UnquotedValue(std::string_view(line).substr(equals + 1));
        if (key == "PRETTY_NAME") prettyName = value;
        else if (key == "NAME") name = value;
        else if (key == "VERSION") version = value;
    }
    if (!prettyName.empty()) return prettyName;
    if (!name.empty() && !version.empty()) return name + " " + version;
    return name;
}

std::string FileSystemTypeName(unsigned long Magic) {
    for (const auto& type : FileSystemTypes)
        if (type.Magic == Magic) return type.Name;
    char hex[24];
    std::snprintf(hex, sizeof hex, "0x%lX", Magic);
    return hex;
}

TAppInfo::TAppInfo(const std::string& OSReleaseFile)
    : Exe(ProgramFileName()), Product(DefaultProductName), Company(DefaultCompanyName),
      Version(ShortenFileVersion(HARVEXIS_VERSION)) {
    OSName = OSNameFromOSRelease(ReadTextFile(OSReleaseFile));
    if (OSName.empty()) OSName = OSNameFromOSRelease(ReadTextFile(FallbackOSReleaseFile));
    if (OSName.empty()) OSName = UnknownOSName;
}

std::string TAppInfo::DefaultAgentName() const {
    return Product + "/" + Version + " (" + OSName + ")";
}

void TAppInfo::LogStartupInfo() const {
    struct utsname system {};
    if (::uname(&system) == 0)
        base::TraceLog.LogMessage("OS version (name, kernel, release, machine): " + OSName +
                                       ", " + system.sysname + ", " + system.release + ", " +
                                       system.machine);
    base::TraceLog.LogMessage("Application version: " + Version);
    base::TraceLog.LogMessage("libcurl version: " + LibcurlVersion());
}

std::string LibcurlVersion() {
    const curl_version_info_data* curl = curl_version_info(CURLVERSION_NOW);
    return curl && curl->version ? curl->version : "";
}

bool TAppInfo::GetFileSystemName(const std::string& Path, std::string& Name) {
    if (Path.empty() || Path.front() != '/') return false;
    struct stat info {};
    const auto existing = NearestExisting(Path, info);
    if (!existing) return false;
    std::lock_guard guard(CacheLock);
    if (HaveCache && info.st_dev == LastDevice) {
        Name = LastFileSystemName;
        return true;
    }
    struct statfs volume {};
    if (::statfs(existing->c_str(), &volume) != 0) return false;
    LastFileSystemName = FileSystemTypeName(static_cast<unsigned long>(volume.f_type));
    LastDevice = info.st_dev;
    HaveCache = true;
    Name = LastFileSystemName;
    return true;
}

} // namespace jobs
