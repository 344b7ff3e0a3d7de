#pragma once

#include "engine/DownloadFilter.h"
#include "engine/InternetClient.h"
#include "engine/DownloadThread.h"
#include "engine/MIMEExtensions.h"
#include "support/TempDir.h"
#include "support/TestWebServer.h"
#include "web/StartingURL.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>

namespace testsupport {

// One download thread with its own filter (on a clock the test moves), MIME
// table and cookie jar, downloading from a local test server into a
// temporary folder.
class TDownloadFixture : public ::testing::Test {
protected:
    TDownloadFixture() {
        ::setenv("HARVEXIS_DATA_DIR", DataFolder.Path().c_str(), 1);
        Job.Reset();
        Job.SetDestinationFolder(Folder.Path());
        Job.RestrictLocation = jobs::lrAnywhere;
        Job.MaxDistance = -1;
        Job.DownloadHTTPS = true;
        web::SetStartingURL(Job, Server.URL("/"));
        Options.HTTPProxy.UseProxyServer = false;
        Options.FTPProxy.UseProxyServer = false;
        Options.JobOptions.HTTPAgentName = "HarvexisTest/1.0";
        Options.JobOptions.Timeout = 5000;
        Options.JobOptions.ConnectRetries = 0;
        Options.JobOptions.UpdateOldFiles = true;
        Options.JobOptions.AddFileExtensions = false;
    }

    // Starts a run: the filter takes the job and the thread the options.
    void Prepare(engine::TFileDownloadThread& Thread) {
        Filter.SetJob(Job, true, true);
        MIMETable.SetEnabled(Options.JobOptions.AddFileExtensions);
        Thread.SetOptions(Options);
    }

    engine::TDownloadThreadServices Services(engine::TInternetClientSettings Settings = {}) {
        engine::TDownloadThreadServices services;
        services.Cookies = &Cookies;
        services.ClientSettings = std::move(Settings);
        services.StateChanged = [this] {
            {
                std::lock_guard guard(EventLock);
                ++Events;
            }
            EventSignal.notify_all();
        };
        return services;
    }

    // Runs one download to its end and collects the result.
    engine::TFileDownloadCompleteData Download(engine::TFileDownloadThread& Thread,
                                               const std::string& URL, const std::string& File,
                                               std::int32_t Distance = -1,
                                               const web::TURL* Referrer = nullptr) {
        web::TURL address;
        EXPECT_TRUE(address.SetFullURL(URL)) << URL;
        EXPECT_TRUE(Thread.StartDownload(0, address, File, Distance, Referrer));
        EXPECT_TRUE(WaitForState(Thread, engine::dsFinished)) << "download of " << URL << " hangs";
        engine::TFileDownloadCompleteData result = Thread.Slot(0).CompleteData();
        Thread.MarkIdle(0);
        return result;
    }

    engine::TFileDownloadCompleteData Download(const std::string& Target, const std::string& File) {
        engine::TFileDownloadThread thread(Filter, MIMETable, Services());
        Prepare(thread);
        auto result = Download(thread, Server.URL(Target), File);
        LastProgress = thread.Slot(0).Progress();
        return result;
    }

    bool WaitForState(engine::TFileDownloadThread& Thread, engine::TFileDownloadState State, int Slot = 0) {
        std::unique_lock guard(EventLock);
        return EventSignal.wait_for(guard, std::chrono::seconds(20),
                                    [&] { return Thread.Slot(Slot).State() == State; });
    }

    std::string Path(const std::string& Name) const { return Folder.File(Name); }

    static std::time_t ModificationTime(const std::string& File) {
        struct stat info {};
        ::stat(File.c_str(), &info);
        return info.st_mtime;
    }

    static void SetModificationTime(const std::string& File, std::time_t Time) {
        const timespec times[2] = {{Time, 0}, {Time, 0}};
        ::utimensat(AT_FDCWD, File.c_str(), times, 0);
    }

    TTempDir DataFolder;
    TTempDir Folder;
    TTestWebServer Server;
    std::atomic<std::int64_t> ClockMs{0};  // the filter's clock: moved only by the test
    const std::chrono::steady_clock::time_point ClockBase = std::chrono::steady_clock::now();
    engine::TDownloadFilter Filter{
        [this] { return ClockBase + std::chrono::milliseconds(ClockMs.load()); }};
    engine::TMIMEExtensionsTable MIMETable;
    engine::TCookieStore Cookies;
    jobs::TCopyJob Job;
    jobs::TDownloadOptions Options;
    engine::TFileDownloadInProgressData LastProgress;

    std::mutex EventLock;  // guards Events
    std::condition_variable EventSignal;  // signalled when a thread's State changes
    int Events = 0;
};

} // namespace testsupport
