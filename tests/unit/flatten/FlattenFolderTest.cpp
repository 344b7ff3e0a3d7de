#include "engine/FlattenFolder.h"

#include "support/TempDir.h"
#include "support/TraceLogCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;
using testsupport::FileExists;
using testsupport::ReadFileText;

namespace {

// Stands in for the spider thread: flags, command checks and reports, with a
// hook that plays the user's Resume or Abort while flattening waits.
class TTestControl : public engine::TFolderJobControl {
  public:
    void CheckPauseAndResume() override {}
    void CheckStopAndAbort() override {}
    bool Paused() const override { return IsPaused; }
    bool AbortRequested() const override { return IsAborted; }
    void WaitForCommand() override {
        ++Waits;
        if (OnWait) OnWait(*this);
    }
    void PostFileMoved(std::int32_t, const std::string&, const std::string&) override {
        ++Moves;
        IsAborted = AbortOnMove;
    }
    void PostFolderExamined(std::int32_t, const std::string&) override {}
    bool IsPaused = false, IsAborted = false, AbortOnMove = false;
    int Waits = 0, Moves = 0;
    std::function<void(TTestControl&)> OnWait;
};

class FlattenFolder : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directories(Dest); }
    void Put(const std::string& RelativePath, const std::string& Text = "x") {
        fs::create_directories(fs::path(Dest + RelativePath).parent_path());
        testsupport::WriteFileText(Dest + RelativePath, Text);
    }
    bool Has(const std::string& RelativePath) const { return FileExists(Dest + RelativePath); }
    void Flatten() { engine::FlattenFolder(Control, 7, Dest, StartPage); }
    bool Prune() { return engine::PruneEmptyChildFolders(Control, 7, Dest, false); }

    testsupport::TTempDir Temp;
    std::string Dest = Temp.Path() + "/D/";
    std::string StartPage;
    TTestControl Control;
};

} // namespace

TEST_F(FlattenFolder, NeverReplacesAFileAndFollowsTheStartPage) {
    Put("site/index.html", "top");
    Put("site/a/index.html", "deep");
    Put("mine.htm", "mine");
    Put("sub/mine.htm", "theirs");
    fs::create_directories(Dest + "x"); // a folder holds the name
    Put("sub/x", "file");
    StartPage = Dest + "SITE/INDEX.HTML"; // keys compare without regard to case
    testsupport::TTraceLogCapture trace;
    Flatten();
    EXPECT_EQ(ReadFileText(Dest + "site/a/index.html"), "deep");
    EXPECT_EQ(ReadFileText(Dest + "index.html"), "top");
    EXPECT_EQ(StartPage, Dest + "index.html");
    EXPECT_EQ(ReadFileText(Dest + "mine.htm"), "mine");
    EXPECT_EQ(ReadFileText(Dest + "sub/mine.htm"), "theirs");
    EXPECT_EQ(ReadFileText(Dest + "sub/x"), "file");
    EXPECT_EQ(trace.Count("API Error"), 1) << "only the move onto the folder is an error";
    EXPECT_EQ(trace.Count("API Error", "MoveFile " + Dest + "sub/x"), 1);
}

// A link inside the destination may point anywhere; following it would pull
// files from elsewhere on the computer into the copy and remove them there.
TEST_F(FlattenFolder, MovesLinksAsEntriesWithoutFollowingThem) {
    const std::string outside = Temp.Path() + "/outside";
    fs::create_directories(outside + "/deep");
    testsupport::WriteFileText(outside + "/deep/secret.txt", "s");
    fs::create_directories(Dest + "site");
    fs::create_directory_symlink(outside, Dest + "site/link");
    Flatten();
    EXPECT_FALSE(Prune());
    EXPECT_TRUE(fs::is_symlink(Dest + "link"));
    EXPECT_TRUE(FileExists(outside + "/deep/secret.txt"));
    EXPECT_FALSE(Has("secret.txt"));
}

TEST_F(FlattenFolder, WaitsWhilePausedAndEndsAtTheNextEntryOnAbort) {
    Put("a/1");
    Put("a/2");
    Put("b/3");
    Control.IsPaused = true;
    Control.OnWait = [](TTestControl& control) { control.IsPaused = control.Waits < 3; };
    Control.AbortOnMove = true;
    Flatten();
    EXPECT_EQ(Control.Waits, 3);
    EXPECT_EQ(Control.Moves, 1);
    EXPECT_TRUE(Has("1"));
    EXPECT_TRUE(Has("a/2"));
    EXPECT_TRUE(Has("b/3"));
    // An abort also ends a pause without a resume, and pruning with it.
    fs::create_directories(Dest + "e1/e2");
    Control.IsPaused = true;
    Control.IsAborted = false;
    Control.OnWait = [](TTestControl& control) { control.IsAborted = true; };
    EXPECT_FALSE(Prune());
    EXPECT_TRUE(fs::is_directory(Dest + "e1/e2"));
    EXPECT_EQ(Control.Waits, 4);
}

TEST_F(FlattenFolder, PruneRemovesEmptyChainsKeepsFoldersWithFilesAndTheDestinationOnlyWhenAsked) {
    fs::create_directories(Dest + "e1/e2/e3");
    fs::create_directories(Dest + "keep/empty");
    Put("keep/f.txt");
    EXPECT_FALSE(Prune());
    EXPECT_FALSE(Has("e1"));
    EXPECT_FALSE(Has("keep/empty"));
    EXPECT_TRUE(Has("keep/f.txt"));
    fs::remove_all(Dest + "keep");
    EXPECT_TRUE(engine::PruneEmptyChildFolders(Control, 7, Dest.substr(0, Dest.size() - 1), true));
    EXPECT_FALSE(fs::exists(Dest));
}
