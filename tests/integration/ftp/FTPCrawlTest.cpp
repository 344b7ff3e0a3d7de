#include "integration/https/SiteCrawl.h"

#include "engine/DownloadFilter.h"
#include "queue/DownloadResultText.h"
#include "support/TestFtpServer.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>

using testsupport::TSiteCrawl;

TEST(FTPCrawl, FTPLinksOfAPageAreFollowedOnlyWhenTheJobAllowsFTP) {
    testsupport::TTestFtpServer ftp;
    ftp.AddFile("/pub/notes.txt", "notes over ftp", 1500000000);
    testsupport::TTestWebServer web;
    web.Serve("/", 200, "<a href=\"" + ftp.URL("/pub/notes.txt") + "\">notes</a>");
    for (const bool allowed : {true, false}) {
        SCOPED_TRACE(allowed ? "FTP allowed" : "FTP not allowed");
        ftp.ClearCommands();
        TSiteCrawl crawl;
        auto job = crawl.Job(web.URL("/"));
        job.DownloadFTP = allowed;

        EXPECT_EQ(crawl.Run(job), messaging::joCompleted);

        const auto ended = crawl.Ended(ftp.URL("/pub/notes.txt"));
        if (allowed) {
            EXPECT_FALSE(ended.Results.Filtered);
            EXPECT_EQ(ended.Results.StatusCode, 200);
            EXPECT_EQ(testsupport::ReadFileText(ended.LocalFile), "notes over ftp");
            EXPECT_EQ(ftp.CountCommands("RETR"), 1u);
        } else {
            EXPECT_TRUE(ended.Results.Filtered);
            EXPECT_EQ(ended.Results.FilterReason, engine::dfProtocol);
            EXPECT_EQ(queue::DownloadResultText(ended.Results, true), "Filtered: Protocol");
            EXPECT_TRUE(ftp.Commands().empty()) << "a refused address is not even connected to";
        }
    }
}
