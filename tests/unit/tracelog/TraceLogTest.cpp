#include "base/AppTraceLog.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>


#include <cerrno>
#include <unistd.h>

using namespace base;
using testing::HasSubstr;
using testing::MatchesRegex;

namespace {

// Rows end with CR LF; a line break inside a quoted message is part of its row.
std::vector<std::string> Rows(const std::string& Text) {
    std::vector<std::string> rows;
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '"') quoted = !quoted;
        if (!quoted && Text.compare(i, 2, "\r\n") == 0) {
            rows.push_back(Text.substr(start, i - start));
            start = ++i + 1;
        }
    }
    EXPECT_EQ(start, Text.size()) << "the file must end with a complete row";
    return rows;
}

struct TStartedLog {
    testsupport::TTempDir Dir;
    TApplicationTraceLog Log;
    int Beeps = 0;
    explicit TStartedLog(std::vector<std::string> Params = {"prog", "/eventlog"}, TTraceLogHooks Hooks = {}) {
        Hooks.ExclamationBeep = [this] { ++Beeps; };
        Log.Start(Params, Dir.Path() + "/", Hooks);
    }
    std::string Text() const { return testsupport::ReadFileText(Dir.File("HarvexisEventLog.csv")); }
};

} // namespace

TEST(TraceLog, RowsHaveTheEightQuotedFieldsAndEndWithCrLf) {
    TStartedLog log;
    log.Log.LogEntry(ttWarning, "Array full", "RegisterForSpiderOutput", "SpiderOutputSplitter");
    log.Log.LogEntry(ttMessage, "say \"hi\"\nsecond line", "Fn", "Unit");
    int marker = 0;
    log.Log.LogSourceEntry(ttAssertion, "x > 0", "Queue.cpp", 42, &marker);
    errno = ENOENT;
    log.Log.LogAPIError("CreateFile /x", "SaveToFile", "JobTypes");
    log.Log.LogAPIErrorCode(12000 + 7, "Connect", "Op", "Unit");
    log.Log.Shutdown();

    const auto rows = Rows(log.Text());
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[0], "\"Time\", \"Thread ID\", \"Type\", \"Message\", \"Function\", \"Filename\", "
                       "\"Line\", \"Address\"");
    const std::string tid = std::to_string(::gettid());
    EXPECT_THAT(rows[1], MatchesRegex("\"[0-9]{6,}\",\"" + tid +
                                      "\",\"Message\",\"Application started at .*\",\"\",\"\",\"\",\"\""));
    EXPECT_THAT(rows[2], MatchesRegex("\"[0-9]{6}\",\"" + tid +
                                      "\",\"Warning\",\"Array full\",\"RegisterForSpiderOutput\",\"\",\"\",\"\""));
    EXPECT_THAT(rows[3], HasSubstr(",\"Message\",\"say \"\"hi\"\"\nsecond line\",\"Fn\",\"\",\"\",\"\""));
    EXPECT_THAT(rows[4], MatchesRegex(".*,\"Assertion\",\"x > 0\",\"\",\"Queue.cpp\",\"42\",\"0x[0-9A-F]{8,}\""));
    EXPECT_THAT(rows[5], HasSubstr("\"API Error\",\"CreateFile /x = 2 No such file or directory\",\"SaveToFile\",\"JobTypes\""));
    EXPECT_THAT(rows[6], HasSubstr("\"Connect = 12007 Couldn't connect to server\""));
    EXPECT_THAT(rows[7], HasSubstr("\"Application stopped at "));
    EXPECT_EQ(log.Beeps, 1);
}
