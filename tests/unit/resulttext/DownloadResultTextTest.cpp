#include "messaging/SpiderOutputMsgTypes.h"
#include "queue/DownloadResultText.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace messaging;
using namespace queue;

namespace {

struct TResultRow {
    std::uint8_t Outcome;
    std::int32_t StatusCode;
    const char* StatusText;
    int OsError;  // 0: none
    std::uint8_t FilterReason;  // 0: not filtered
    bool Friendly;
    const char* Address;
    const char* Text;
    TDownloadResultIcon Icon;
};

TFileDownloadMsg Download(const TResultRow& Row) {
    TFileDownloadMsg msg;
    msg.Address.SetFullURL(Row.Address);
    auto& r = msg.Results;
    r.Outcome = Row.Outcome;
    r.OutcomeText = "bad_alloc";
    r.StatusCode = Row.StatusCode;
    r.StatusText = Row.StatusText;
    r.HaveOsError = Row.OsError != 0;
    r.OsError = Row.OsError;
    r.Filtered = Row.FilterReason != 0;
    r.FilterReason = Row.FilterReason;
    return msg;
}

} // namespace

TEST(DownloadResultText, CaptionAndIconOfEveryKindOfResult) {
    using I = TDownloadResultIcon;
    const char* http = "http://site.test/a.htm";
    const TResultRow rows[] = {
        {doStopped, 200, "200", 0, 0, true, http, "Cancelled", I::Stopped},
        {doAborted, 200, "200", 0, 0, true, http, "Cancelled", I::Warning},
        {doFailed, 0, "", 0, 0, true, http, "Internal Error (bad_alloc)", I::Failure},
        {doCompleted, 0, "", ENOENT, 0, true, http, "Error 2 (No such file or directory)", I::Failure},
        {doCompleted, 0, "", ENOSPC, 0, true, http, "Error 28 (No space left on device)", I::Warning},
        {doCompleted, 0, "", 0, 1, true, http, "Filtered: Location", I::Filtered},
        {doCompleted, 0, "", 0, 2, true, http, "Filtered: Depth", I::Filtered},
        {doCompleted, 0, "", 0, 13, true, http, "Filtered: Job Time", I::Filtered},
        {doCompleted, 0, "", 0, 14, true, http, "Previously Downloaded", I::Filtered},
        {doCompleted, 0, "", 0, 15, true, http, "?", I::Filtered},
        {doCompleted, 200, "200", 0, 0, true, http, "OK", I::Success},
        {doCompleted, 304, "304 Not Modified", 0, 0, true, http, "OK", I::Success},
        {doCompleted, 301, "301 Moved", 0, 0, false, http, "301 Moved", I::Success},
        {doCompleted, 200, "200", 0, 0, false, http, "OK", I::Success},
        {doCompleted, 412, "412 Precondition Failed", 0, 0, true, http, "412 Precondition Failed", I::Success},
        {doCompleted, 201, "201 Created", 0, 0, true, http, "OK", I::Failure},
        {doCompleted, 404, "404 Not Found\r\nmore", 0, 0, true, http, "404 Not Found\\more", I::Failure},
        {doCompleted, 503, "503 Busy", 0, 0, true, http, "503 Busy", I::Warning},
        {doCompleted, 401, "401 Unauthorized", 0, 0, true, http, "401 Unauthorized", I::Warning},
        {doCompleted, 206, "206 Partial", 0, 0, true, "ftp://site.test/a.zip", "OK", I::Failure},
        {doCompleted, 200, "200", 0, 0, true, "ftp://site.test/a.zip", "OK", I::Success},
    };
    for (const auto& row : rows) {
        const auto msg = Download(row);
        EXPECT_EQ(DownloadResultText(msg.Results, row.Friendly), row.Text) << row.Text << " " << row.StatusCode;
        EXPECT_EQ(DownloadResultIcon(msg), row.Icon) << row.Text << " " << row.StatusCode;
    }
}

TEST(DownloadResultText, TimeOutsAndLostConnectionsAreWarningsOtherLibraryErrorsFailures) {
    const std::pair<int, TDownloadResultIcon> rows[] = {
        {12000 + 28, TDownloadResultIcon::Warning},  // timed out
        {12000 + 7, TDownloadResultIcon::Warning},   // could not connect
        {12000 + 56, TDownloadResultIcon::Warning},  // receive failed
        {12000 + 6, TDownloadResultIcon::Failure},   // host name not resolved
        {12000 + 60, TDownloadResultIcon::Failure},  // certificate refused
    };
    for (const auto& [code, icon] : rows) {
        TResultRow row{doCompleted, 0, "", code, 0, true, "http://site.test/", "", icon};
        EXPECT_EQ(DownloadResultIcon(Download(row)), icon) << code;
        EXPECT_EQ(DownloadResultText(Download(row).Results, true).rfind("Error " + std::to_string(code) + " (", 0), 0u);
    }
}

TEST(DownloadResultText, LocationIsTheSavedFileWhenThereIsOneElseTheAddress) {
    testsupport::TTempDir dir;
    const std::string saved = dir.File("a.htm");
    testsupport::WriteFileText(saved, "<p>");
    struct TRow {
        std::uint8_t Outcome;
        int OsError;
        std::uint8_t FilterReason;
        const char* LocalFile;
        bool WantFile;
    };
    const TRow rows[] = {
        {doCompleted, 0, 0, "a.htm", true},        {doCompleted, 0, 0, "gone.htm", false},
        {doCompleted, 0, 1, "a.htm", false},       {doCompleted, 0, 14, "a.htm", true},
        {doCompleted, ENOSPC, 0, "a.htm", true},   {doCompleted, 12028, 0, "a.htm", false},
        {doStopped, 0, 0, "a.htm", false},         {doFailed, 0, 0, "a.htm", false},
    };
    for (const auto& row : rows) {
        TFileDownloadMsg msg;
        msg.Address.SetFullURL("http://site.test/a.htm");
        msg.LocalFile = dir.File(row.LocalFile);
        msg.Results.Outcome = row.Outcome;
        msg.Results.HaveOsError = row.OsError != 0;
        msg.Results.OsError = row.OsError;
        msg.Results.Filtered = row.FilterReason != 0;
        msg.Results.FilterReason = row.FilterReason;
        EXPECT_EQ(FinishedDownloadLocation(msg), row.WantFile ? msg.LocalFile : msg.Address.GetPlainURL())
            << int(row.Outcome) << " " << row.OsError << " " << int(row.FilterReason) << " " << row.LocalFile;
    }
}

TEST(DownloadResultText, SizeTextSteps) {
    const std::pair<std::int64_t, const char*> rows[] = {
        {0, "0"}, {512, "512"}, {1023, "1023"}, {1024, "1 KB"}, {38000, "37 KB"},
        {1048575, "1023 KB"}, {1048576, "1 MB"}, {2500000, "2 MB"}, {5000000000LL, "4768 MB"},
    };
    for (const auto& [bytes, text] : rows) EXPECT_EQ(SizeText(bytes), text) << bytes;
}
