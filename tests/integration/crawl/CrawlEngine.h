#pragma once

// A whole copy engine of its own for crawl tests: queues, filter, MIME table,
// spider thread, a local web server and a front end that records every report.

#include "engine/DownloadFilter.h"
#include "engine/MIMEExtensions.h"
#include "engine/SpiderThread.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputMsgQueue.h"
#include "messaging/SpiderOutputSplitter.h"
#include "support/OutputQueueDrain.h"
#include "support/TempDir.h"
#include "support/TestWebServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>

using Records = std::vector<testsupport::TOutputRecorder::TRecord>;

constexpr auto Patience = std::chrono::seconds(30);

struct TEngine {
    // When the front end received a download's start or end.
    struct TTimedReport {
        std::uint8_t Kind = 0;
        std::string Path;
        std::chrono::steady_clock::time_point At;
    };

    testsupport::TTempDir Dest;
    testsupport::TTestWebServer Server;
    messaging::TSpiderInputMessageQueue Input;
    messaging::TSpiderOutputMessageQueue Output;
    messaging::TSpiderOutputSplitter Splitter{Output};
    testsupport::TOutputQueueDrain Drain{Output, Splitter};
    testsupport::TOutputRecorder Recorder;
    engine::TDownloadFilter Filter;
    engine::TMIMEExtensionsTable MIMETable;
    std::unique_ptr<engine::TSpiderThread> Spider;
    mutable std::mutex TimelineLock;  // guards Timeline, written on the front end's thread
    std::vector<TTimedReport> Timeline;

    TEngine() {
        using namespace messaging;
        EXPECT_TRUE(Recorder.Subscribe(Splitter, SpiderOutputKindRange(1, 22)));
        EXPECT_TRUE(Splitter.RegisterForSpiderOutput(
            SpiderOutputKinds({somDownloadStarted, somDownloadEnded}), [this](const TSpiderOutputMsg& msg, std::uint32_t) {
                std::lock_guard guard(TimelineLock);
                Timeline.push_back({msg.Kind, msg.FileDownload.Address.GetUrlPath(), std::chrono::steady_clock::now()});
            }));
        Spider = std::make_unique<engine::TSpiderThread>(
            engine::TSpiderServices{&Input, &Output, &Filter, &MIMETable, {}});
        Spider->Resume();
    }
    ~TEngine() {
        Spider.reset();
        Output.SetDestinationWindow(nullptr);
    }

    jobs::TCopyJob Job(const std::string& Start) const {
        jobs::TCopyJob job;
        job.Reset();
        job.SetDestinationFolder(Dest.Path());
        EXPECT_TRUE(job.StartingWebAddress.SetFullURL(Server.URL(Start)));
        job.AssumeWWWWhenNoThirdLevelDomain = false;
        job.PrepareForRun();
        return job;
    }
    void Start(const jobs::TCopyJob& Job, std::int32_t Number) {
        messaging::TSpiderInputMsg msg;
        msg.Kind = messaging::simStartJob;
        msg.JobNumber = Number;
        msg.Job = Job;
        ASSERT_TRUE(Input.Post(msg));
    }
    // Waits for the end of job Number and returns its outcome (0 when it never ended).
    int WaitForEnd(std::int32_t Number) {
        int outcome = 0;
        Recorder.WaitFor(
            [&](const Records& records) {
                for (const auto& record : records)
                    if (record.Msg.Kind == messaging::somJobEnded && record.Msg.JobNumber == Number)
                        outcome = record.Msg.Status;
                return outcome != 0;
            },
            Patience);
        return outcome;
    }
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
