#include "messaging/SpiderOutputMsgTypes.h"
#include "queue/DownloadResultText.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace messaging;
using namespace queue;

namespace {

struct TResultRow {
    std::uint8_t Outcome;
    std::int32_t StatusCode;
    const char* StatusText;
    int OsError;               // 0: none
    std::uint8_t FilterReason; // 0: not filtered
    const char* Text;
    TDownloadResultIcon Icon;
};

TFileDownloadMsg Download(const TResultRow& Row, const char* Address = "http://site.test/a.htm") {
    TFileDownloadMsg msg;
    msg.Address.SetFullURL(Address);
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
    const TResultRow rows[] = {
        {doStopped, 200, "200", 0, 0, "Cancelled", I::Stopped},
        {doAborted, 200, "200", 0, 0, "Cancelled", I::Warning},
        {doFailed, 0, "", 0, 0, "Internal Error (bad_alloc)", I::Failure},
        {doCompleted, 0, "", ENOSPC, 0, "Error 28 (No space left on device)", I::Warning},
        {doCompleted, 0, "", 12028, 0, "Error 12028 (Timeout was reached)", I::Warning},
        {doCompleted, 0, "", 12006, 0, "Error 12006 (Couldn't resolve host name)", I::Failure},
        {doCompleted, 0, "", 0, 1, "Filtered: Location", I::Filtered},
        {doCompleted, 0, "", 0, 14, "Previously Downloaded", I::Filtered},
        {doCompleted, 412, "412 Precondition Failed", 0, 0, "412 Precondition Failed", I::Success},
        {doCompleted, 201, "201 Created", 0, 0, "OK", I::Failure},
        {doCompleted, 404, "404 Not Found\r\nmore", 0, 0, "404 Not Found\\more", I::Failure},
        {doCompleted, 503, "503 Busy", 0, 0, "503 Busy", I::Warning},
    };
    for (const auto& row : rows) {
        const auto msg = Download(row);
        EXPECT_EQ(DownloadResultText(msg.Results, true), row.Text) << row.Text;
        EXPECT_EQ(DownloadResultIcon(msg), row.Icon) << row.Text;
    }
    const TResultRow moved{doCompleted, 301, "301 Moved", 0, 0, "", I::Success};
    EXPECT_EQ(DownloadResultText(Download(moved).Results, false), "301 Moved") << "not friendly";
    const TResultRow partial{doCompleted, 206, "206 Partial", 0, 0, "", I::Success};
    EXPECT_EQ(DownloadResultIcon(Download(partial, "ftp://site.test/a.zip")), I::Failure);
}

