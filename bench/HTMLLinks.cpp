// Link extraction and rewriting speed on generated pages dense with links.
// Run: build-folder/bench/bench_HTMLLinks (reports bytes_per_second).
#include "base/StringSink.h"
#include "web/CSSScanner.h"
#include "web/HTMLParser.h"
#include "web/LinkType.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
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

// About 1 KB of style sheet holds 6 addresses in several quoting forms,
// among selectors, declarations, strings and comments that hold none.
std::string MakeSheet(std::size_t Size) {
    std::string sheet = "@import url(base.css);\n@import \"print.css\" print;\n";
    for (std::size_t n = 0; sheet.size() < Size; ++n) {
        const std::string id = std::to_string(n);
        sheet += "/* section " + id + " */\n.item-" + id + " > a:hover, .menu li.entry-" + id +
                 " { color: #336699; margin: 0 auto 12px; font: 14px/1.4 \"Helvetica Neue\", sans-serif;"
                 " background: #fff url(img/bg-" + id + ".png) no-repeat 0 0; }\n"
                 ".icon-" + id + "::before { content: \"\\f00" + id.substr(0, 1) +
                 "\"; background-image: url('icons/" + id + ".svg'); }\n"
                 ".hero-" + id + " { background-image: image-set(\"hero-" + id + ".jpg\" 1x, url(hero-" + id +
                 "@2x.jpg) 2x); transition: opacity .3s ease-in-out; }\n"
                 "@font-face { font-family: f" + id + "; src: url(\"fonts/f" + id +
                 ".woff2\") format(\"woff2\"); font-display: swap; }\n";
    }
    sheet.resize(Size);
    return sheet;
}

const std::string& Sheet(std::size_t Size) {
    static std::map<std::size_t, std::string> sheets;
    auto& sheet = sheets[Size];
    if (sheet.empty()) sheet = MakeSheet(Size);
    return sheet;
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
    // The list keeps its room from page to page; its first fill is mostly
    // page faults of fresh memory and is left out.
    parser.GetLinksInHTMLText(page, PageURL, &links);
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
    parser.GetLinksInHTMLText(page, "", &links); // the first fill left out, as above
    for (auto _ : State) {
        parser.GetLinksInHTMLText(page, "", &links);
        benchmark::DoNotOptimize(links.Count());
    }
    State.counters["links"] = links.Count();
    SetThroughput(State, page.size());
}

// The CSS scanner alone: every address of a style sheet found.
void CSSScan(benchmark::State& State) {
    const std::string& sheet = Sheet(static_cast<std::size_t>(State.range(0)));
    std::size_t found = 0;
    for (auto _ : State) {
        found = web::FindCSSReferences(sheet).size();
        benchmark::DoNotOptimize(found);
    }
    State.counters["links"] = static_cast<double>(found);
    SetThroughput(State, sheet.size());
}

// What link extraction does with a saved style sheet: addresses recorded and resolved.
void CSSLinkExtraction(benchmark::State& State) {
    const std::string& sheet = Sheet(static_cast<std::size_t>(State.range(0)));
    web::THTMLParser parser;
    web::TWebLinkList links;
    for (auto _ : State) {
        parser.GetLinksInStyleSheetText(sheet, PageURL, &links);
        benchmark::DoNotOptimize(links.Count());
    }
    State.counters["links"] = links.Count();
    SetThroughput(State, sheet.size());
}

// The streaming splice alone, with fixed replacement texts.
void RewriteStream(benchmark::State& State) {
    const std::string& page = Page(static_cast<std::size_t>(State.range(0)));
    web::THTMLParser parser;
    web::TWebLinkList links;
    parser.GetLinksInHTMLText(page, PageURL, &links);
    const std::string replacement = "\"../local/page.html\"";
    std::string written;
    for (auto _ : State) {
        written.clear();
        base::TStringSink outputBuffer(written);
        std::ostream output(&outputBuffer);
        auto result = web::ReplaceLinkTexts(
            page, output, links,
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
        parser.GetLinksInHTMLText(page, PageURL, &links);
        State.ResumeTiming();
        benchmark::DoNotOptimize(parser.ReplaceLinksInFile(file, page, PageURL, options, links));
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
BENCHMARK(CSSScan)->Arg(OneMB)->Arg(TwentyMB)->Unit(benchmark::kMillisecond);
BENCHMARK(CSSLinkExtraction)->Arg(OneMB)->Unit(benchmark::kMillisecond);
BENCHMARK(RewriteStream)->Arg(OneMB)->Arg(TwentyMB)->Unit(benchmark::kMillisecond);
BENCHMARK(RewriteFile)->Arg(OneMB)->Arg(TwentyMB)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
