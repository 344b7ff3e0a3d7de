// Generated static sites for benchmarks that compare whole-site copiers on
// the same site.
//
// Usage: bench_SiteGenerator pages FOLDER PAGES          (linked pages, images, a style sheet)
//        bench_SiteGenerator refused-links FOLDER PAGES  (pages full of links a copier must refuse)

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string PagePath(int Page) {
    return "/d" + std::to_string(Page % 50) + "/s" + std::to_string(Page % 7) + "/p" + std::to_string(Page) + ".html";
}

// Page N links to the next page and to ten pages spread over the site, and
// embeds two of 200 images and the style sheet.
std::string PageBody(int Page, int Pages) {
    std::string body = "<html><head><title>Page " + std::to_string(Page) +
                       "</title><link rel=\"stylesheet\" href=\"/style.css\"></head><body>\n";
    body += "<a href=\"" + PagePath((Page + 1) % Pages) + "\">next</a>\n";
    for (int k = 1; k <= 10; ++k) body += "<a href=\"" + PagePath((Page * 7 + k * 131) % Pages) + "\">link</a>\n";
    body += "<img src=\"/img/i" + std::to_string(Page % 200) + ".gif\"><img src=\"/img/i" +
            std::to_string((Page + 1) % 200) + ".gif\">\n";
    return body + std::string(2000, ' ') + "</body></html>\n";
}

bool Write(const std::filesystem::path& File, const std::string& Text) {
    std::filesystem::create_directories(File.parent_path());
    std::ofstream out(File, std::ios::binary);
    out << Text;
    return static_cast<bool>(out);
}

// The start page links to the first ten pages.
bool WriteIndex(const std::filesystem::path& Root, int Pages, std::string (*Path)(int)) {
    std::string index = "<html><body>\n";
    for (int i = 0; i < 10 && i < Pages; ++i) index += "<a href=\"" + Path(i) + "\">start " + std::to_string(i) + "</a>\n";
    return Write(Root / "index.html", index + "</body></html>\n");
}

int GeneratePages(const std::string& Folder, int Pages) {
    const std::filesystem::path root(Folder);
    if (!WriteIndex(root, Pages, PagePath)) return 1;
    if (!Write(root / "style.css", "body { font-family: sans-serif; }\n")) return 1;
    for (int i = 0; i < 200; ++i)
        if (!Write(root / ("img/i" + std::to_string(i) + ".gif"), "GIF89a" + std::string(500 + i, 'x'))) return 1;
    for (int i = 0; i < Pages; ++i)
        if (!Write(root / PagePath(i).substr(1), PageBody(i, Pages))) return 1;
    return 0;
}

std::string RefusedSitePath(int Page) { return "/r" + std::to_string(Page % 40) + "/p" + std::to_string(Page) + ".html"; }

// Page N links to five other pages and to sixty addresses that a copier must
// refuse: other schemes, and other hosts. Every host name is fictitious (under
// .test or .invalid), so that nothing could ever be asked of a real one.
std::string RefusedLinksPage(int Page, int Pages) {
    static const char* const Refused[] = {
        "mailto:user%d@mail.test",     "tel:+1555%07d",        "javascript:show(%d)",
        "data:text/plain,link%d",      "file:///srv/share/f%d.txt", "ftp://files.invalid/pub/f%d.zip",
        "https://www%d.elsewhere.test/page.html",
    };
    constexpr int RefusedKinds = sizeof Refused / sizeof *Refused;
    std::string body = "<html><head><title>Page " + std::to_string(Page) + "</title></head><body>\n";
    for (int k = 1; k <= 5; ++k) body += "<a href=\"" + RefusedSitePath((Page + k * 37) % Pages) + "\">page</a>\n";
    char link[128];
    for (int k = 0; k < 60; ++k) {
        std::snprintf(link, sizeof link, Refused[k % RefusedKinds], Page * 60 + k);
        body += "<a href=\"" + std::string(link) + "\">refused</a>\n";
    }
    return body + "</body></html>\n";
}

int GenerateRefusedLinks(const std::string& Folder, int Pages) {
    const std::filesystem::path root(Folder);
    if (!WriteIndex(root, Pages, RefusedSitePath)) return 1;
    for (int i = 0; i < Pages; ++i)
        if (!Write(root / RefusedSitePath(i).substr(1), RefusedLinksPage(i, Pages))) return 1;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const int pages = argc == 4 ? std::atoi(argv[3]) : 0;
    if (mode == "pages" && pages > 0) return GeneratePages(argv[2], pages);
    if (mode == "refused-links" && pages > 0) return GenerateRefusedLinks(argv[2], pages);
    std::fputs("Usage: bench_SiteGenerator pages|refused-links FOLDER PAGES\n", stderr);
    return 2;
}
