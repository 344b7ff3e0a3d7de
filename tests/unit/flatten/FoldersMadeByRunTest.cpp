#include "engine/FoldersMadeByRun.h"

#include <gtest/gtest.h>

// A name is free without a look only in a folder the job made, and only
// until the job gives it, in any letter case; a folder made is a name given
// in its parent, and a path that is not plain ends the knowledge.
TEST(FoldersMadeByRun, FindsANameFreeOnlyInAMadeFolderUntilItIsGiven) {
    engine::TFoldersMadeByRun folders;
    folders.Made("/copy/site");
    folders.Made("/copy/site/sub");
    folders.Naming("/copy/site/Page.html");
    const struct { const char* Path; bool Free; } rows[] = {
        {"/copy/site/other.html", true},
        {"/copy/site/sub/x.gif", true},
        {"/copy/site/page.html", false},       // given, in another case
        {"/copy/site/sub", false},             // the made folder itself
        {"/copy/other.html", false},           // a folder that existed before
        {"/copy/site//other.html", false},
        {"/copy/site/./other.html", false},
        {"/copy/site/sub/../other.html", false},
        {"copy/site/other.html", false},
    };
    for (const auto& row : rows) EXPECT_EQ(folders.KnownFree(row.Path), row.Free) << row.Path;

    folders.Naming("/copy/site/sub/../y.html");
    EXPECT_FALSE(folders.KnownFree("/copy/site/other.html")) << "a name given that cannot be told apart";
    folders.Forget();
    folders.Made("/copy/site");
    EXPECT_TRUE(folders.KnownFree("/copy/site/page.html")) << "a new job knows only what it made";
}
