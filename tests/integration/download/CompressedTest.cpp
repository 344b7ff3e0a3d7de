// Compressed answers: saved decoded, measured by their decoded size, bounded.

#include "support/DownloadFixture.h"

#include "support/ContentCoding.h"

using testsupport::ContentCoded;
using testsupport::MakeResponse;
using testsupport::ReadFileText;
using testsupport::TTestResponse;

namespace {

using Compressed = testsupport::TDownloadFixture;

} // namespace

TEST_F(Compressed, BodiesAreSavedDecodedAndStoppedWithoutAFileBeyondTheirBound) {
    struct TRow {
        const char* Name;
        std::string Coding;
        std::string Plain;
        std::int32_t MinFileSize;  // -1: none
        std::int32_t MaxFileSize;  // -1: none
        std::int64_t DecodedBound;
        bool Saved;
    };
    const std::string page = "<html>" + std::string(20000, 'p') + "</html>";
    const std::string bomb(16 << 20, '\0');
    const TRow rows[] = {
        {"gzip page", "gzip", page, -1, -1, 1 << 20, true},
        {"deflate page", "deflate", page, -1, -1, 1 << 20, true},
        {"encoded length below the minimum", "gzip", page, 10000, -1, 1 << 20, true},
        {"bomb at the default bound", "gzip", bomb, -1, -1, 1 << 20, false},
        {"bomb at the job's limit", "gzip", bomb, -1, 1 << 20, std::int64_t{1} << 30, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        std::remove(Path("page.html").c_str());
        Job.MinFileSize = row.MinFileSize;
        Job.MaxFileSize = row.MaxFileSize;
        // In one piece of known length, which the test server sends as it is.
        TTestResponse answer = MakeResponse(200, ContentCoded(row.Plain, row.Coding),
                                            {{"Content-Encoding", row.Coding}, {"ETag", "\"v1\""}});
        answer.PieceSize = answer.Body.size();
        Server.Serve("/page.html", answer);
        Server.ClearRequests();
        auto services = Services();
        services.MaxDecodedSize = row.DecodedBound;
        engine::TFileDownloadThread thread(Filter, MIMETable, std::move(services));
        Prepare(thread);

        const auto result = Download(thread, Server.URL("/page.html"), Path("page.html"));

        EXPECT_EQ(result.FilterResult, row.Saved ? engine::dfPassed : engine::dfFileSize);
        EXPECT_EQ(testsupport::FileExists(Path("page.html")), row.Saved);
        if (row.Saved) {
            EXPECT_EQ(ReadFileText(Path("page.html")), row.Plain);
        }
        EXPECT_FALSE(testsupport::FileExists(Path("page.html#part")));
        EXPECT_FALSE(testsupport::FileExists(Path("page.html#validator")));
        EXPECT_EQ(thread.Slot(0).Progress().ExpectedSize, 0) << "the encoded length is not the file's";
        EXPECT_NE(Server.RequestsFor("/page.html").at(0).Header("Accept-Encoding").find(row.Coding),
                  std::string::npos);
    }
}
