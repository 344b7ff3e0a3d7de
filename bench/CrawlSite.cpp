// Crawls a generated site of 10,000 pages (about ten links each, images,
// nested folders) served in-process on 127.0.0.1, and reports pages per
// second, CPU seconds per 1,000 pages and the peak resident memory.
// REFUSED adds that many links per page which the job refuses (other
// schemes, protocols that are off), all different, none of them fetched.
//
// Usage: bench_CrawlSite [PAGES [REFUSED]]

#include "engine/CopyEngine.h"
#include "jobs/PasswordMgr.h"
#include "jobs/SavedOptions.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputMsgQueue.h"
#include "messaging/SpiderOutputSplitter.h"
#include "web/StartingURL.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include <sys/resource.h>

namespace {

using namespace messaging;

std::string PagePath(int Page) { return "/d" + std::to_string(Page % 50) + "/s" + std::to_string(Page % 7) + "/p" + std::to_string(Page) + ".html"; }

// Link K of page N to something the job refuses without fetching it.
std::string RefusedLink(int Page, int K) {
    static const char* const Prefixes[] = {"mailto:p",          "tel:+1555",       "javascript:go",
                                           "data:text/plain,",  "file:///tmp/p",   "ftp://ftp.other.test/p",
                                           "https://other.test/p"};
    return std::string(Prefixes[K % 7]) + std::to_string(Page) + "-" + std::to_string(K) + (K % 7 == 0 ? "@site.test" : "");
}

// Page N links to ten pages spread over the site and embeds two of 200 images.
std::string PageBody(int Page, int Pages, int Refused) {
    std::string body = "<html><head><title>p</title></head><body>";
    for (int k = 0; k < Refused; ++k) body += "<a href=\"" + RefusedLink(Page, k) + "\">x</a>\n";
    for (int k = 1; k <= 10; ++k)
        body += "<a href=\"" + PagePath((Page * 7 + k * 131) % Pages) + "\">link</a>\n";
    body += "<img src=\"/img/i" + std::to_string(Page % 200) + ".gif\"><img src=\"/img/i" +
            std::to_string((Page + 1) % 200) + ".gif\">";
    body += std::string(2000, ' ') + "</body></html>";
    return body;
}

// Stands in for the front end: subscribes to the kinds it counts and hands
// the reports to the splitter in batches on its own thread.
class TDrain final : public TSpiderOutputNotifier {
public:
    explicit TDrain(TSpiderOutputSplitter& Splitter) : Splitter(Splitter) {
        Splitter.RegisterForSpiderOutput(SpiderOutputKinds({somDownloadEnded, somJobEnded}),
                                         [this](const TSpiderOutputMsg& Msg, std::uint32_t) { Count(Msg); });
        Worker = std::thread([this] { Run(); });
    }
    ~TDrain() override {
        {
            std::lock_guard guard(Lock);
            Quit = true;
        }
        Changed.notify_all();
        Worker.join();
    }
    bool NotifySpiderOutput(std::uint32_t) override {
        {
            std::lock_guard guard(Lock);
            Notified = true;
        }
        Changed.notify_all();
        return true;
    }
    void WaitForJobEnd() {
        std::unique_lock guard(Lock);
        Changed.wait(guard, [this] { return Ended; });
    }
    long Downloads = 0;  // drain thread only until the job has ended

private:
    void Count(const TSpiderOutputMsg& Msg) {
        if (Msg.Kind == somDownloadEnded) ++Downloads;
        if (Msg.Kind != somJobEnded) return;
        std::lock_guard guard(Lock);
        Ended = true;
        Changed.notify_all();
    }
    void Run() {
        std::unique_lock guard(Lock);
        for (;;) {
            Changed.wait(guard, [this] { return Quit || Notified; });
            if (Quit) return;
            Notified = false;
            guard.unlock();
            Splitter.DeliverQueued();
            guard.lock();
        }
    }
    TSpiderOutputSplitter& Splitter;
    std::mutex Lock;                  // guards Notified, Quit and Ended
    std::condition_variable Changed;  // reports arrived, the job ended, or quit
    bool Notified = false;
    bool Quit = false;
    bool Ended = false;
    std::thread Worker;  // started once the subscription exists
};

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    const int pages = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int refused = argc > 2 ? std::atoi(argv[2]) : 0;
    ::unsetenv("http_proxy"), ::unsetenv("HTTP_PROXY"), ::unsetenv("https_proxy");
    httplib::Server server;
    server.set_tcp_nodelay(true);  // else every small answer waits for a delayed ACK
    server.set_keep_alive_timeout(1);  // so that stopping the server does not wait for idle connections
    server.Get(R"(/d\d+/s\d+/p(\d+)\.html)", [pages, refused](const httplib::Request& request, httplib::Response& response) {
        response.set_content(PageBody(std::stoi(request.matches[1]), pages, refused), "text/html");
    });
    server.Get(R"(/img/i\d+\.gif)", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(std::string(1500, 'G'), "image/gif");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::yield();

    const auto dest = std::filesystem::temp_directory_path() / ("harvexis-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dest);
    jobs::TSavedOptions settings;
    jobs::TPasswordManager passwords;
    double cpu = 0, seconds = 0;
    long downloads = 0;
    {
        engine::TCopyEngine copier(settings, passwords);
        TSpiderOutputMessageQueue& output = copier.Output();
        TDrain drain(copier.Splitter());
        output.SetDestinationWindow(&drain);
        copier.Resume();
        TSpiderInputMsg start;
        start.Kind = simStartJob;
        start.JobNumber = 1;
        start.Job.Reset();
        start.Job.SetDestinationFolder(dest.string());
        web::SetStartingURL(start.Job, "http://127.0.0.1:" + std::to_string(port) + PagePath(0));
        start.Job.RestrictLocation = jobs::lrAtServer;
        start.Job.MaxDistance = -1;
        start.Job.PrepareForRun();
        const double cpuBefore = CpuSeconds();
        const auto before = std::chrono::steady_clock::now();
        copier.Input().Post(start);
        drain.WaitForJobEnd();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
        cpu = CpuSeconds() - cpuBefore;
        downloads = drain.Downloads;
        copier.Terminate();
        output.SetDestinationWindow(nullptr);
    }
    server.stop();
    serving.join();
    std::filesystem::remove_all(dest);

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("downloads: %ld (site: %d pages, 200 images, %d refused links a page)\n", downloads, pages, refused);
    std::printf("time: %.2f s, %.0f pages per second\n", seconds, pages / seconds);
    std::printf("CPU (engine and in-process server): %.2f s, %.3f s per 1,000 pages\n", cpu, cpu * 1000 / pages);
    std::printf("peak resident memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
