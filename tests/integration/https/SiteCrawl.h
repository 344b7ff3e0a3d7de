#pragma once

// A whole engine for crawl tests of the network paths: queues, filter, MIME
// table and spider thread with given download services, and a front end that
// keeps every download's end report.
#include "engine/DownloadFilter.h"
#include "engine/MIMEExtensions.h"
#include "engine/SpiderThread.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputMsgQueue.h"
#include "messaging/SpiderOutputSplitter.h"
#include "support/OutputQueueDrain.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class TSiteCrawl {
public:
    explicit TSiteCrawl(engine::TDownloadThreadServices Downloads = {}) {
        ::setenv("HARVEXIS_DATA_DIR", Data.Path().c_str(), 1);
        EXPECT_TRUE(Recorder.Subscribe(Splitter, messaging::SpiderOutputKindRange(1, 22)));
        Spider = std::make_unique<engine::TSpiderThread>(
            engine::TSpiderServices{&Input, &Output, &Filter, &MIMETable, std::move(Downloads)});
        Spider->Resume();
    }
    ~TSiteCrawl() {
        Spider.reset();
        Output.SetDestinationWindow(nullptr);
    }

    // A job from Start into this crawl's folder, restricted to nothing but its protocols.
    jobs::TCopyJob Job(const std::string& Start) const {
        jobs::TCopyJob job;
        job.Reset();
        job.SetDestinationFolder(Dest.Path());
        EXPECT_TRUE(job.StartingWebAddress.SetFullURL(Start)) << Start;
        job.AssumeWWWWhenNoThirdLevelDomain = false;
        job.RestrictLocation = jobs::lrAnywhere;
        job.DownloadOptions.Timeout = 10000;
        job.DownloadOptions.ConnectRetries = 0;
        job.PrepareForRun();
        return job;
    }

    // Runs Job to its end with the proxy records; the outcome (0 when it never ended).
    int Run(const jobs::TCopyJob& Job, const jobs::TProxyServerInfo& HTTPProxy = NoProxy(),
            const jobs::TProxyServerInfo& FTPProxy = NoProxy()) {
        const std::int32_t number = ++JobNumber;
        messaging::TSpiderInputMsg msg;
        msg.Kind = messaging::simStartJob;
        msg.JobNumber = number;
        msg.Job = Job;
        msg.HTTPProxy = HTTPProxy;
        msg.FTPProxy = FTPProxy;
        EXPECT_TRUE(Input.Post(msg));
        int outcome = 0;
        Recorder.WaitFor(
            [&](const std::vector<TOutputRecorder::TRecord>& Records) {
                for (const auto& record : Records)
                    if (record.Msg.Kind == messaging::somJobEnded && record.Msg.JobNumber == number)
                        outcome = record.Msg.Status;
                return outcome != 0;
            },
            std::chrono::seconds(60));
        return outcome;
    }

    // The end report of the last download of Address (its plain form).
    messaging::TFileDownloadMsg Ended(const std::string& Address) const {
        messaging::TFileDownloadMsg found;
        for (const auto& record : Recorder.Records())
            if (record.Msg.Kind == messaging::somDownloadEnded &&
                record.Msg.FileDownload.Address.GetURL(false, true, true, true, false) == Address)
                found = record.Msg.FileDownload;
        EXPECT_TRUE(found.Address.IsValid()) << "no download of " << Address;
        return found;
    }

    std::size_t EndedCount() const {
        std::size_t count = 0;
        for (const auto& record : Recorder.Records())
            if (record.Msg.Kind == messaging::somDownloadEnded) ++count;
        return count;
    }

    static jobs::TProxyServerInfo NoProxy() {
        jobs::TProxyServerInfo none;
        none.UseProxyServer = false;
        return none;
    }

    TTempDir Data;
    TTempDir Dest;

private:
    messaging::TSpiderInputMessageQueue Input;
    messaging::TSpiderOutputMessageQueue Output;
    messaging::TSpiderOutputSplitter Splitter{Output};
    TOutputQueueDrain Drain{Output, Splitter};
    TOutputRecorder Recorder;
    engine::TDownloadFilter Filter;
    engine::TMIMEExtensionsTable MIMETable;
    std::unique_ptr<engine::TSpiderThread> Spider;
    std::int32_t JobNumber = 0;
};

} // namespace testsupport
