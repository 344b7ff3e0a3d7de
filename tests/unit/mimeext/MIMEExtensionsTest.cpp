#include "engine/MIMEExtensions.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using engine::TMIMEExtensionsTable;

TEST(MIMEExtensionsTable, AddsTheExtensionAContentTypeCallsFor) {
    const struct { const char *Name, *Type, *Result; } rows[] = {
        {"/d/s/page.asp", "text/html; charset=utf-8", "/d/s/page.asp.htm"},
        {"/d/s/page.Htm", "text/html", "/d/s/page.Htm"},
        {"/d/s/pic", "image/jpeg", "/d/s/pic.jpg"},
        {"/d/s/pic2", "image/pjpeg", "/d/s/pic2"},
        {"/d/s/pic3", "image/jpeg; q=1", "/d/s/pic3"},
        {"/d/s/anim.php", "Image/GIF", "/d/s/anim.php.gif"},
        {"/d/s.png/i", "image/png", "/d/s.png/i.png"}, // the dot belongs to a folder
    };
    TMIMEExtensionsTable table;
    for (const auto& row : rows) EXPECT_EQ(table.TransformFilename(row.Name, row.Type), row.Result) << row.Name;
    for (const auto& row : rows) EXPECT_EQ(table.LookUp(row.Name), row.Result) << row.Name;
}

// Rewriting looks names up after the download: a name once extended keeps
// that extension, whatever type a later answer names.
TEST(MIMEExtensionsTable, GivesARecordedNameTheSameExtensionWhateverTheType) {
    TMIMEExtensionsTable table;
    EXPECT_EQ(table.TransformFilename("/d/pic", "image/jpeg"), "/d/pic.jpg");
    EXPECT_EQ(table.TransformFilename("/d/pic", "text/html"), "/d/pic.jpg");
    EXPECT_EQ(table.TransformFilename("/D/PIC", "image/png"), "/D/PIC.jpg");
    EXPECT_EQ(table.LookUp("/D/Pic"), "/D/Pic.jpg");
    // A name left unchanged is not recorded: a later type still counts.
    EXPECT_EQ(table.TransformFilename("/d/a.gif", "image/gif"), "/d/a.gif");
    EXPECT_EQ(table.TransformFilename("/d/a.gif", "text/html"), "/d/a.gif.htm");
    table.SetEnabled(false);
    EXPECT_EQ(table.LookUp("/d/pic"), "/d/pic");
    EXPECT_EQ(table.TransformFilename("/d/x.asp", "text/html"), "/d/x.asp");
    table.SetEnabled(true);
    table.Clear();
    EXPECT_EQ(table.TransformFilename("/d/pic", "image/gif"), "/d/pic.gif");
}

// Four download threads extend names at once while rewriting looks them up:
// each name must gain exactly one extension, the same for every caller.
TEST(MIMEExtensionsTable, AgreesAcrossThreads) {
    TMIMEExtensionsTable table;
    constexpr int names = 2000;
    const char* types[] = {"text/html", "image/gif", "image/jpeg", "image/png"};
    std::vector<std::vector<std::string>> results(5, std::vector<std::string>(names));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < names; ++i) {
                const int n = (i * 7 + t * 13) % names;
                results[t][n] = table.TransformFilename("/d/f" + std::to_string(n), types[(n + t) % 4]);
            }
        });
    threads.emplace_back([&] {
        for (int i = 0; i < names; ++i) results[4][i] = table.LookUp("/d/f" + std::to_string(i));
    });
    for (auto& thread : threads) thread.join();
    for (int n = 0; n < names; ++n) {
        const std::string name = "/d/f" + std::to_string(n), final = table.LookUp(name);
        ASSERT_NE(final, name) << n;
        for (int t = 0; t < 4; ++t) EXPECT_EQ(results[t][n], final) << n;
        EXPECT_TRUE(results[4][n] == name || results[4][n] == final) << n;
    }
}
