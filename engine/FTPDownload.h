#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace engine {

class TInternetRequest;
struct TDownloadTask;
struct TRequestParams;

// What the server said about a remote file before it is fetched.
struct TFTPFileInfo {
    bool HaveTime = false;
    std::time_t LastWriteTime = 0;  // UTC
    bool HaveSize = false;
    std::int64_t Size = 0;
};

// The status of a look-up that found no file.
inline constexpr std::int32_t FTPFileNotFoundStatus = 550;
inline constexpr const char* FTPFileNotFoundText = "File Not Found";

// The local copy needs no transfer: the remote file is not newer and has the
// same size. A server that gives no time or no size cannot prove that.
bool FTPFileIsCurrent(const TFTPFileInfo& Remote, std::time_t LocalTime, std::int64_t LocalSize);
// The size the progress and the filter see: -1 from 4 GiB on (larger than
// any 32-bit limit can admit), 0 when the server gave none.
std::int64_t FTPExpectedSize(const TFTPFileInfo& Remote);

// The FTP download: a file is looked up (size and time), then fetched whole
// into its partial file, directly with FTP commands or through an HTTP proxy
// that is asked for the whole ftp address. FTP transfers are never resumed.
class TFTPDownload {
public:
    explicit TFTPDownload(TDownloadTask& Task) : Task(Task) {}
    void Run();

private:
    void DownloadFTPNoProxy();
    void DownloadFTPCERNProxy();
    bool LookUpFTPFile(TFTPFileInfo& Remote);
    TRequestParams FTPRequestParams(bool LookUpOnly) const;
    void RecordFTPError(std::int32_t Error, const std::string& Call, const char* Operation,
                        const TInternetRequest& Request);

    TDownloadTask& Task;
};

} // namespace engine
