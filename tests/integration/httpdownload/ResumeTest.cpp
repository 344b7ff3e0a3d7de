#include "support/DownloadFixture.h"

#include <future>

using testsupport::HTTPDate;
using testsupport::RangeServingHandler;
using testsupport::ReadFileText;
using testsupport::TRecordedRequest;
using testsupport::MakeResponse;
using testsupport::TTestResponse;
using testsupport::WriteFileText;

namespace {

const std::string Whole = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr std::time_t PartialTime = 1700000000;  // Tue, 14 Nov 2023 22:13:20 GMT

class Resume : public testsupport::TDownloadFixture {
protected:
    // A ".part" file of the first Size bytes, written at PartialTime.
    std::string MakePartial(std::size_t Size, const std::string& Name = "file.bin") {
        WriteFileText(Path(Name) + ".part", Whole.substr(0, Size));
        SetModificationTime(Path(Name) + ".part", PartialTime);
        return Path(Name);
    }
};

} // namespace

TEST_F(Resume, PartialFileIsContinuedWithARangeAndItsTime) {
    Server.ServeHandler("/file.bin", RangeServingHandler(Whole, {{"Content-Type", "application/octet-stream"}}));
    const std::string file = MakePartial(10);

    const auto result = Download("/file.bin", file);

    EXPECT_EQ(result.StatusCode, 206);
    EXPECT_EQ(result.FilterResult, engine::dfPassed);
    EXPECT_EQ(ReadFileText(file), Whole);
    EXPECT_FALSE(testsupport::FileExists(file + ".part"));
    const auto requests = Server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("Range"), "bytes=10-");
    EXPECT_EQ(requests[0].Header("If-Modified-Since"), "Tue, 14 Nov 2023 22:13:20 GMT");
    EXPECT_EQ(LastProgress.ResumeOffset, 10);
    EXPECT_EQ(LastProgress.ExpectedSize, static_cast<std::int64_t>(Whole.size()));
    EXPECT_EQ(LastProgress.BytesReceived, static_cast<std::int64_t>(Whole.size()));
    EXPECT_EQ(Filter.FileCount(), 1);
}

TEST_F(Resume, NotModifiedAnswerToARangeIsAskedAgainWithoutTheCondition) {
    auto ranges = RangeServingHandler(Whole);
    Server.ServeHandler("/file.bin", [ranges](const TRecordedRequest& Request) {
        if (Request.HasHeader("If-Modified-Since")) return MakeResponse(304, "");
        return ranges(Request);
    });
    const std::string file = MakePartial(20);

    const auto result = Download("/file.bin", file);

    EXPECT_EQ(result.StatusCode, 206);
    EXPECT_EQ(ReadFileText(file), Whole);
    const auto requests = Server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests[0].HasHeader("If-Modified-Since"));
    EXPECT_EQ(requests[0].Header("Range"), "bytes=20-");
    EXPECT_FALSE(requests[1].HasHeader("If-Modified-Since"));
    EXPECT_EQ(requests[1].Header("Range"), "bytes=20-");
}

TEST_F(Resume, RangeNotSatisfiableDeletesThePartialFileAndFetchesTheWhole) {
    Server.ServeHandler("/file.bin", [](const TRecordedRequest& Request) {
        if (Request.HasHeader("Range")) return MakeResponse(416, "");
        return MakeResponse(200, Whole);
    });
    WriteFileText(Path("file.bin") + ".part", std::string(100, 'Z'));  // longer than the resource

    const auto result = Download("/file.bin", Path("file.bin"));

    EXPECT_EQ(result.StatusCode, 200);
    EXPECT_EQ(ReadFileText(Path("file.bin")), Whole);
    EXPECT_FALSE(testsupport::FileExists(Path("file.bin") + ".part"));
    const auto requests = Server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests[0].HasHeader("Range"));
    EXPECT_FALSE(requests[1].HasHeader("Range"));
}

