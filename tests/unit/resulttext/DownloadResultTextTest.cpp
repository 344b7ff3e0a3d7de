#include "messaging/SpiderOutputMsgTypes.h"
#include "queue/DownloadResultText.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace messaging;
using I = queue::TDownloadResultIcon;

// Which results count as warnings (worth a retry) and which as failures, and
// a server's status text that cannot break the caption's line.
TEST(DownloadResultText, CaptionAndIconOfEveryKindOfResult) {
    const struct { std::uint8_t Outcome; std::int32_t Status; const char* StatusText; int OsError;
                   std::uint8_t Filter; const char* Address; const char* Text; I Icon; } rows[] = {
        {doStopped, 200, "200", 0, 0, "http://s.test/", "Cancelled", I::Stopped},
        {doAborted, 200, "200", 0, 0, "http://s.test/", "Cancelled", I::Warning},
        {doFailed, 0, "", 0, 0, "http://s.test/", "Internal Error (bad_alloc)", I::Failure},
        {doCompleted, 0, "", ENOSPC, 0, "http://s.test/", "Error 28 (No space left on device)", I::Warning},
        {doCompleted, 0, "", 12028, 0, "http://s.test/", "Error 12028 (Timeout was reached)", I::Warning},
        {doCompleted, 0, "", 12006, 0, "http://s.test/", "Error 12006 (Couldn't resolve host name)", I::Failure},
        {doCompleted, 0, "", 0, 14, "http://s.test/", "Previously Downloaded", I::Filtered},
        {doCompleted, 412, "412 Precondition Failed", 0, 0, "http://s.test/", "412 Precondition Failed", I::Success},
        {doCompleted, 201, "201 Created", 0, 0, "http://s.test/", "OK", I::Failure},
        {doCompleted, 206, "206 Partial", 0, 0, "ftp://s.test/a.zip", "OK", I::Failure},
        {doCompleted, 404, "404 Not Found\r\nmore", 0, 0, "http://s.test/", "404 Not Found\\more", I::Failure},
        {doCompleted, 503, "503 Busy", 0, 0, "http://s.test/", "503 Busy", I::Warning},
    };
    for (const auto& row : rows) {
        TFileDownloadMsg msg;
        msg.Address.SetFullURL(row.Address);
        msg.Results.Outcome = row.Outcome;
        msg.Results.OutcomeText = "bad_alloc";
        msg.Results.StatusCode = row.Status;
        msg.Results.StatusText = row.StatusText;
        msg.Results.HaveOsError = row.OsError != 0;
        msg.Results.OsError = row.OsError;
        msg.Results.Filtered = row.Filter != 0;
        msg.Results.FilterReason = row.Filter;
        EXPECT_EQ(queue::DownloadResultText(msg.Results, true), row.Text) << row.Text;
        EXPECT_EQ(queue::DownloadResultIcon(msg), row.Icon) << row.Text;
    }
}
