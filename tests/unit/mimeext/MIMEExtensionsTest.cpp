#include "engine/MIMEExtensions.h"

#include <gtest/gtest.h>


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