TEST_F(Resume, WholeBodyAfterAPartialFileReplacesItInsteadOfBeingAppended) {
    // A server that ignores the range and answers with the whole resource.
    Server.Serve("/file.bin", 200, Whole);
    MakePartial(10);

    const auto result = Download("/file.bin", Path("file.bin"));

    EXPECT_EQ(result.StatusCode, 200);
    EXPECT_EQ(ReadFileText(Path("file.bin")), Whole);
    EXPECT_EQ(LastProgress.ResumeOffset, 0);
}

TEST_F(Resume, ExistingFileIsNotRequestedWhenOldFilesAreNotUpdated) {
    Server.Serve("/file.bin", 200, Whole);
    WriteFileText(Path("file.bin"), "old copy");
    Options.JobOptions.UpdateOldFiles = false;

    const auto result = Download("/file.bin", Path("file.bin"));

    EXPECT_EQ(result.FilterResult, engine::dfPreviouslyDownloaded);
    EXPECT_EQ(Server.RequestCount(), 0u);
    EXPECT_EQ(ReadFileText(Path("file.bin")), "old copy");
    EXPECT_FALSE(result.HaveStatus);
}

TEST_F(Resume, ExistingFileIsAskedForWithItsTime) {
    Server.Serve("/file.bin", 304, "");
    WriteFileText(Path("file.bin"), "old copy");
    SetModificationTime(Path("file.bin"), PartialTime);

    const auto result = Download("/file.bin", Path("file.bin"));

    EXPECT_EQ(result.StatusCode, 304);
    EXPECT_EQ(ReadFileText(Path("file.bin")), "old copy");
    const auto requests = Server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("If-Modified-Since"), "Tue, 14 Nov 2023 22:13:20 GMT");
    EXPECT_FALSE(requests[0].HasHeader("Range"));
}

TEST_F(Resume, TimeLimitInsideTheBodyKeepsThePartialAndTheOldFile) {
    Job.MaxSecondsForAllDownloads = 5;
    engine::TFileDownloadThread thread(Filter, MIMETable, Services());
    Prepare(thread);
    TTestResponse slow = MakeResponse(200, std::string(20000, 'n'));
    slow.PieceSize = 4000;
    // The job's time runs out once the client is inside the body.
    slow.BeforePiece = [&](std::size_t Piece) {
        if (Piece == 1 && WaitForState(thread, engine::dsReadingData)) ClockMs = 60000;
    };
    Server.Serve("/file.bin", slow);
    WriteFileText(Path("file.bin"), "old copy");

    const auto result = Download(thread, Server.URL("/file.bin"), Path("file.bin"));

    EXPECT_EQ(result.FilterResult, engine::dfJobTime);
    EXPECT_FALSE(result.ExceptionRaised) << result.ExceptionText;
    EXPECT_EQ(ReadFileText(Path("file.bin")), "old copy");
    ASSERT_TRUE(testsupport::FileExists(Path("file.bin") + ".part"));
    const std::string partial = ReadFileText(Path("file.bin") + ".part");
    EXPECT_GE(partial.size(), 4000u);
    EXPECT_LT(partial.size(), 20000u);
    EXPECT_EQ(partial, std::string(partial.size(), 'n'));
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
    Server.Serve("/file.bin", slow);
    web::TURL address;
    address.SetFullURL(Server.URL("/file.bin"));
    ASSERT_TRUE(thread.StartDownload(address, Path("file.bin"), -1, nullptr));
    ASSERT_TRUE(WaitForState(thread, engine::dsReadingData));
    thread.Stop();
    release.set_value();
    ASSERT_TRUE(WaitForState(thread, engine::dsFinished));
    const auto result = thread.CompleteData();

    EXPECT_TRUE(result.Stopped);
    EXPECT_FALSE(testsupport::FileExists(Path("file.bin")));
    EXPECT_TRUE(testsupport::FileExists(Path("file.bin") + ".part"));
}
