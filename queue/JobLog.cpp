#include "queue/JobLog.h"

#include "base/AppTraceLog.h"
#include "base/PosixFile.h"
#include "jobs/LanguageStrings.h"
#include "messaging/SpiderOutputSplitter.h"
#include "queue/SerializeListView.h"
#include "web/StartingURL.h"

#include <algorithm>

namespace queue {

namespace {

constexpr const char* UnitName = "JobLog";

// Text numbers of the column captions.
constexpr int TextJobName = 220;
constexpr int TextDate = 221;
constexpr int TextAddress = 222;
constexpr int TextFilename = 223;

TJobLogRow RowFromFields(const TCSVRow& Fields) {
    TJobLogRow row;
    std::string* const members[] = {&row.JobName, &row.Date, &row.Address, &row.FileName};
    for (std::size_t i = 0; i < Fields.size() && i < std::size(members); ++i)
        *members[i] = Fields[i];
    return row;
}

std::string FolderOf(const std::string& Path) {
    const std::size_t slash = Path.rfind('/');
    return slash == std::string::npos ? std::string() : Path.substr(0, std::max<std::size_t>(slash, 1));
}

std::string DisplayAddress(const web::TURL& Address) {
    return Address.IsValid() ? Address.GetPlainURL() : Address.GetUnusableText();
}

} // namespace

std::string JobLogDateText(std::time_t Moment) {
    std::tm local{};
    localtime_r(&Moment, &local);
    const bool midnight = local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0;
    char buffer[128];
    const std::size_t length = std::strftime(buffer, sizeof buffer, midnight ? "%x" : "%x %X", &local);
    return std::string(buffer, length);
}

std::vector<std::string> JobLogColumnCaptions() {
    return {jobs::LocalText(TextJobName), jobs::LocalText(TextDate), jobs::LocalText(TextAddress),
            jobs::LocalText(TextFilename)};
}

TJobLog::TJobLog(const std::string& DataFolder) : Path(DataFolder + FileBaseName) {}

void TJobLog::Subscribe(TJobLogObserver& Observer) {
    Observers.Add(Observer);
}

void TJobLog::Unsubscribe(TJobLogObserver& Observer) {
    Observers.Remove(Observer);
}

bool TJobLog::InitJobLog(messaging::TSpiderOutputSplitter& Splitter) {
    const bool loaded = Load();
    const bool registered = Splitter.RegisterForSpiderOutput(
        messaging::SpiderOutputKinds({messaging::somJobEnded}),
        [this](const messaging::TSpiderOutputMsg& Msg, std::uint32_t) { OnSpiderOutput(Msg); });
    if (!registered) base::TraceLog.LogEntry(base::ttWarning, "", "RegisterForSpiderOutput", UnitName);
    return loaded && registered;
}

bool TJobLog::Load() {
    const std::optional<TCSVRows> records = CSVFileToListView(Path);
    Rows.clear();
    if (records)
        for (const TCSVRow& record : *records)
            Rows.push_back(RowFromFields(record));
    else
        base::TraceLog.LogAPIError("Read " + Path, "InitJobLog", UnitName);
    Observers.Notify([](TJobLogObserver& O) { O.RowsReset(); });
    return records.has_value();
}

void TJobLog::OnSpiderOutput(const messaging::TSpiderOutputMsg& Msg) {
    if (Msg.Kind != messaging::somJobEnded) return;
    AddRow({Msg.Job.JobName, JobLogDateText(std::time(nullptr)),
            DisplayAddress(web::GetStartingURL(Msg.Job)), Msg.StartPageFile});
}

void TJobLog::SetJobLogEnabled(bool Value) {
    if (Value == Enabled) return;
    Enabled = Value;
    if (Enabled) return;
    Rows.clear();
    Observers.Notify([](TJobLogObserver& O) { O.RowsReset(); });
    SaveJobLog();
}

void TJobLog::AddRow(TJobLogRow Row) {
    if (!Enabled) return;
    Rows.push_back(std::move(Row));
    const int index = Count() - 1;
    Observers.Notify([index](TJobLogObserver& O) { O.RowInserted(index); });
    SaveJobLog();
}

bool TJobLog::RenameRow(int Index, const std::string& JobName) {
    if (!IsRow(Index)) return false;
    Rows[Index].JobName = JobName;
    Observers.Notify([Index](TJobLogObserver& O) { O.RowChanged(Index); });
    return SaveJobLog();
}

bool TJobLog::RemoveRows(std::vector<int> Indexes) {
    std::erase_if(Indexes, [this](int Index) { return !IsRow(Index); });
    if (Indexes.empty()) return false;
    // From the bottom up, so each index still names its row when it goes.
    std::sort(Indexes.begin(), Indexes.end(), std::greater<>());
    Indexes.erase(std::unique(Indexes.begin(), Indexes.end()), Indexes.end());
    for (const int index : Indexes) {
        Rows.erase(Rows.begin() + index);
        Observers.Notify([index](TJobLogObserver& O) { O.RowRemoved(index); });
    }
    return SaveJobLog();
}

bool TJobLog::SaveJobLog() {
    TCSVRows records;
    records.reserve(Rows.size());
    for (const TJobLogRow& row : Rows)
        records.push_back({row.JobName, row.Date, row.Address, row.FileName});
    std::string message;
    if (ListViewToCSVFile(records, Path, {}, &message)) return true;
    Observers.Notify([&message](TJobLogObserver& O) { O.SaveFailed(message); });
    return false;
}

TJobLogCommands TJobLog::AllowedCommands(int Index) const {
    TJobLogCommands allowed;
    if (!IsRow(Index)) return allowed;
    const std::string& file = Rows[Index].FileName;
    allowed.Remove = true;
    allowed.View = base::FileExists(file);
    allowed.Explore = base::FileExists(FolderOf(file));
    return allowed;
}

} // namespace queue
