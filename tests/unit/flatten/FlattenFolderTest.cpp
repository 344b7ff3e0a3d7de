#include "engine/FlattenFolder.h"

#include "support/TempDir.h"
#include "support/TraceLogCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>

namespace fs = std::filesystem;
using testsupport::FileExists;
using testsupport::ReadFileText;
using testsupport::WriteFileText;

namespace {

// Stands in for the spider thread: flags, command checks and reports, with
// hooks that play the user's Pause, Resume and Abort at chosen moments.
class TTestControl : public engine::TFolderJobControl {
public:
    void CheckPauseAndResume() override { ++PauseChecks; }
    void CheckStopAndAbort() override { ++StopChecks; }
    bool Paused() const override { return IsPaused; }
    bool AbortRequested() const override { return IsAborted; }
    void WaitForCommand() override {
        ++Waits;
        if (OnWait) OnWait(*this);
    }
    void PostFileMoved(std::int32_t JobNumber, const std::string& SourceFile,
                       const std::string& DestinationFile) override {
        EXPECT_EQ(JobNumber, 7);
        Moves.push_back(Relative(SourceFile) + " -> " + Relative(DestinationFile));
        if (OnMove) OnMove(*this);
        if (ThrowOnPost) throw std::runtime_error("queue full");
    }
    void PostFolderExamined(std::int32_t JobNumber, const std::string& FolderPath) override {
        EXPECT_EQ(JobNumber, 7);
        Examined.push_back(Relative(FolderPath));
        if (ThrowOnPost) throw std::runtime_error("queue full");
    }

    std::string Relative(const std::string& Path) const {
        return Path.starts_with(Root) ? Path.substr(Root.size()) : Path;
    }

    std::string Root;  // left out of recorded paths
    bool IsPaused = false;
    bool IsAborted = false;
    bool ThrowOnPost = false;
    int PauseChecks = 0;
    int StopChecks = 0;
    int Waits = 0;
    std::function<void(TTestControl&)> OnWait;
    std::function<void(TTestControl&)> OnMove;
    std::vector<std::string> Moves;
    std::vector<std::string> Examined;
};

class FlattenFolder : public ::testing::Test {
protected:
    void SetUp() override {
        Dest = Temp.Path() + "/D/";
        fs::create_directories(Dest);
        Control.Root = Dest;
    }
    void Put(const std::string& RelativePath, const std::string& Text = "x") {
        fs::create_directories(fs::path(Dest + RelativePath).parent_path());
        WriteFileText(Dest + RelativePath, Text);
    }
    bool Has(const std::string& RelativePath) const { return FileExists(Dest + RelativePath); }
    void Flatten() { engine::FlattenFolder(Control, 7, Dest, StartPage); }
    bool Prune() { return engine::PruneEmptyChildFolders(Control, 7, Dest, false); }

    testsupport::TTempDir Temp;
    std::string Dest;
    std::string StartPage;
    TTestControl Control;
};

} // namespace

TEST_F(FlattenFolder, MovesEveryFileUpOneLevelPerStep) {
    Put("site/a/x.gif", "X");
    Put("site/b/y.gif", "Y");
    Flatten();
    EXPECT_EQ(ReadFileText(Dest + "x.gif"), "X");
    EXPECT_EQ(ReadFileText(Dest + "y.gif"), "Y");
    const std::vector<std::string> moves = {
        "site/a/x.gif -> site/x.gif", "site/b/y.gif -> site/y.gif",
        "site/x.gif -> x.gif", "site/y.gif -> y.gif"};
    EXPECT_EQ(Control.Moves, moves);
    EXPECT_TRUE(fs::is_directory(Dest + "site/a"));
    EXPECT_TRUE(fs::is_directory(Dest + "site/b"));

    EXPECT_FALSE(Prune());
    const std::vector<std::string> examined = {"site", "site/a", "site/b"};
    EXPECT_EQ(Control.Examined, examined);
    EXPECT_FALSE(Has("site"));
    EXPECT_TRUE(fs::is_directory(Dest));
}

TEST_F(FlattenFolder, StopsAFileWhereItsNameIsTakenAndFollowsTheStartPage) {
    Put("site/index.html", "top");
    Put("site/a/index.html", "deep");
    Put("site/a/.hidden", "h");
    StartPage = Dest + "SITE/INDEX.HTML";  // keys compare without regard to case
    Flatten();
    EXPECT_EQ(ReadFileText(Dest + "site/a/index.html"), "deep");
    EXPECT_EQ(ReadFileText(Dest + "index.html"), "top");
    EXPECT_EQ(ReadFileText(Dest + ".hidden"), "h");
    EXPECT_EQ(StartPage, Dest + "index.html");
}

TEST_F(FlattenFolder, NeverReplacesAnExistingFile) {
    Put("a.htm", "mine");
    Put("sub/a.htm", "theirs");
    testsupport::TTraceLogCapture trace;
    Flatten();
    EXPECT_EQ(ReadFileText(Dest + "a.htm"), "mine");
    EXPECT_EQ(ReadFileText(Dest + "sub/a.htm"), "theirs");
    EXPECT_TRUE(Control.Moves.empty());
    EXPECT_EQ(trace.Count("API Error"), 0);
}

