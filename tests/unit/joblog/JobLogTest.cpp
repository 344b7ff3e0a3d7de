#include "messaging/SpiderOutputMsgTypes.h"
#include "queue/JobLog.h"
#include "queue/SerializeListView.h"
#include "support/TempDir.h"
#include "unit/CaseTable.h"
#include "web/StartingURL.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace queue;

namespace {

std::string Joined(const TCSVRow& Fields) {
    std::string text;
    for (const std::string& field : Fields)
        text += (&field == &Fields.front() ? "" : "|") + field;
    return text;
}

struct TRecorder final : TJobLogObserver {
    void RowInserted(int Index) override { Events += "+" + std::to_string(Index); }
    void RowRemoved(int Index) override { Events += "-" + std::to_string(Index); }
    void RowChanged(int Index) override { Events += "~" + std::to_string(Index); }
    void RowsReset() override { Events += "0"; }
    void SaveFailed(const std::string&) override { Events += "!"; }
    std::string Events;
};

} // namespace

TEST(SerializeListView, SplitsALineByTheCommaTextRules) {
    for (const auto& row : unittest::ReadCases("joblog/csvsplit.tsv", 3)) {
        const TCSVRow fields = SplitCSVLine(row[0]);
        EXPECT_EQ(fields.size(), static_cast<std::size_t>(row.Number(1))) << row.Where;
        EXPECT_EQ(Joined(fields), row[2]) << row.Where;
    }
}

TEST(SerializeListView, AnyTextSurvivesWritingAndReadingAndAnOpenQuoteEndsAtItsLine) {
    const TCSVRows rows = {{"a \"quoted\" name", "", " lead, trail "}, {"line\r\nbreak", "\n", "\"", ","}};
    EXPECT_EQ(CSVLine({"a\"b", "c"}), "\"a\"\"b\", \"c\"\r\n");
    EXPECT_EQ(SplitCSVText(CSVText(rows)), rows);
    EXPECT_EQ(SplitCSVText("\"open\r\nx, y\n\r\n"), (TCSVRows{{"open"}, {"x", "y"}}));
}

TEST(JobLog, KeepsEveryChangeInTheFileAndReadsItBackNextTime) {
    testsupport::TTempDir data;
    TRecorder recorder;
    const TJobLogRow first{"say \"hi\"", "1/2/26 10:00:00", "http://a.test/", data.File("a/index.html")};
    {
        TJobLog log(data.Path() + "/");
        log.Subscribe(recorder);
        ASSERT_TRUE(log.Load());
        log.AddRow(first);
        messaging::TSpiderOutputMsg ended;
        ended.Kind = messaging::somJobEnded;
        ended.Status = messaging::joFailed;
        web::SetStartingURL(ended.Job, "http://user:pw@b.test/x#f");
        log.OnSpiderOutput(ended);
        log.AddRow({"third", "", "", ""});
        log.RenameRow(1, "renamed");
        log.RemoveRows({2, 2, 7});
        EXPECT_EQ(log.Row(1).Address, "http://b.test/x") << "a failed job is logged too, without credentials";
        const std::string line = "\"say \"\"hi\"\"\", \"1/2/26 10:00:00\", \"http://a.test/\", \"" +
                                 first.FileName + "\"\r\n";
        EXPECT_EQ(testsupport::ReadFileText(log.FilePath()).substr(0, line.size()), line);
    }
    EXPECT_EQ(recorder.Events, "0+0+1+2~1-2");
    TJobLog again(data.Path() + "/");
    ASSERT_TRUE(again.Load());
    ASSERT_EQ(again.Count(), 2);
    EXPECT_EQ(again.Row(0), first);
    EXPECT_EQ(again.Row(1).JobName, "renamed");
    std::filesystem::create_directory(data.File("a"));
    testsupport::WriteFileText(first.FileName, "page");
    EXPECT_TRUE(again.AllowedCommands(0) == (TJobLogCommands{true, true, true}));
    EXPECT_TRUE(again.AllowedCommands(1) == (TJobLogCommands{false, false, true}));
    again.SetJobLogEnabled(false);
    again.AddRow(first);
    EXPECT_EQ(again.Count(), 0);
    EXPECT_EQ(testsupport::ReadFileText(again.FilePath()), "") << "turning logging off empties the file";
}

TEST(JobLog, AFailedWriteKeepsTheRowsAndSaysSo) {
    testsupport::TTempDir data;
    TRecorder recorder;
    TJobLog log(data.File("missing/"));
    log.Subscribe(recorder);
    log.AddRow({"job", "", "", ""});
    EXPECT_EQ(log.Count(), 1);
    EXPECT_EQ(recorder.Events, "+0!");
}

TEST(JobLog, TheDateLeavesOutTheTimeOnlyAtMidnight) {
    std::tm local{};
    local.tm_year = 126, local.tm_mon = 0, local.tm_mday = 2, local.tm_isdst = -1;
    const std::time_t midnight = std::mktime(&local);
    EXPECT_EQ(JobLogDateText(midnight).find(':'), std::string::npos);
    EXPECT_NE(JobLogDateText(midnight + 1).find(':'), std::string::npos);
}
