#include "support/DownloadFixture.h"

#include "support/TestProxy.h"
#include "support/TraceLogCapture.h"

namespace {

class ConnectRetries : public testsupport::TDownloadFixture {};

} // namespace

TEST_F(ConnectRetries, RefusedConnectionIsTriedAgainAsOftenAsTheJobSays) {
    struct TRow {
        const char* Scheme;
        int Retries;
    };
    const TRow rows[] = {{"http", 0}, {"http", 2}, {"ftp", 3}};
    Job.DownloadFTP = true;
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.Scheme) + " " + std::to_string(row.Retries));
        testsupport::TTraceLogCapture trace;
        Options.JobOptions.ConnectRetries = row.Retries;
        engine::TFileDownloadThread thread(Filter, MIMETable, Services());
        Prepare(thread);
        const std::string url =
            std::string(row.Scheme) + "://127.0.0.1:" + std::to_string(testsupport::ClosedLoopbackPort()) + "/file.txt";

        const auto result = Download(thread, url, Path("file.txt"));

        EXPECT_TRUE(result.HaveOsError);
        EXPECT_EQ(result.OsError, engine::InternetErrorCode(CURLE_COULDNT_CONNECT));
        EXPECT_EQ(trace.CountRows("connect retry"), static_cast<std::size_t>(row.Retries));
        if (row.Retries > 0)
            EXPECT_EQ(trace.CountRows("connect retry " + std::to_string(row.Retries) + " of " +
                                      std::to_string(row.Retries)),
                      1u);
        EXPECT_FALSE(testsupport::FileExists(Path("file.txt")));
    }
}
