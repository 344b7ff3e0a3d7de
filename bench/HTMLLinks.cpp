// Link extraction and rewriting speed on generated pages dense with links.
// Run: build-folder/bench/bench_HTMLLinks (reports bytes_per_second).
#include "web/HTMLParser.h"
#include "web/LinkType.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

constexpr const char* PageURL = "http://bench.test/site/index.html";

// About 1 KB of markup holds 12 links of several kinds; some tags carry none.
std::string MakePage(std::size_t Size) {
    std::string page = "<html><head><title>bench</title>"
                       "<link rel=stylesheet href='/css/site.css'></head><body>\n";
    for (std::size_t n = 0; page.size() < Size; ++n) {
        const std::string id = std::to_string(n);
        page += "<div class=\"row\"><p>Item " + id + " <a href=\"page/" + id + ".html\">link " +
                id + "</a> <img src='img/" + id + ".gif' alt=\"picture " + id + "\"> and " +
                "<a href=\"http://other.test/deep/path/" + id + ".htm?q=1&amp;r=2#frag\">away</a>" +
                "</p><!-- comment " + id + " --></div>\n";
    }
    page.resize(Size);
    return page;
}

const std::string& Page(std::size_t Size) {
    static std::map<std::size_t, std::string> pages;
    auto& page = pages[Size];
    if (page.empty()) page = MakePage(Size);
    return page;
}

void SetThroughput(benchmark::State& State, std::size_t Bytes) {
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) *
                            static_cast<std::int64_t>(Bytes));
}

// Tags alone: no list, so nothing is cut out or resolved.
void TagScan(benchmark::State& State) {
    const std::string& page = Page(static_cast<std::size_t>(State.range(0)));
    web::THTMLParser parser;
    for (auto _ : State)
        benchmark::DoNotOptimize(parser.GetLinksInHTMLText(page, PageURL, nullptr));
    SetThroughput(State, page.size());
}

// What link extraction does: every value cut out, recorded and resolved.
void LinkExtraction(benchmark::State& State) {
    const std::string& page = Page(static_cast<std::size_t>(State.range(0)));
    web::THTMLParser parser;
    web::TWebLinkList links;
    for (auto _ : State) {
        parser.GetLinksInHTMLText(page, PageURL, &links);
        benchmark::DoNotOptimize(links.Count());
    }
    State.counters["links"] = links.Count();
    SetThroughput(State, page.size());
}

// Values cut out and recorded but not resolved: the page's address is no
// address, so the resolving step (address parsing) has no base and stops.
void LinkScanUnresolved(benchmark::State& State) {
    const std::string& page = Page(static_cast<std::size_t>(State.range(0)));
    web::THTMLParser parser;
    web::TWebLinkList links;
    for (auto _ : State) {
        parser.GetLinksInHTMLText(page, "", &links);
        benchmark::DoNotOptimize(links.Count());
    }
    State.counters["links"] = links.Count();
    SetThroughput(State, page.size());
}

// The streaming splice alone, with fixed replacement texts.
void RewriteStream(benchmark::State& State) {
    const std::string& page = Page(static_cast<std::size_t>(State.range(0)));
    web::THTMLParser parser;
    web::TWebLinkList links;
    parser.GetLinksInHTMLText(page, PageURL, &links);
    const std::string replacement = "\"../local/page.html\"";
    for (auto _ : State) {
        std::istringstream input(page);
        std::ostringstream output;
        auto result = web::ReplaceLinkTexts(
            input, output, links,
            [&](const web::TWebLinkInfo&) -> std::optional<std::string> { return replacement; },
            nullptr);
        benchmark::DoNotOptimize(result);
    }
    SetThroughput(State, page.size());
}

// The writing half of a page rewrite as the job does it (the page is listed
// before the clock runs): every link is mapped to its local name and looked up
// on disk, and the new page goes through a synced temporary file.
void RewriteFile(benchmark::State& State) {
    const std::string& page = Page(static_cast<std::size_t>(State.range(0)));
    std::string folder =
        (std::filesystem::temp_directory_path() / "harvexis-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        State.SkipWithError("mkdtemp failed");
        return;
    }
    const std::string dest = folder + "/D";
    const std::string file = dest + "/bench.test/site/index.html";
    std::filesystem::create_directories(dest + "/bench.test/site/page");
    for (int n = 0; n < 1000; ++n)
        std::ofstream(dest + "/bench.test/site/page/" + std::to_string(n) + ".html") << "x";
    web::TLinkReplaceOptions options;
    options.DestinationPath = dest;
    web::THTMLParser parser;
    web::TWebLinkList links;
    for (auto _ : State) {
        State.PauseTiming();
        std::ofstream(file, std::ios::binary | std::ios::trunc) << page;
        parser.GetLinksInHTMLFile(file, PageURL, &links);
        State.ResumeTiming();
        benchmark::DoNotOptimize(parser.ReplaceLinksInFile(file, PageURL, options, links));
    }
    std::filesystem::remove_all(folder);
    SetThroughput(State, page.size());
}

constexpr std::int64_t OneMB = 1 << 20;
constexpr std::int64_t TwentyMB = 20 << 20;

} // namespace

BENCHMARK(TagScan)->Arg(OneMB)->Arg(TwentyMB)->Unit(benchmark::kMillisecond);
BENCHMARK(LinkScanUnresolved)->Arg(OneMB)->Arg(TwentyMB)->Unit(benchmark::kMillisecond);
BENCHMARK(LinkExtraction)->Arg(OneMB)->Arg(TwentyMB)->Unit(benchmark::kMillisecond);
BENCHMARK(RewriteStream)->Arg(OneMB)->Arg(TwentyMB)->Unit(benchmark::kMillisecond);
BENCHMARK(RewriteFile)->Arg(OneMB)->Arg(TwentyMB)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
