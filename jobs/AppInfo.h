#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include <sys/types.h>

// What the program knows about itself and the system it runs on.
namespace jobs {

// Full path of the running program file; empty when the system does not say.
std::string ProgramFileName();

// Drops ".0" pairs from the end while the version ends in ".0.0":
// 4.0.0.0 gives 4.0, 4.1.0.0 gives 4.1.0, 4.1.0.53 stays.
std::string ShortenFileVersion(std::string Version);

// The system's name from the text of an os-release file: PRETTY_NAME, else
// NAME and VERSION; empty when the text names none.
std::string OSNameFromOSRelease(std::string_view Text);

// Name of a file system by its statfs magic number, such as "NTFS" or "ext4";
// the number in hex for one not in the table.
std::string FileSystemTypeName(unsigned long Magic);

// The version of the libcurl the program runs with, such as "7.88.1".
std::string LibcurlVersion();

class TAppInfo {
public:
    // Reads the system's name from OSReleaseFile, then from the fallback
    // /usr/lib/os-release; "Linux" when neither names it.
    explicit TAppInfo(const std::string& OSReleaseFile = "/etc/os-release");

    const std::string& ExeName() const { return Exe; }
    const std::string& ProductName() const { return Product; }
    const std::string& CompanyName() const { return Company; }
    const std::string& FileVersion() const { return Version; }
    const std::string& GetOSName() const { return OSName; }

    // ProductName "/" FileVersion " (" OS name ")".
    std::string DefaultAgentName() const;
    // Three trace lines: the system, this program's version, the libcurl version.
    void LogStartupInfo() const;
    // The file system holding Path (absolute; the nearest existing folder counts
    // for a path not created yet). The answer for the last device asked about is
    // cached. False for a relative path or when the system cannot tell.
    bool GetFileSystemName(const std::string& Path, std::string& Name);

private:
    std::string Exe;
    std::string Product;
    std::string Company;
    std::string Version;
    std::string OSName;

    std::mutex CacheLock;  // guards the three cache fields: download threads ask at once
    bool HaveCache = false;
    dev_t LastDevice = 0;
    std::string LastFileSystemName;
};

// The program's own information, created at start-up.
extern TAppInfo AppInfo;

} // namespace jobs
