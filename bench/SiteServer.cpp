// A generated static site and a file server for it on 127.0.0.1, for
// benchmarks that compare whole-site copiers on the same site.
//
// Usage: bench_SiteServer generate FOLDER PAGES
//        bench_SiteServer serve FOLDER      (prints the port, serves until stdin closes)

#include <httplib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

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

int Generate(const std::string& Folder, int Pages) {
    const std::filesystem::path root(Folder);
    std::string index = "<html><body>\n";
    for (int i = 0; i < 10 && i < Pages; ++i) index += "<a href=\"" + PagePath(i) + "\">start " + std::to_string(i) + "</a>\n";
    if (!Write(root / "index.html", index + "</body></html>\n")) return 1;
    if (!Write(root / "style.css", "body { font-family: sans-serif; }\n")) return 1;
    for (int i = 0; i < 200; ++i)
        if (!Write(root / ("img/i" + std::to_string(i) + ".gif"), "GIF89a" + std::string(500 + i, 'x'))) return 1;
    for (int i = 0; i < Pages; ++i)
        if (!Write(root / PagePath(i).substr(1), PageBody(i, Pages))) return 1;
    return 0;
}

int Serve(const std::string& Folder) {
    httplib::Server server;
    // Without it every small answer waits for the client's delayed acknowledgement.
    server.set_tcp_nodelay(true);
    if (!server.set_mount_point("/", Folder)) return 1;
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) return 1;
    std::printf("%d\n", port);
    std::fflush(stdout);
    std::thread listener([&] { server.listen_after_bind(); });
    std::string line;
    while (std::getline(std::cin, line)) {}
    server.stop();
    listener.join();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "generate" && argc == 4) return Generate(argv[2], std::atoi(argv[3]));
    if (mode == "serve" && argc == 3) return Serve(argv[2]);
    std::fputs("Usage: bench_SiteServer generate FOLDER PAGES | serve FOLDER\n", stderr);
    return 2;
}
