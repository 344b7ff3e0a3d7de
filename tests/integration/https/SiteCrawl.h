#pragma once

// A whole engine for crawl tests of the network paths, with given download
// services, its own data folder and one job after another.
#include "support/EngineUnderTest.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// The data folder is chosen before the engine starts and outlives it.
struct TCrawlDataFolder {
    TCrawlDataFolder() { ::setenv("HARVEXIS_DATA_DIR", Data.Path().c_str(), 1); }
    TTempDir Data;
};

class TSiteCrawl : public TCrawlDataFolder, public TEngineUnderTest {
public:
    explicit TSiteCrawl(engine::TDownloadThreadServices Downloads = {})
        : TEngineUnderTest(std::move(Downloads)) {}
    // The spider stops before the destination folder goes.
    ~TSiteCrawl() { Stop(); }

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
        Start(Job, number, HTTPProxy, FTPProxy);
        return WaitForEnd(number);
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

    TTempDir Dest;

private:
    std::int32_t JobNumber = 0;
};

} // namespace testsupport
