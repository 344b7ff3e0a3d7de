// Every kind of reference a browser loads, copied from the "refs" test site:
// each file is saved, and the saved page's or style sheet's reference, as
// rewritten, leads to it offline. Other schemes stay exactly as written.

#include "Crawl.h"

#include "unit/CaseTable.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

using testsupport::ReadFileText;

namespace {

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
    for (const auto& row : unittest::ReadCases("crawl/references.tsv", 3)) {
        const std::string file = engine.Local("/" + row[0]);
        const std::string text = ReadFileText(file);
        if (!row.Flag(2)) {
            EXPECT_NE(text.find(row[1]), std::string::npos) << row.Where << " changed";
            continue;
        }
        const std::string reference = ReferenceTo(text, row[1]);
        if (reference.empty()) {
            ADD_FAILURE() << row.Where << " lost";
            continue;
        }
        EXPECT_EQ(reference.find(':'), std::string::npos)
            << row.Where << ": " << reference << " is no local path";
        const auto target =
            std::filesystem::weakly_canonical(std::filesystem::path(file).parent_path() /
                                              LocalPath(reference, !file.ends_with(".css")));
        EXPECT_TRUE(std::filesystem::is_regular_file(target))
            << row.Where << ": " << reference << " leads nowhere";
        EXPECT_EQ(target.string().rfind(copy.string(), 0), 0u)
            << row.Where << ": " << reference << " leaves the copy";
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
