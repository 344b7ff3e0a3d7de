// One download thread fetching from a real FTP server.

#include "support/DownloadFixture.h"

#include "base/AppTraceLog.h"
#include "support/TestFtpServer.h"

#include <thread>

using testsupport::ReadFileText;
using testsupport::TTestFtpServer;

namespace {

constexpr std::time_t RemoteTime = 1500000000;  // Fri, 14 Jul 2017 02:40:00 GMT

// A body whose bytes tell their place, so a wrong or shifted piece shows.
std::string Numbered(std::size_t Size) {
    std::string body(Size, '\0');
    for (std::size_t i = 0; i < Size; ++i) body[i] = static_cast<char>('a' + i % 23);
    return body;
}

class FTPDownload : public testsupport::TDownloadFixture {
protected:
    FTPDownload() {
        Job.DownloadFTP = true;
        Options.JobOptions.Timeout = 10000;
    }

    // Downloads Path, or a whole address, from the server.
    engine::TFileDownloadCompleteData Fetch(const std::string& Path, const std::string& File) {
        engine::TFileDownloadThread thread(Filter, MIMETable, Services());
        Prepare(thread);
        auto result = Download(thread, Path.find("://") == std::string::npos ? Ftp.URL(Path) : Path, File);
        LastProgress = thread.Slot(0).Progress();
        return result;
    }

    TTestFtpServer Ftp;
};

} // namespace

TEST_F(FTPDownload, FetchesAFileWithItsSizeAndTimeInPassiveAndActiveMode) {
    const std::string body = Numbered(123457);
    Ftp.AddFile("/pub/data.bin", body, RemoteTime);
    for (const bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        Options.JobOptions.UsePassiveFTP = passive;
        Ftp.ClearRecords();
        const std::string file = Path(passive ? "passive/data.bin" : "active/data.bin");

        const auto result = Fetch("/pub/data.bin", file);

        EXPECT_EQ(result.StatusCode, 200);
        EXPECT_EQ(result.StatusText, "OK");
        EXPECT_FALSE(result.HaveOsError) << base::SystemErrorText(result.OsError);
        EXPECT_EQ(result.LocalFile, file);
        EXPECT_EQ(ReadFileText(file), body);
        EXPECT_EQ(ModificationTime(file), RemoteTime);
        EXPECT_FALSE(testsupport::FileExists(file + "#part"));
        EXPECT_EQ(LastProgress.ExpectedSize, 123457);
        EXPECT_EQ(LastProgress.BytesReceived, 123457);
        EXPECT_EQ(Ftp.CountRecords("RETR"), 1u);
        EXPECT_GE(Ftp.CountRecords(passive ? "EPSV" : "EPRT") + Ftp.CountRecords(passive ? "PASV" : "PORT"), 1u);
    }
}

TEST_F(FTPDownload, MissingFileOrAFolderIsStatus550AndLeavesNoFile) {
    Ftp.AddFile("/pub/other.bin", "other");
    for (const char* path : {"/missing.bin", "/pub/missing.bin", "/pub/"}) {
        SCOPED_TRACE(path);
        const auto result = Fetch(path, Path("missing.bin"));
        EXPECT_EQ(result.StatusCode, 550);
        EXPECT_EQ(result.StatusText, "File Not Found");
        EXPECT_FALSE(testsupport::FileExists(Path("missing.bin")));
        EXPECT_FALSE(testsupport::FileExists(Path("missing.bin#part")));
        EXPECT_EQ(Ftp.CountRecords("RETR") + Ftp.CountRecords("LIST"), 0u);
    }
}

TEST_F(FTPDownload, CurrentLocalCopyIsNotTransferredAgain) {
    struct TRow {
        const char* Name;
        std::size_t RemoteSize;
        std::size_t LocalSize;
        std::time_t LocalTime;
        bool UpdateOldFiles;
        bool Transferred;
    };
    const TRow rows[] = {
        {"same size, same time", 500, 500, RemoteTime, true, false},
        {"same size, local older", 500, 500, RemoteTime - 1, true, true},
        {"remote larger", 600, 500, RemoteTime + 3600, true, true},
        {"old files not updated", 600, 500, RemoteTime - 1, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        Ftp.AddFile("/file.bin", Numbered(row.RemoteSize), RemoteTime);
        const std::string file = Path("file.bin");
        testsupport::WriteFileText(file, std::string(row.LocalSize, 'L'));
        SetModificationTime(file, row.LocalTime);
        Options.JobOptions.UpdateOldFiles = row.UpdateOldFiles;
        Ftp.ClearRecords();

        const auto result = Fetch("/file.bin", file);

        EXPECT_EQ(Ftp.CountRecords("RETR"), row.Transferred ? 1u : 0u);
        EXPECT_EQ(result.FilterResult, row.Transferred ? engine::dfPassed : engine::dfPreviouslyDownloaded);
        EXPECT_EQ(ReadFileText(file), row.Transferred ? Numbered(row.RemoteSize) : std::string(row.LocalSize, 'L'));
    }
}

TEST_F(FTPDownload, StoppedTransferLeavesNoPartialFileAndTheOldCopy) {
    TTestFtpServer slow({.SendLimit = 32 * 1024});
    slow.AddFile("/slow.bin", Numbered(1024 * 1024), RemoteTime);
    const std::string file = Path("slow.bin");
    testsupport::WriteFileText(file, "old copy");
    SetModificationTime(file, RemoteTime - 100);
    engine::TFileDownloadThread thread(Filter, MIMETable, Services());
    Prepare(thread);
    web::TURL address;
    ASSERT_TRUE(address.SetFullURL(slow.URL("/slow.bin")));
    ASSERT_TRUE(thread.StartDownload(0, address, file, -1, nullptr));
    ASSERT_TRUE(WaitForState(thread, engine::dsReadingData));
    // Reading has begun, but the first bytes may still be on their way: stop half-way, not before.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (thread.Slot(0).Progress().BytesReceived == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    const auto stopAt = std::chrono::steady_clock::now();
    thread.Stop();
    ASSERT_TRUE(WaitForState(thread, engine::dsFinished));
    EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::seconds(3));
    EXPECT_TRUE(thread.Slot(0).CompleteData().Stopped);
    EXPECT_GT(thread.Slot(0).Progress().BytesReceived, 0);
    EXPECT_LT(thread.Slot(0).Progress().BytesReceived, 1024 * 1024);
    EXPECT_FALSE(testsupport::FileExists(file + "#part"));
    EXPECT_EQ(ReadFileText(file), "old copy");
}

TEST_F(FTPDownload, SilentServerEndsTheDownloadAfterTheTimeOut) {
    // The web server accepts the connection and waits for a request: the FTP
    // client waits for a greeting that never comes.
    Options.JobOptions.Timeout = 300;
    Options.JobOptions.ConnectRetries = 3;
    const auto started = std::chrono::steady_clock::now();
    const auto result = Fetch("ftp://127.0.0.1:" + std::to_string(Server.Port()) + "/a.txt", Path("a.txt"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(300 + 1500));
    EXPECT_EQ(result.OsError, engine::InternetErrorCode(CURLE_OPERATION_TIMEDOUT))
        << "a connection accepted is not a failed connect to retry";
    EXPECT_FALSE(testsupport::FileExists(Path("a.txt")));
}
