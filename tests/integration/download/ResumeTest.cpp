// Partial and earlier copies: resumed with a range, asked for with their
// time, kept when a transfer is cut short.

#include "support/DownloadFixture.h"

#include "support/ContentCoding.h"

#include <filesystem>
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

    // Range, If-Range and If-Modified-Since of each request, as "range|validator|date".
    std::vector<std::string> Sent() const {
        std::vector<std::string> sent;
        for (const auto& request : Server.Requests())
            sent.push_back(request.Header("Range") + "|" + request.Header("If-Range") + "|" +
                           request.Header("If-Modified-Since"));
        return sent;
    }

    // A file (or its partial file) with Text, written at Time.
    void Put(const std::string& Name, const std::string& Text, std::time_t Time) {
        if (Text.empty()) return;
        WriteFileText(Path(Name), Text);
        SetModificationTime(Path(Name), Time);
    }

    // Serves Body at Target in pieces of 5000 bytes, all but the first held
    // back until the test releases them, and starts Thread's download of it
    // into Name; returns once the body flows.
    void StartHeldBack(engine::TFileDownloadThread& Thread, const std::string& Target, std::string Body,
                       const std::string& Name) {
        TTestResponse slow = MakeResponse(200, std::move(Body), {{"ETag", "\"held\""}});
        slow.PieceSize = 5000;
        std::shared_future<void> released = Release.get_future().share();
        slow.BeforePiece = [released](std::size_t) { released.wait_for(std::chrono::seconds(20)); };
        Server.Serve(Target, slow);
        web::TURL address;
        address.SetFullURL(Server.URL(Target));
        ASSERT_TRUE(Thread.StartDownload(0, address, Path(Name), -1, nullptr));
        ASSERT_TRUE(WaitForState(Thread, engine::dsReadingData));
    }
    std::promise<void> Release;

    // A partial file of Name as an earlier run left it, with the validator of its answer.
    void PutPartial(const std::string& Name, const std::string& Text, const std::string& Validator,
                    std::time_t Time) {
        Put(Name + "#part", Text, Time);
        if (!Validator.empty()) WriteFileText(Path(Name + "#validator"), Validator);
    }
};

} // namespace

TEST_F(Resume, PartialAndEarlierCopiesAreAskedForWithARangeOrTheirTime) {
    const std::time_t served = ModificationTime(testsupport::SiteFolder("files") + "/file.bin");
    const std::time_t older = served - 3600, newer = served + 3600;
    const std::string olderDate = HTTPDate(older), newerDate = HTTPDate(newer);
    const std::string kept = HTTPDate(served) + "|";  // the partial's validator: the file's date
    struct TRow {
        const char* Name;
        std::string Partial;  // the partial file; "" = none
        std::string Existing;  // the earlier copy; "" = none
        std::time_t Time;      // of either
        bool UpdateOldFiles;
        bool IgnoresRanges;  // the server answers every request with the whole file
        int Status;
        std::vector<std::string> Sent;
        std::string Final;
    };
    const TRow rows[] = {
        {"partial resumed", Whole.substr(0, 10), "", older, true, false, 206, {"bytes=10-|" + kept + olderDate},
         Whole},
        {"not modified since the partial: asked again without the condition", Whole.substr(0, 20), "", newer, true,
         false, 206, {"bytes=20-|" + kept + newerDate, "bytes=20-|" + kept}, Whole},
        {"partial longer than the file: deleted and the whole fetched", std::string(100, 'Z'), "", older, true,
         false, 200, {"bytes=100-|" + kept + olderDate, "||"}, Whole},
        {"earlier copy not modified", "", "old copy", newer, true, false, 304, {"||" + newerDate}, "old copy"},
        {"earlier copy kept when old files are not updated", "", "old copy", newer, false, false, 0, {}, "old copy"},
        // Last: from here on the server ignores ranges.
        {"range ignored: the whole body replaces the partial", Whole.substr(0, 10), "", older, true, true, 200,
         {"bytes=10-|" + kept + olderDate}, Whole},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        std::remove(Path("file.bin").c_str());
        Server.ClearRequests();
        if (row.IgnoresRanges) Server.Serve("/file.bin", 200, Whole);
        PutPartial("file.bin", row.Partial, row.Partial.empty() ? "" : HTTPDate(served), row.Time);
        Put("file.bin", row.Existing, row.Time);
        Options.JobOptions.UpdateOldFiles = row.UpdateOldFiles;

        const auto result = Download("/file.bin", Path("file.bin"));

        EXPECT_EQ(result.StatusCode, row.Status);
        EXPECT_EQ(Sent(), row.Sent);
        EXPECT_EQ(ReadFileText(Path("file.bin")), row.Final);
        EXPECT_FALSE(testsupport::FileExists(Path("file.bin#part")));
        EXPECT_FALSE(testsupport::FileExists(Path("file.bin#validator")));
        if (row.Status == 206) {
            EXPECT_EQ(LastProgress.ResumeOffset, static_cast<std::int64_t>(row.Partial.size()));
        }
        if (!row.UpdateOldFiles) {
            EXPECT_EQ(result.FilterResult, engine::dfPreviouslyDownloaded);
        }
    }
}

