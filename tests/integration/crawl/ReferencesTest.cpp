// Every kind of reference a browser loads, copied from the "refs" test site:
// each file is saved, and the saved page's or style sheet's reference, as
// rewritten, leads to it offline. Other schemes stay exactly as written.

#include "Crawl.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

using testsupport::ReadFileText;

namespace {

struct TReference {
    const char* File;   // the page or sheet holding the reference, below the site
    const char* Marker; // the referred file's name (letter case aside), or text kept as written
    bool Saved;         // false: Marker must stay in File exactly as written
};

constexpr TReference References[] = {
    {"k/a-href.html", "a-href.html", true},
    {"k/a-fragment.html", "a-fragment.html", true},
    {"k/a-root.html", "a-root.html", true},
    {"k/a-absolute.html", "a-absolute.html", true},
    {"k/a-unquoted.html", "a-unquoted.html", true},
    {"k/a-entity.html", "a-entity.html", true},
    {"k/area-href.html", "area-href.html", true},
    {"k/iframe-src.html", "iframe-src.html", true},
    {"k/frame-src.html", "frame-src.html", true},
    {"k/img-src.html", "img-src.gif", true},
    {"k/img-upper.html", "img-upper.gif", true},
    {"k/img-lowsrc.html", "img-lowsrc.gif", true},
    {"k/img-lowsrc.html", "img-lowsrc-src.gif", true},
    {"k/img-srcset-x.html", "srcset-x0.gif", true},
    {"k/img-srcset-x.html", "srcset-x1.gif", true},
    {"k/img-srcset-x.html", "srcset-x2.gif", true},
    {"k/img-srcset-w.html", "srcset-w1.gif", true},
    {"k/img-srcset-w.html", "srcset-w2.gif", true},
    {"k/img-srcset-comma.html", "srcset,comma.gif", true},
    {"k/img-srcset-comma.html", "srcset-after.gif", true},
    {"k/picture-source.html", "source-srcset.gif", true},
    {"k/picture-source.html", "picture-img.gif", true},
    {"k/img-data-src.html", "data-src.gif", true},
    {"k/img-data-src.html", "data-src-placeholder.gif", true},
    {"k/img-data-srcset.html", "data-srcset1.gif", true},
    {"k/img-data-srcset.html", "data-srcset2.gif", true},
    {"k/video.html", "video-poster.gif", true},
    {"k/video.html", "video-src.mp4", true},
    {"k/video.html", "track-src.vtt", true},
    {"k/video.html", "video-source.webm", true},
    {"k/audio.html", "audio-src.ogg", true},
    {"k/object-data.html", "object-data.svg", true},
    {"k/embed-src.html", "embed-src.swf", true},
    {"k/svg-image.html", "svg-image.gif", true},
    {"k/svg-xlink.html", "svg-xlink.gif", true},
    {"k/svg-use.html", "svg-use.svg", true},
    {"k/input-image.html", "input-image.gif", true},
    {"k/body-background.html", "body-background.gif", true},
    {"k/body-background.html", "table-background.gif", true},
    {"k/body-background.html", "td-background.gif", true},
    {"k/script-src.html", "script-src.js", true},
    {"k/link-icon.html", "link-icon.gif", true},
    {"k/link-shortcut-icon.html", "link-shortcut.ico", true},
    {"k/link-preload.html", "link-preload.gif", true},
    {"k/link-modulepreload.html", "link-module.js", true},
    {"k/link-manifest.html", "link-manifest.json", true},
    {"k/refresh-url.html", "refresh-url.html", true},
    {"k/refresh-quoted.html", "refresh-quoted.html", true},
    {"k/refresh-spaces.html", "refresh-spaces.html", true},
    {"k/refresh-bare.html", "refresh-bare.html", true},
    {"k/base-relative.html", "base-relative.gif", true},
    {"k/base-absolute.html", "base-absolute.html", true},
    {"k/letter-case.html", "letter-case.gif", true},
    {"k/style-attr.html", "style-attr.gif", true},
    {"k/style-attr-quoted.html", "style-attr-q.gif", true},
    {"k/style-block.html", "style-block.gif", true},
    {"k/style-block-import.html", "block-import.css", true},
    {"k/link-stylesheet.html", "sheet.css", true},
    {"k/link-stylesheet.html", "alternate.css", true},
    {"css/sheet.css", "import-url.css", true},
    {"css/sheet.css", "import-string.css", true},
    {"css/sheet.css", "import-single.css", true},
    {"css/sheet.css", "css-bare.gif", true},
    {"css/sheet.css", "css-single.gif", true},
    {"css/sheet.css", "css-double.gif", true},
    {"css/sheet.css", "css-spaces.gif", true},
    {"css/sheet.css", "css-unquoted-spaces.gif", true},
    {"css/sheet.css", "image-set1.gif", true},
    {"css/sheet.css", "image-set2.gif", true},
    {"css/sheet.css", "webkit-set.gif", true},
    {"css/sheet.css", "font.woff2", true},
    {"css/sheet.css", "font.woff", true},
    {"css/sheet.css", "cursor.cur", true},
    {"css/sheet.css", "list-style.gif", true},
    {"css/sheet.css", "border-image.gif", true},
    {"css/sheet.css", "css-root.gif", true},
    {"css/sheet.css", "sprite.svg", true},
    {"css/sheet.css", "css-query.gif", true},
    {"css/sheet.css", "css-media.gif", true},
    {"css/import-url.css", "import-url.gif", true},
    {"css/import-string.css", "import-string.gif", true},
    {"css/import-single.css", "import-single.gif", true},
    {"css/alternate.css", "alternate.gif", true},
    {"css/block-import.css", "block-import.gif", true},
    {"k/schemes.html", "mailto:someone@site.test", false},
    {"k/schemes.html", "tel:+123456", false},
    {"k/schemes.html", "data:image/gif;base64,R0lGODlh", false},
    {"k/schemes.html", "javascript:void(0)", false},
    {"k/schemes.html", "canonical", false},
};

std::string Lower(std::string Text) {
    for (char& c : Text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return Text;
}

bool IsDelimiter(char C) {
    return C == '"' || C == '\'' || C == '(' || C == ')' || C == ',' || C == '=' || C == '#' ||
           std::isspace(static_cast<unsigned char>(C));
}

// The reference in Text that holds Marker: from the delimiter before it to
// the one after it ("=" only counts before the marker: a saved query's name holds one).
std::string ReferenceTo(const std::string& Text, const std::string& Marker) {
    const std::size_t at = Lower(Text).find(Lower(Marker));
    if (at == std::string::npos) return {};
    std::size_t start = at, end = at + Marker.size();
    while (start > 0 && !IsDelimiter(Text[start - 1]))
        --start;
    while (end < Text.size() && (Text[end] == '=' || !IsDelimiter(Text[end])))
        ++end;
    return Text.substr(start, end - start);
}

// The file name a browser reads from a link: "&amp;" in HTML and %XX decoded.
std::string LocalPath(std::string Reference, bool InHTML) {
    for (std::size_t at; InHTML && (at = Reference.find("&amp;")) != std::string::npos;)
        Reference.replace(at, 5, "&");
    std::string out;
    for (std::size_t i = 0; i < Reference.size(); ++i) {
        if (Reference[i] == '%' && i + 2 < Reference.size() &&
            std::isxdigit(static_cast<unsigned char>(Reference[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(Reference[i + 2]))) {
            out += static_cast<char>(std::stoi(Reference.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += Reference[i];
        }
    }
    return out;
}

} // namespace

TEST(References, EveryKindIsSavedAndLeadsToItsFileOffline) {
    testsupport::TTestWebServer server;
    server.ServeFolder(testsupport::SiteFolder("refs"));
    TCrawl engine;
    auto job = engine.Job(server.URL("/"));
    job.SaveQueryResults = true;
    ASSERT_EQ(engine.Run(job), messaging::joCompleted);

    const std::filesystem::path copy = std::filesystem::weakly_canonical(engine.Local("/"));
    for (const TReference& row : References) {
        const std::string file = engine.Local("/" + std::string(row.File));
        const std::string text = ReadFileText(file);
        if (!row.Saved) {
            EXPECT_NE(text.find(row.Marker), std::string::npos)
                << row.File << " changed " << row.Marker;
            continue;
        }
        const std::string reference = ReferenceTo(text, row.Marker);
        ASSERT_FALSE(reference.empty()) << row.File << " lost " << row.Marker;
        EXPECT_EQ(reference.find(':'), std::string::npos)
            << row.File << ": " << reference << " is no local path";
        const auto target =
            std::filesystem::weakly_canonical(std::filesystem::path(file).parent_path() /
                                              LocalPath(reference, !file.ends_with(".css")));
        EXPECT_TRUE(std::filesystem::is_regular_file(target))
            << row.File << ": " << reference << " leads nowhere";
        EXPECT_EQ(target.string().rfind(copy.string(), 0), 0u)
            << row.File << ": " << reference << " leaves the copy";
    }
}

TEST(References, AStyleSheetAndItsFilesKeepTheirPagesDistance) {
    testsupport::TTestWebServer server;
    server.ServeFolder(testsupport::SiteFolder("refs"));
    TCrawl engine;
    auto job = engine.Job(server.URL("/k/link-stylesheet.html"));
    job.MaxDistance = 0;
    ASSERT_EQ(engine.Run(job), messaging::joCompleted);
    for (const char* path :
         {"/css/sheet.css", "/css/import-url.css", "/f/css-bare.gif", "/f/import-url.gif"})
        EXPECT_TRUE(std::filesystem::exists(engine.Local(path))) << path;
}
