#include "engine/MIMEExtensions.h"

#include <gtest/gtest.h>

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
