#pragma once

#include "jobs/IniText.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace jobs {

// The job file's section of extra request header lines: "LineCount" and
// "Line0", "Line1"... (IsHTTPHeadersKey says which keys those are).
constexpr const char* HTTPHeadersSection = "HTTPHeaders";
bool IsHTTPHeadersKey(std::string_view Key);

// The download options that come with every job (agent name, cookies, retries,
// time-out...). Owned by its job; copied by value.
class TCopyJobDownloadOptions {
public:
    // A new object holds the defaults given with the fields below.
    TCopyJobDownloadOptions() = default;

    void SetDefaults();
    void Assign(const TCopyJobDownloadOptions& Source) { *this = Source; }
    bool operator==(const TCopyJobDownloadOptions&) const = default;

    // The "DownloadOptions" and "HTTPHeaders" sections of a job file.
    bool LoadFromFile(const std::string& FileName);
    bool SaveToFile(const std::string& FileName) const;
    // The same on an INI text in memory; the job file uses these to save the
    // whole job in one atomic write.
    void LoadFromText(const TIniText& Text);
    bool SaveToText(TIniText& Text) const;
    // Every key SaveToText writes, with its text, in file order; false when
    // Visit stopped the walk.
    bool ForEachFileValue(const TIniValueVisitor& Visit) const;

    std::string HTTPAgentName;
    bool AllowCookies = true;
    bool UpdateOldFiles = false;       // request files again that are already on disk
    bool AllowAuthentication = true;   // use the address's or the stored user name and password
    std::int32_t ConnectRetries = 3;
    std::int32_t Timeout = 60000;      // receive and connect time-out, milliseconds
    bool WriteToIECache = false;       // no counterpart on this platform; kept for the file
    bool UsePassiveFTP = false;
    std::string HTTPHeaders;           // extra request header lines, each ended by CR LF
    bool AddFileExtensions = true;     // add an extension derived from the MIME type
    bool UseReferrer = true;
};

// One proxy server as the settings hold it; copied as a whole record.
struct TProxyServerInfo {
    bool UseProxyServer = true;
    std::string Address;
    std::int32_t Port = 0;
    std::string Username;
    std::string Password;
    std::string ProxyBypass;  // handed to the connection unchanged; empty = none

    bool operator==(const TProxyServerInfo&) const = default;
};

// What the spider thread hands to the download threads for one run: the job's
// download options and the two proxy records of the settings.
// Held by value: copying it copies both records and the options.
class TDownloadOptions {
public:
    void Assign(const TDownloadOptions& Source) { *this = Source; }
    bool operator==(const TDownloadOptions&) const = default;

    TProxyServerInfo HTTPProxy;
    TProxyServerInfo FTPProxy;
    TCopyJobDownloadOptions JobOptions;
};

} // namespace jobs
