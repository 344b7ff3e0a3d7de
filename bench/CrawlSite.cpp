// Crawls a generated site of 10,000 pages (about ten links each, images,
// nested folders) served in-process on 127.0.0.1, and reports pages per
// second, CPU seconds per 1,000 pages and the peak resident memory.
//
// Usage: bench_CrawlSite [PAGES]

#include "engine/CopyEngine.h"
#include "jobs/PasswordMgr.h"
#include "jobs/SavedOptions.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputMsgQueue.h"
#include "web/StartingURL.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include <sys/resource.h>

namespace {

using namespace messaging;

std::string PagePath(int Page) { return "/d" + std::to_string(Page % 50) + "/s" + std::to_string(Page % 7) + "/p" + std::to_string(Page) + ".html"; }

// Page N links to ten pages spread over the site and embeds two of 200 images.
std::string PageBody(int Page, int Pages) {
    std::string body = "<html><head><title>p</title></head><body>";
    for (int k = 1; k <= 10; ++k)
        body += "<a href=\"" + PagePath((Page * 7 + k * 131) % Pages) + "\">link</a>\n";
    body += "<img src=\"/img/i" + std::to_string(Page % 200) + ".gif\"><img src=\"/img/i" +
            std::to_string((Page + 1) % 200) + ".gif\">";
    body += std::string(2000, ' ') + "</body></html>";
    return body;
}

// Stands in for the front end: takes every report out of the queue on its own
// thread and notes when the job has ended.
class TDrain final : public TSpiderOutputNotifier {
public:
    explicit TDrain(TSpiderOutputMessageQueue& Queue) : Queue(Queue), Worker([this] { Run(); }) {}
    ~TDrain() override {
        {
            std::lock_guard guard(Lock);
            Quit = true;
        }
        Changed.notify_all();
        Worker.join();
    }
    bool NotifySpiderOutput(std::uint32_t Label) override {
        {
            std::lock_guard guard(Lock);
            Labels.push_back(Label);
        }
        Changed.notify_all();
        return true;
    }
    void WaitForJobEnd() {
        std::unique_lock guard(Lock);
        Changed.wait(guard, [this] { return Ended; });
    }
    long Downloads = 0;

private:
    void Run() {
        TSpiderOutputMsg msg;
        std::unique_lock guard(Lock);
        for (;;) {
            Changed.wait(guard, [this] { return Quit || !Labels.empty(); });
            if (Quit) return;
            const auto label = Labels.front();
            Labels.pop_front();
            guard.unlock();
            const bool got = Queue.Retrieve(label, msg);
            guard.lock();
            if (got && msg.Kind == somDownloadEnded) ++Downloads;
            if (got && msg.Kind == somJobEnded) {
                Ended = true;
                Changed.notify_all();
            }
        }
    }
    TSpiderOutputMessageQueue& Queue;
    std::mutex Lock;                  // guards Labels, Quit, Ended and Downloads
    std::condition_variable Changed;  // a label arrived, the job ended, or quit
    std::deque<std::uint32_t> Labels;
    bool Quit = false;
    bool Ended = false;
    std::thread Worker;
};

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    const int pages = argc > 1 ? std::atoi(argv[1]) : 10000;
    ::unsetenv("http_proxy"), ::unsetenv("HTTP_PROXY"), ::unsetenv("https_proxy");
    httplib::Server server;
    server.set_tcp_nodelay(true);  // else every small answer waits for a delayed ACK
    server.set_keep_alive_timeout(1);  // so that stopping the server does not wait for idle connections
    server.Get(R"(/d\d+/s\d+/p(\d+)\.html)", [pages](const httplib::Request& request, httplib::Response& response) {
        response.set_content(PageBody(std::stoi(request.matches[1]), pages), "text/html");
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
        TDrain drain(output);
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
    std::printf("downloads: %ld (site: %d pages, 200 images)\n", downloads, pages);
    std::printf("time: %.2f s, %.0f pages per second\n", seconds, pages / seconds);
    std::printf("CPU (engine and in-process server): %.2f s, %.3f s per 1,000 pages\n", cpu, cpu * 1000 / pages);
    std::printf("peak resident memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
