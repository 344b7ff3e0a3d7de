#include "base/AppTraceLog.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include <cerrno>
#include <unistd.h>

using base::TApplicationTraceLog;
using testsupport::ReadFileText;
using testsupport::TTempDir;
using namespace base;

namespace {

std::vector<std::string> Rows(const std::string& Text) {
    std::vector<std::string> rows;
    std::size_t start = 0;
    // Rows end with CR LF; a line break inside a quoted message is part of its row.
    bool quoted = false;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '"') quoted = !quoted;
        if (!quoted && Text.compare(i, 2, "\r\n") == 0) {
            rows.push_back(Text.substr(start, i - start));
            start = i + 2;
            ++i;
        }
    }
    EXPECT_EQ(start, Text.size()) << "the file must end with a complete row";
    return rows;
}

struct TStartedLog {
    TTempDir Dir;
    TApplicationTraceLog Log;
    int Beeps = 0;
    explicit TStartedLog(std::vector<std::string> Params = {"prog", "/eventlog"}) {
        TTraceLogHooks hooks;
        hooks.ExclamationBeep = [this] { ++Beeps; };
        Log.Start(Params, Dir.Path() + "/", hooks);
    }
    std::string Text() const { return ReadFileText(Dir.File("HarvexisEventLog.csv")); }
};

} // namespace

TEST(TraceLog, EnabledOnlyByTheExactSwitchAmongTheParameters) {
    struct Row { std::vector<std::string> Params; bool Enabled; } rows[] = {
        {{"prog", "a.hcj", "/eventlog", "x"}, true},
        {{"prog", "  /eventlog  "}, true},
        {{"prog", "/EventLog"}, false},
        {{"prog", "/eventlogs"}, false},
        {{"prog"}, false},
    };
    for (const auto& row : rows) {
        TStartedLog log(row.Params);
        EXPECT_EQ(log.Log.Enabled(), row.Enabled) << row.Params.back();
        EXPECT_EQ(testsupport::FileExists(log.Dir.File("HarvexisEventLog.csv")), row.Enabled);
    }
}

TEST(TraceLog, RowsHaveTheEightQuotedFieldsAndEndWithCrLf) {
    TStartedLog log;
    log.Log.LogEntry(base::ttWarning, "Array full", "RegisterForSpiderOutput", "SpiderOutputSplitter");
    log.Log.LogEntry(base::ttMessage, "say \"hi\"\nsecond line", "Fn", "Unit");
    int marker = 0;
    log.Log.LogSourceEntry(base::ttAssertion, "x > 0", "Queue.cpp", 42, &marker);
    log.Log.Shutdown();

    const auto rows = Rows(log.Text());
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0], "\"Time\", \"Thread ID\", \"Type\", \"Message\", \"Function\", \"Filename\", "
                       "\"Line\", \"Address\"");
    const std::string tid = std::to_string(::gettid());
    EXPECT_THAT(rows[1], testing::MatchesRegex("\"[0-9]{6,}\",\"" + tid +
                                               "\",\"Message\",\"Application started at .*\",\"\",\"\",\"\",\"\""));
    EXPECT_THAT(rows[2], testing::MatchesRegex(
                             "\"[0-9]{6}\",\"" + tid +
                             "\",\"Warning\",\"Array full\",\"RegisterForSpiderOutput\",\"\",\"\",\"\""));
    EXPECT_NE(rows[3].find(",\"Message\",\"say \"\"hi\"\"\nsecond line\",\"Fn\",\"\",\"\",\"\""),
              std::string::npos)
        << rows[3];
    EXPECT_THAT(rows[4], testing::MatchesRegex(
                             ".*,\"Assertion\",\"x > 0\",\"\",\"Queue.cpp\",\"42\",\"0x[0-9A-F]{8,}\""));
    EXPECT_THAT(rows[5], testing::HasSubstr("\"Application stopped at "));
    EXPECT_EQ(log.Beeps, 1);
}

