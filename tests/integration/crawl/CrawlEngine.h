#pragma once

// A whole copy engine for crawl tests, with a local web server and a record of
// when each download started and ended.

#include "support/EngineUnderTest.h"
#include "support/TempDir.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>

using Records = std::vector<testsupport::TOutputRecorder::TRecord>;

constexpr auto Patience = std::chrono::seconds(30);

struct TEngine : testsupport::TEngineUnderTest {
    // When the front end received a download's start or end.
    struct TTimedReport {
        std::uint8_t Kind = 0;
        std::string Path;
        std::chrono::steady_clock::time_point At;
    };

    testsupport::TTempDir Dest;
    testsupport::TTestWebServer Server;
    mutable std::mutex TimelineLock;  // guards Timeline, written on the front end's thread
    std::vector<TTimedReport> Timeline;

    TEngine() {
        using namespace messaging;
        EXPECT_TRUE(Splitter.RegisterForSpiderOutput(
            SpiderOutputKinds({somDownloadStarted, somDownloadEnded}), [this](const TSpiderOutputMsg& msg, std::uint32_t) {
                std::lock_guard guard(TimelineLock);
                Timeline.push_back({msg.Kind, msg.FileDownload.Address.GetUrlPath(), std::chrono::steady_clock::now()});
            }));
    }

    // The spider stops before the server and the timeline it may still use go.
    ~TEngine() { Stop(); }

    jobs::TCopyJob Job(const std::string& Start) const {
        jobs::TCopyJob job;
        job.Reset();
        job.SetDestinationFolder(Dest.Path());
        EXPECT_TRUE(job.StartingWebAddress.SetFullURL(Server.URL(Start)));
        job.AssumeWWWWhenNoThirdLevelDomain = false;
        job.PrepareForRun();
        return job;
    }
    int WaitForEnd(std::int32_t Number) { return TEngineUnderTest::WaitForEnd(Number, Patience); }
    std::string Local(const std::string& Path) const { return Dest.Path() + "/127.0.0.1" + Path; }
    Records Of(std::uint8_t Kind) const {
        Records found;
        for (auto& record : Recorder.Records())
            if (record.Msg.Kind == Kind) found.push_back(record);
        return found;
    }
    std::vector<std::string> DownloadedPaths() const {
        std::vector<std::string> paths;
        for (const auto& record : Of(messaging::somDownloadEnded))
            if (!record.Msg.FileDownload.Results.Filtered)
                paths.push_back(record.Msg.FileDownload.Address.GetUrlPath());
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    std::vector<TTimedReport> TimelineCopy() const {
        std::lock_guard guard(TimelineLock);
        return Timeline;
    }
};
