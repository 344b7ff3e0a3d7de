// Partial and earlier copies: resumed with a range, asked for with their
// time, kept when a transfer is cut short.

#include "support/DownloadFixture.h"

#include <future>

using testsupport::HTTPDate;
using testsupport::MakeResponse;
using testsupport::ReadFileText;
using testsupport::TTestResponse;
using testsupport::WriteFileText;

namespace {

const std::string Whole = "0123456789abcdefghijklmnopqrstuvwxyz";  // the site's file.bin

class Resume : public testsupport::TDownloadFixture {
protected:
    Resume() { Server.ServeFolder(testsupport::SiteFolder("files")); }

    // Range and If-Modified-Since of each request, as "range|date".
    std::vector<std::string> Sent() const {
        std::vector<std::string> sent;
        for (const auto& request : Server.Requests())
            sent.push_back(request.Header("Range") + "|" + request.Header("If-Modified-Since"));
        return sent;
    }

    // A file.bin (or its ".part") with Text, written at Time.
    void Put(const std::string& Name, const std::string& Text, std::time_t Time) {
        if (Text.empty()) return;
        WriteFileText(Path(Name), Text);
        SetModificationTime(Path(Name), Time);
    }
};

} // namespace

TEST_F(Resume, PartialAndEarlierCopiesAreAskedForWithARangeOrTheirTime) {
    const std::time_t served = ModificationTime(testsupport::SiteFolder("files") + "/file.bin");
    const std::time_t older = served - 3600, newer = served + 3600;
    const std::string olderDate = HTTPDate(older), newerDate = HTTPDate(newer);
    struct TRow {
        const char* Name;
        std::string Partial;  // the ".part" file; "" = none
        std::string Existing;  // the earlier copy; "" = none
        std::time_t Time;      // of either
        bool UpdateOldFiles;
        bool IgnoresRanges;  // the server answers every request with the whole file
        int Status;
        std::vector<std::string> Sent;
        std::string Final;
    };
    const TRow rows[] = {
        {"partial resumed", Whole.substr(0, 10), "", older, true, false, 206, {"bytes=10-|" + olderDate}, Whole},
        {"not modified since the partial: asked again without the condition", Whole.substr(0, 20), "", newer, true,
         false, 206, {"bytes=20-|" + newerDate, "bytes=20-|"}, Whole},
        {"partial longer than the file: deleted and the whole fetched", std::string(100, 'Z'), "", older, true,
         false, 200, {"bytes=100-|" + olderDate, "|"}, Whole},
        {"earlier copy not modified", "", "old copy", newer, true, false, 304, {"|" + newerDate}, "old copy"},
        {"earlier copy kept when old files are not updated", "", "old copy", newer, false, false, 0, {}, "old copy"},
        // Last: from here on the server ignores ranges.
        {"range ignored: the whole body replaces the partial", Whole.substr(0, 10), "", older, true, true, 200,
         {"bytes=10-|" + olderDate}, Whole},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        std::remove(Path("file.bin").c_str());
        Server.ClearRequests();
        if (row.IgnoresRanges) Server.Serve("/file.bin", 200, Whole);
        Put("file.bin.part", row.Partial, row.Time);
        Put("file.bin", row.Existing, row.Time);
        Options.JobOptions.UpdateOldFiles = row.UpdateOldFiles;

        const auto result = Download("/file.bin", Path("file.bin"));

        EXPECT_EQ(result.StatusCode, row.Status);
        EXPECT_EQ(Sent(), row.Sent);
        EXPECT_EQ(ReadFileText(Path("file.bin")), row.Final);
        EXPECT_FALSE(testsupport::FileExists(Path("file.bin.part")));
        if (row.Status == 206) {
            EXPECT_EQ(LastProgress.ResumeOffset, static_cast<std::int64_t>(row.Partial.size()));
        }
        if (!row.UpdateOldFiles) {
            EXPECT_EQ(result.FilterResult, engine::dfPreviouslyDownloaded);
        }
    }
}

TEST_F(Resume, StoppedTransferKeepsThePartialFileForTheNextRun) {
    engine::TFileDownloadThread thread(Filter, MIMETable, Services());
    Prepare(thread);
    TTestResponse slow = MakeResponse(200, std::string(20000, 's'));
    slow.PieceSize = 5000;
    // The rest of the body is held back until the client has asked to stop.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    slow.BeforePiece = [released](std::size_t) { released.wait_for(std::chrono::seconds(20)); };
    Server.Serve("/slow.bin", slow);
    web::TURL address;
    address.SetFullURL(Server.URL("/slow.bin"));
    ASSERT_TRUE(thread.StartDownload(address, Path("slow.bin"), -1, nullptr));
    ASSERT_TRUE(WaitForState(thread, engine::dsReadingData));
    thread.Stop();
    release.set_value();
    ASSERT_TRUE(WaitForState(thread, engine::dsFinished));

    EXPECT_TRUE(thread.CompleteData().Stopped);
    EXPECT_FALSE(testsupport::FileExists(Path("slow.bin")));
    EXPECT_TRUE(testsupport::FileExists(Path("slow.bin.part")));
}
