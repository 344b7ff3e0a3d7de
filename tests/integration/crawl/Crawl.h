#pragma once

// A whole copy engine for crawl tests, with its own data and destination
// folders, running one job after another.

#include "web/StartingURL.h"
#include "support/EngineUnderTest.h"
#include "support/TempDir.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

using Records = std::vector<testsupport::TOutputRecorder::TRecord>;

constexpr auto Patience = std::chrono::seconds(30);

// The data folder is chosen before the engine starts and outlives it.
struct TCrawlDataFolder {
    TCrawlDataFolder() { ::setenv("HARVEXIS_DATA_DIR", Data.Path().c_str(), 1); }
    testsupport::TTempDir Data;
};

struct TCrawl : TCrawlDataFolder, testsupport::TEngineUnderTest {
    explicit TCrawl(engine::TDownloadThreadServices Downloads = {}) : TEngineUnderTest(std::move(Downloads)) {}
    // The spider stops before the destination folder goes.
    ~TCrawl() { Stop(); }

    jobs::TCopyJob Job(const std::string& StartURL) const {
        jobs::TCopyJob job;
        job.Reset();
        job.SetDestinationFolder(Dest.Path());
        EXPECT_TRUE(web::SetStartingURL(job, StartURL)) << StartURL;
        job.AssumeWWWWhenNoThirdLevelDomain = false;
        job.DownloadOptions.Timeout = 10000;
        job.DownloadOptions.ConnectRetries = 0;
        return job;
    }
    // Starts Job as the next job number; that number.
    std::int32_t Begin(jobs::TCopyJob Job) {
        Job.PrepareForRun();
        Start(Job, ++JobNumber);
        return JobNumber;
    }
    // Runs Job to its end; the outcome (0 when it never ended).
    int Run(const jobs::TCopyJob& Job) { return WaitForEnd(Begin(Job), Patience); }

    std::string Local(const std::string& Path) const { return Dest.Path() + "/127.0.0.1" + Path; }
    Records Of(std::uint8_t Kind) const {
        Records found;
        for (auto& record : Recorder.Records())
            if (record.Msg.Kind == Kind) found.push_back(record);
        return found;
    }
    // Paths of the downloads that went ahead, sorted.
    std::vector<std::string> DownloadedPaths() const {
        std::vector<std::string> paths;
        for (const auto& record : Of(messaging::somDownloadEnded))
            if (!record.Msg.FileDownload.Results.Filtered)
                paths.push_back(record.Msg.FileDownload.Address.GetUrlPath());
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    // The end report of the last download of Address (its plain form).
    messaging::TFileDownloadMsg Ended(const std::string& Address) const {
        messaging::TFileDownloadMsg found;
        for (const auto& record : Of(messaging::somDownloadEnded))
            if (record.Msg.FileDownload.Address.GetURL(false, true, true, true, false) == Address)
                found = record.Msg.FileDownload;
        EXPECT_TRUE(found.Address.IsValid()) << "no download of " << Address;
        return found;
    }
    // Waits for the first report of Kind about Path.
    bool WaitForReport(std::uint8_t Kind, const std::string& Path, messaging::TSpiderOutputMsg* Found = nullptr) {
        return Recorder.WaitFor(
            [&](const Records& All) {
                for (const auto& record : All)
                    if (record.Msg.Kind == Kind && (Path.empty() || record.Msg.FileDownload.Address.GetUrlPath() == Path)) {
                        if (Found) *Found = record.Msg;
                        return true;
                    }
                return false;
            },
            Patience);
    }

    testsupport::TTempDir Dest;
    std::int32_t JobNumber = 0;
};