// The validator that makes the partial file resumable is there once the
// transfer stops, and the next run resumes it; a large body has it from the
// start, so that even a killed run leaves it resumable, while a small one is
// not worth a file of its own per download.
TEST_F(Resume, StoppedTransferKeepsThePartialFileForTheNextRun) {
    const struct { const char* Name; std::size_t Size; bool ValidatorWhileReading; } rows[] = {
        {"small.bin", 20000, false},
        {"large.bin", 2 << 20, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        Release = {};
        engine::TFileDownloadThread thread(Filter, MIMETable, Services());
        Prepare(thread);
        // The rest of the body is held back until the client has asked to stop.
        StartHeldBack(thread, std::string("/") + row.Name, std::string(row.Size, 's'), row.Name);
        EXPECT_EQ(testsupport::FileExists(Path(row.Name + std::string("#validator"))), row.ValidatorWhileReading);
        thread.Stop();
        Release.set_value();
        ASSERT_TRUE(WaitForState(thread, engine::dsFinished));

        EXPECT_TRUE(thread.Slot(0).CompleteData().Stopped);
        EXPECT_FALSE(testsupport::FileExists(Path(row.Name)));
        EXPECT_TRUE(testsupport::FileExists(Path(row.Name + std::string("#part"))));
        EXPECT_EQ(ReadFileText(Path(row.Name + std::string("#validator"))), "\"held\"");

        // The next run asks for the rest only.
        const std::string whole(row.Size, 's');
        Server.ServeHandler(std::string("/") + row.Name, [whole](const testsupport::TRecordedRequest& Request) {
            return testsupport::ConditionalResponse(MakeResponse(200, whole, {{"ETag", "\"held\""}}), Request);
        });
        const auto kept = std::filesystem::file_size(Path(row.Name + std::string("#part")));
        Download(std::string("/") + row.Name, Path(row.Name));
        EXPECT_EQ(Server.Requests().back().Header("Range"), "bytes=" + std::to_string(kept) + "-");
        EXPECT_EQ(Server.Requests().back().Header("If-Range"), "\"held\"");
        EXPECT_EQ(ReadFileText(Path(row.Name)), whole);
    }
}

// A partial file is continued only with a piece of the same version that
// starts where it ends; anything else fetches the whole file afresh.
TEST_F(Resume, OnlyTheSameVersionContinuesAPartialFile) {
    const std::string old = "OLDVERSION";
    const std::time_t written = 1700000000;  // of the partial file, sent as If-Modified-Since
    const std::string date = HTTPDate(written);
    // A 206 that does not continue the partial file; a plain request gets the whole file.
    auto badPiece = [](std::string Range) {
        return [Range](const testsupport::TRecordedRequest& Request) {
            if (Request.Header("Range").empty()) return MakeResponse(200, Whole);
            return MakeResponse(206, Whole, {{"Content-Range", Range}});
        };
    };
    // A piece in gzip counts bytes of the compressed form, not of the partial file.
    auto encodedPiece = [](const testsupport::TRecordedRequest& Request) {
        if (Request.Header("Range").empty()) return MakeResponse(200, Whole);
        return MakeResponse(206, testsupport::ContentCoded(Whole.substr(10), "gzip"),
                            {{"Content-Range", "bytes 10-35/36"}, {"Content-Encoding", "gzip"}});
    };
    auto versionTwo = [](const testsupport::TRecordedRequest& Request) {
        return testsupport::ConditionalResponse(MakeResponse(200, Whole, {{"ETag", "\"v2\""}}), Request);
    };
    struct TRow {
        const char* Name;
        std::string Partial, Validator;
        testsupport::TTestHandler Server;
        std::vector<std::string> Sent;
        std::int64_t ResumeOffset;
    };
    const TRow rows[] = {
        {"file changed since the partial: the whole new file", old, "\"v1\"", versionTwo, {"bytes=10-|\"v1\"|" + date}, 0},
        {"same version: only the rest is fetched", Whole.substr(0, 10), "\"v2\"", versionTwo,
         {"bytes=10-|\"v2\"|" + date}, 10},
        {"no validator kept: never continued", old, "", versionTwo, {"||"}, 0},
        {"validator of an earlier run without its partial: removed", "", "\"v1\"", versionTwo, {"||"}, 0},
        {"unusable validator without its partial: removed", "", "\"v\x01\"", versionTwo, {"||"}, 0},
        {"piece from another place: asked again whole", Whole.substr(0, 10), "\"v2\"",
         badPiece("bytes 0-35/36"), {"bytes=10-|\"v2\"|" + date, "||"}, 0},
        {"piece of another length: asked again whole", Whole.substr(0, 10), "\"v2\"",
         badPiece("bytes 10-35/99"), {"bytes=10-|\"v2\"|" + date, "||"}, 0},
        {"encoded piece: asked again whole", Whole.substr(0, 10), "\"v2\"", encodedPiece,
         {"bytes=10-|\"v2\"|" + date, "||"}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        std::remove(Path("v.bin").c_str());
        Server.ClearRequests();
        Server.ServeHandler("/v.bin", row.Server);
        PutPartial("v.bin", row.Partial, row.Validator, written);

        Download("/v.bin", Path("v.bin"));

        EXPECT_EQ(Sent(), row.Sent);
        EXPECT_EQ(ReadFileText(Path("v.bin")), Whole);
        EXPECT_EQ(LastProgress.ResumeOffset, row.ResumeOffset);
        EXPECT_FALSE(testsupport::FileExists(Path("v.bin#part")));
        EXPECT_FALSE(testsupport::FileExists(Path("v.bin#validator")));
    }
}

TEST_F(Resume, SecondDownloadIntoTheSameFileIsRefusedAsInUse) {
    engine::TFileDownloadThread first(Filter, MIMETable, Services());
    engine::TFileDownloadThread second(Filter, MIMETable, Services());
    Prepare(first);
    Prepare(second);
    // The first download holds its partial file while the second one arrives;
    // a body this large has one from the start.
    const std::string body = std::string(5000, 'a') + std::string(2 << 20, 'b');
    StartHeldBack(first, "/one.bin", body, "one.bin");

    const auto loser = Download(second, Server.URL("/one.bin"), Path("one.bin"));
    Release.set_value();
    ASSERT_TRUE(WaitForState(first, engine::dsFinished));

    EXPECT_TRUE(loser.ExceptionRaised);
    EXPECT_NE(loser.ExceptionText.find("in use"), std::string::npos) << loser.ExceptionText;
    EXPECT_EQ(first.Slot(0).CompleteData().StatusCode, 200);
    EXPECT_FALSE(first.Slot(0).CompleteData().ExceptionRaised) << first.Slot(0).CompleteData().ExceptionText;
    EXPECT_EQ(ReadFileText(Path("one.bin")), body);
}

// A small body is written unnamed and takes its name only when complete: a
// file that took the name meanwhile is replaced in one step, and nothing is
// left beside it.
TEST_F(Resume, FileThatTookTheNameDuringTheTransferIsReplacedWhole) {
    engine::TFileDownloadThread thread(Filter, MIMETable, Services());
    Prepare(thread);
    const std::string body = std::string(5000, 'a') + std::string(5000, 'b');
    StartHeldBack(thread, "/late.bin", body, "late.bin");
    EXPECT_FALSE(testsupport::FileExists(Path("late.bin#part")));
    WriteFileText(Path("late.bin"), "another writer's file");
    Release.set_value();
    ASSERT_TRUE(WaitForState(thread, engine::dsFinished));

    const auto& result = thread.Slot(0).CompleteData();
    EXPECT_FALSE(result.ExceptionRaised) << result.ExceptionText;
    EXPECT_EQ(result.SavedBytes, static_cast<std::int64_t>(body.size()));
    EXPECT_EQ(ReadFileText(Path("late.bin")), body);
    EXPECT_FALSE(testsupport::FileExists(Path("late.bin#part")));
}