TEST_F(FlattenFolder, LogsAFileThatCannotMoveAndGoesOn) {
    fs::create_directories(Dest + "x");  // a folder holds the name
    Put("sub/x", "file");
    Put("sub/y", "other");
    testsupport::TTraceLogCapture trace;
    Flatten();
    EXPECT_EQ(ReadFileText(Dest + "sub/x"), "file");
    EXPECT_EQ(ReadFileText(Dest + "y"), "other");
    EXPECT_EQ(trace.Count("API Error", "MoveFile " + Dest + "sub/x"), 1);
}

// A link inside the destination may point anywhere; following it would pull
// files from elsewhere on the computer into the copy and remove them there.
TEST_F(FlattenFolder, MovesLinksAsEntriesWithoutFollowingThem) {
    const std::string outside = Temp.Path() + "/outside";
    fs::create_directories(outside + "/deep");
    WriteFileText(outside + "/secret.txt", "s");
    WriteFileText(outside + "/deep/more.txt", "m");
    fs::create_directories(Dest + "site");
    fs::create_directory_symlink(outside, Dest + "site/link");
    Flatten();
    EXPECT_TRUE(fs::is_symlink(Dest + "link"));
    EXPECT_TRUE(FileExists(outside + "/secret.txt"));
    EXPECT_TRUE(FileExists(outside + "/deep/more.txt"));
    EXPECT_FALSE(Has("secret.txt"));
    EXPECT_FALSE(Has("more.txt"));
    EXPECT_FALSE(Prune());
    EXPECT_TRUE(FileExists(outside + "/secret.txt"));
}

TEST_F(FlattenFolder, KeepsGoingWhenAReportCannotBePosted) {
    Put("s/a.htm");
    StartPage = Dest + "s/a.htm";
    Control.ThrowOnPost = true;
    testsupport::TTraceLogCapture trace;
    Flatten();
    EXPECT_TRUE(Has("a.htm"));
    EXPECT_EQ(StartPage, Dest + "a.htm");
    EXPECT_EQ(trace.Count("Exception", "queue full"), 1);
    EXPECT_FALSE(Prune());
    EXPECT_FALSE(Has("s"));
    EXPECT_EQ(trace.Count("Exception", "queue full"), 2);
}

TEST_F(FlattenFolder, WaitsWhilePausedAndChecksCommandsPerSubfolder) {
    Put("a/1");
    Put("b/2");
    Control.IsPaused = true;
    Control.OnWait = [](TTestControl& control) {
        if (control.Waits == 3) control.IsPaused = false;
    };
    Flatten();
    EXPECT_EQ(Control.Waits, 3);
    EXPECT_TRUE(Has("1"));
    EXPECT_TRUE(Has("2"));
    // Four rounds for the first folder (three of them waiting), one for the second.
    EXPECT_EQ(Control.PauseChecks, 5);
    EXPECT_EQ(Control.StopChecks, 5);
}

TEST_F(FlattenFolder, EndsAtTheNextEntryOnAbort) {
    Put("a/1");
    Put("a/2");
    Put("b/3");
    Control.OnMove = [](TTestControl& control) { control.IsAborted = true; };
    Flatten();
    EXPECT_EQ(Control.Moves.size(), 1u);
    EXPECT_TRUE(Has("1"));
    EXPECT_TRUE(Has("a/2"));
    EXPECT_TRUE(Has("b/3"));
}

TEST_F(FlattenFolder, AbortEndsAPauseWithoutAResume) {
    Put("a/1");
    Control.IsPaused = true;
    Control.OnWait = [](TTestControl& control) { control.IsAborted = true; };
    Flatten();
    EXPECT_EQ(Control.Waits, 1);
    EXPECT_TRUE(Has("a/1"));
    EXPECT_FALSE(Prune());
    EXPECT_TRUE(Has("a/1"));
}

TEST_F(FlattenFolder, PruneRemovesEmptyChainsAndKeepsFolderWithFiles) {
    fs::create_directories(Dest + "e1/e2/e3");
    fs::create_directories(Dest + "keep/empty");
    Put("keep/f.txt");
    EXPECT_FALSE(Prune());
    EXPECT_FALSE(Has("e1"));
    EXPECT_FALSE(Has("keep/empty"));
    EXPECT_TRUE(Has("keep/f.txt"));
    const std::vector<std::string> examined = {"e1", "e1/e2", "e1/e2/e3", "keep", "keep/empty"};
    EXPECT_EQ(Control.Examined, examined);
}

TEST_F(FlattenFolder, PruneNeverRemovesTheDestinationItself) {
    EXPECT_FALSE(Prune());
    EXPECT_TRUE(fs::is_directory(Dest));
    EXPECT_TRUE(engine::PruneEmptyChildFolders(Control, 7, Dest.substr(0, Dest.size() - 1), true));
    EXPECT_FALSE(fs::exists(Dest));
}