TEST(TraceLog, ApiErrorCarriesCodeSystemTextAndUnit) {
    TStartedLog log;
    errno = ENOENT;
    log.Log.LogAPIError("CreateFile /x", "SaveToFile", "JobTypes");
    log.Log.LogAPIErrorCode(99999, "NoText", "Op", "Unit");
    log.Log.LogAPIErrorCode(12000 + 7, "Connect", "Op", "Unit");
    const auto rows = Rows(log.Text());
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_THAT(rows[2], testing::HasSubstr(
                             "\"API Error\",\"CreateFile /x = 2 No such file or directory\",\"SaveToFile\",\"JobTypes\""));
    EXPECT_THAT(rows[3], testing::HasSubstr("\"NoText = 99999 \",\"Op\",\"Unit\""));
    EXPECT_THAT(rows[4], testing::HasSubstr("\"Connect = 12007 Couldn't connect to server\""));
}

TEST(TraceLog, ExceptionBeepsEvenWhenNotEnabledAndWritesNothing) {
    TStartedLog log({"prog"});
    log.Log.LogEntry(base::ttException, "boom", "Op", "Unit");
    log.Log.LogEntry(base::ttWarning, "quiet", "Op", "Unit");
    EXPECT_EQ(log.Beeps, 1);
    EXPECT_FALSE(log.Log.FileOpen());
}

TEST(TraceLog, SecondCopyCannotTakeTheFileAndLeavesTheFirstLogIntact) {
    TStartedLog first;
    first.Log.LogMessage("from the first copy");
    TApplicationTraceLog second;
    bool outcomeShown = false, outcomeOpen = true;
    TTraceLogHooks hooks;
    hooks.ShowStartupOutcome = [&](bool open, const std::string& name) {
        outcomeShown = true;
        outcomeOpen = open;
        EXPECT_EQ(name, first.Dir.File("HarvexisEventLog.csv"));
    };
    second.Start({"prog", "/eventlog"}, first.Dir.Path() + "/", hooks);
    EXPECT_TRUE(outcomeShown);
    EXPECT_FALSE(outcomeOpen);
    EXPECT_TRUE(second.Enabled());
    EXPECT_FALSE(second.FileOpen());
    second.LogMessage("from the second copy");
    EXPECT_THAT(first.Text(), testing::HasSubstr("from the first copy"));
    EXPECT_THAT(first.Text(), testing::Not(testing::HasSubstr("second copy")));
}

TEST(TraceLog, RowsFromManyThreadsNeverInterleaveAndTimeNeverDecreases) {
    TStartedLog log;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 500; ++i)
                log.Log.LogEntry(base::ttMessage, std::string(200, static_cast<char>('a' + t)), "Op", "Unit");
        });
    for (auto& thread : threads) thread.join();
    const auto rows = Rows(log.Text());
    ASSERT_EQ(rows.size(), 2u + 2000u);
    const std::regex row("\"([0-9]{6,})\",\"[0-9]+\",\"Message\",\"([a-d])\\2{199}\",\"Op\",\"\",\"\",\"\"");
    long last = 0;
    for (std::size_t i = 2; i < rows.size(); ++i) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(rows[i], match, row)) << rows[i];
        const long time = std::stol(match[1]);
        EXPECT_GE(time, last);
        last = time;
    }
}

TEST(TraceLogDeathTest, AssertionIsLoggedWithFileLineAndAddressBeforeFailing) {
    TTempDir dir;
    const std::string path = dir.File("HarvexisEventLog.csv");
    EXPECT_DEATH(
        {
            base::TraceLog.Start({"prog", "/eventlog"}, dir.Path() + "/");
            HX_ASSERT(1 + 1 == 3);
        },
        "Assertion `1 \\+ 1 == 3' failed");
    const std::string text = ReadFileText(path);
    EXPECT_THAT(text, testing::ContainsRegex(
                          "\"Assertion\",\"1 \\+ 1 == 3\",\"\",\"[^\"]*TraceLogTest.cpp\",\"[0-9]+\",\"0x[0-9A-F]{8,}\""));
}
