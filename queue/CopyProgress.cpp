#include "queue/CopyProgress.h"

#include "base/AppTraceLog.h"
#include "base/AsciiText.h"
#include "jobs/LanguageStrings.h"
#include "messaging/SpiderInputMsg.h"
#include "messaging/SpiderOutputSplitter.h"
#include "queue/SerializeListView.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace queue {

namespace {

using namespace messaging;

constexpr int TextResult = 162;
constexpr int TextLocation = 163;
constexpr int TextDownloadProgress = 169;
constexpr int TextRewriteProgress = 170;
constexpr int TextFileReadError = 188;
constexpr int TextStopFile = 181;    // then host, extension, MIME type

std::string AddressText(const web::TURL& Address) {
    return Address.IsValid() ? Address.GetPlainURL() : Address.GetUnusableText();
}

// The size of a saved page for its Reading or Writing row; "?" when it cannot be read.
std::string FileSizeText(const std::string& Path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(Path, error);
    if (!error) return SizeText(static_cast<std::int64_t>(size));
    base::TraceLog.LogAPIErrorCode(error.value(), "stat " + Path, "GetFileByteSize", "CopyProgress");
    return "?";
}

std::string LastPathComponent(const std::string& Path) {
    const auto slash = Path.find_last_of('/');
    return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

std::string FolderOf(const std::string& Path) {
    const auto slash = Path.find_last_of('/');
    return slash == std::string::npos ? std::string() : Path.substr(0, slash);
}

std::string CountCaption(int Text, int Count, int Of) {
    return jobs::FillPlaceholders(jobs::LocalText(Text), std::to_string(Count), std::to_string(Of));
}

} // namespace

std::string ActivityText(TActivityKind Kind) {
    constexpr int TextDownloading = 174; // then one per activity kind up to "Flattening"
    return jobs::LocalText(TextDownloading + static_cast<int>(Kind));
}

TCopyProgress::TCopyProgress(TSpiderInputMessageQueue& Input, std::function<bool()> FriendlyResults)
    : Input(Input), FriendlyResultsSetting(std::move(FriendlyResults)) {}

bool TCopyProgress::Subscribe(TSpiderOutputSplitter& Splitter) {
    if (Splitter.RegisterForSpiderOutput(ReportKinds, [this](const TSpiderOutputMsg& Msg, std::uint32_t) {
            OnSpiderOutput(Msg);
        }))
        return true;
    base::TraceLog.LogEntry(base::ttWarning, "", "RegisterForSpiderOutput", "CopyProgress");
    return false;
}

void TCopyProgress::OnSpiderOutput(const TSpiderOutputMsg& Msg) {
    switch (Msg.Kind) {
    case somJobStarted: JobStarted(Msg); break;
    case somJobPaused: Paused = true, StateDirty(); break;
    case somJobResumed: Paused = false, StateDirty(); break;
    case somJobEnded: JobStopped(); break;
    case somDownloadStarted: DownloadStarted(Msg.FileDownload); break;
    case somDownloadProgress: DownloadProgress(Msg.FileDownload); break;
    case somDownloadEnded: DownloadEnded(Msg.FileDownload); break;
    case somParseStarted: PageStarted(TActivityKind::Reading, Msg.FileReadWrite); break;
    case somParseProgress: PageProgress(TActivityKind::Reading, Msg.FileReadWrite); break;
    case somLinkFound:
        if (Msg.Link.AddedToList) ++Known, StateDirty();
        break;
    case somParseEnded: ParseEnded(Msg.FileReadWrite); break;
    case somRewriteStarted: PageStarted(TActivityKind::Writing, Msg.FileReadWrite); break;
    case somRewriteProgress: PageProgress(TActivityKind::Writing, Msg.FileReadWrite); break;
    case somRewriteEnded:
        RemoveActive(TActivityKind::Writing, Msg.FileReadWrite.FileNumber);
        ++Rewritten, StateDirty();
        break;
    case somPruneStarted: AddActive(TActivityKind::Pruning, 0, {}); break;
    case somFlattenStarted: AddActive(TActivityKind::Flattening, 0, {}); break;
    // Observers see the folder at the next flush, so thousands of these cost one repaint.
    case somPruneFolder: SetFirstActiveLocation(Msg.FolderPath); break;
    case somFlattenFileMoved: FileMoved(Msg.Flattening); break;
    case somPruneEnded:
    case somFlattenEnded: Active.clear(); break;
    default: break;
    }
}

void TCopyProgress::JobStarted(const TSpiderOutputMsg& Msg) {
    CompletedCleared = CompletedCleared || PublishedCompleted > 0;
    Completed.clear();
    CompletedByLocation.clear();
    CompletedByFoldedLocation.clear();
    Active.clear();
    Downloads.clear();
    PagesQueuedForRewrite.clear();
    Known = Done = PagesToRewrite = Rewritten = 0;
    FirstChanged = LastChanged = -1;
    FixLinks = Msg.Job.RewriteLinks;
    FriendlyResults = !FriendlyResultsSetting || FriendlyResultsSetting();
    JobRunning = true;
    Paused = false;
    RunningJobNumber = Msg.JobNumber;
    StateDirty();
}

void TCopyProgress::JobStopped() {
    JobRunning = false;
    Paused = false;
    RunningJobNumber = -1;
    StateDirty();
}

void TCopyProgress::DownloadStarted(const TFileDownloadMsg& Download) {
    AddActive(TActivityKind::Downloading, Download.DownloadNumber, AddressText(Download.Address));
    if (Known == 0) Known = 1, StateDirty();
}

void TCopyProgress::DownloadProgress(const TFileDownloadMsg& Download) {
    TActiveFile* row = FindActive(TActivityKind::Downloading, Download.DownloadNumber);
    if (!row) return;
    const auto& progress = Download.Progress;
    if (!Downloads.contains(Download.DownloadNumber)) {
        if (progress.ExpectedSize != 0) row->Size = SizeText(progress.ExpectedSize);
        Downloads[Download.DownloadNumber] = {Download.DownloadNumber, LastPathComponent(Download.LocalFile),
                                              Download.Address.GetHostName(), Download.Address.GetExtension(),
                                              progress.ContentType};
    }
    row->Done = progress.ExpectedSize != 0
                    ? std::to_string(progress.BytesReceived * 100 / progress.ExpectedSize) + "%"
                    : SizeText(progress.BytesReceived);
}

void TCopyProgress::DownloadEnded(const TFileDownloadMsg& Download) {
    RemoveActive(TActivityKind::Downloading, Download.DownloadNumber);
    Downloads.erase(Download.DownloadNumber);
    std::string location = FinishedDownloadLocation(Download);
    if (!CompletedByLocation.contains(location))
        AddCompleted({DownloadResultIcon(Download), DownloadResultText(Download.Results, FriendlyResults),
                      std::move(location)});
    ++Done;
    if (Download.Results.RedirectQueued) ++Known;
    if (FixLinks && Download.Results.PageSaved &&
        PagesQueuedForRewrite.insert(base::LowerAscii(Download.LocalFile)).second)
        ++PagesToRewrite;
    StateDirty();
}

void TCopyProgress::PageStarted(TActivityKind Kind, const TFileReadWriteMsg& Page) {
    AddActive(Kind, Page.FileNumber, Page.LocalFile, FileSizeText(Page.LocalFile),
              Kind == TActivityKind::Writing ? "0" : "");
}

void TCopyProgress::PageProgress(TActivityKind Kind, const TFileReadWriteMsg& Page) {
    if (TActiveFile* row = FindActive(Kind, Page.FileNumber)) row->Done = std::to_string(Page.Percent) + "%";
}

void TCopyProgress::ParseEnded(const TFileReadWriteMsg& Page) {
    RemoveActive(TActivityKind::Reading, Page.FileNumber);
    if (Page.Status != frwFailed) return;
    const auto found = CompletedByLocation.find(Page.LocalFile);
    if (found == CompletedByLocation.end()) return;
    TCompletedFile& row = Completed[static_cast<std::size_t>(found->second)];
    row.Result = jobs::LocalText(TextFileReadError);
    row.Icon = TDownloadResultIcon::Failure;
    MarkCompletedChanged(found->second);
}

void TCopyProgress::FileMoved(const TFolderFlatteningProgress& Move) {
    const auto [first, last] = CompletedByFoldedLocation.equal_range(base::LowerAscii(Move.SourceFile));
    std::vector<int> rows;
    for (auto it = first; it != last; ++it) rows.push_back(it->second);
    CompletedByFoldedLocation.erase(first, last);
    for (int row : rows) SetCompletedLocation(row, Move.DestinationFile);
    SetFirstActiveLocation(FolderOf(Move.SourceFile));
}

void TCopyProgress::AddActive(TActivityKind Kind, std::int32_t Tag, std::string Location, std::string Size,
                              std::string Done) {
    Active.push_back({Kind, Tag, std::move(Location), std::move(Size), std::move(Done), NextActiveId++});
}

TActiveFile* TCopyProgress::FindActive(TActivityKind Kind, std::int32_t Tag) {
    const auto found = std::find_if(Active.begin(), Active.end(),
                                    [&](const TActiveFile& Row) { return Row.Kind == Kind && Row.Tag == Tag; });
    return found == Active.end() ? nullptr : &*found;
}

void TCopyProgress::RemoveActive(TActivityKind Kind, std::int32_t Tag) {
    if (const TActiveFile* row = FindActive(Kind, Tag)) Active.erase(Active.begin() + (row - Active.data()));
}

void TCopyProgress::SetFirstActiveLocation(const std::string& Location) {
    if (!Active.empty()) Active.front().Location = Location;
}

void TCopyProgress::AddCompleted(TCompletedFile Row) {
    const int index = CompletedCount();
    CompletedByLocation.emplace(Row.Location, index);
    CompletedByFoldedLocation.emplace(base::LowerAscii(Row.Location), index);
    Completed.push_back(std::move(Row));
}

void TCopyProgress::SetCompletedLocation(int Row, const std::string& Location) {
    TCompletedFile& file = Completed[static_cast<std::size_t>(Row)];
    const auto old = CompletedByLocation.find(file.Location);
    if (old != CompletedByLocation.end() && old->second == Row) CompletedByLocation.erase(old);
    file.Location = Location;
    CompletedByLocation.emplace(Location, Row);
    CompletedByFoldedLocation.emplace(base::LowerAscii(Location), Row);
    MarkCompletedChanged(Row);
}

void TCopyProgress::MarkCompletedChanged(int Row) {
    // Rows the observers do not know yet are announced as inserted anyway.
    if (CompletedCleared || Row >= PublishedCompleted) return;
    FirstChanged = FirstChanged < 0 ? Row : std::min(FirstChanged, Row);
    LastChanged = std::max(LastChanged, Row);
}

const TActiveDownload* TCopyProgress::ActiveDownloadOfRow(int Row) const {
    if (Row < 0 || Row >= static_cast<int>(PublishedActive.size())) return nullptr;
    const TActiveFile& file = PublishedActive[static_cast<std::size_t>(Row)];
    if (file.Kind != TActivityKind::Downloading) return nullptr;
    const auto found = Downloads.find(file.Tag);
    return found == Downloads.end() ? nullptr : &found->second;
}

std::string TCopyProgress::DownloadCaption() const { return CountCaption(TextDownloadProgress, Done, Known); }

std::string TCopyProgress::RewriteCaption() const {
    return CountCaption(TextRewriteProgress, Rewritten, PagesToRewrite);
}

bool TCopyProgress::SetPaused(bool Down) {
    if (!JobRunning || !(Down ? Input.PostPause(RunningJobNumber) : Input.PostResume(RunningJobNumber)))
        return false;
    Paused = Down;
    StateDirty();
    return true;
}

bool TCopyProgress::Stop() {
    if (!JobRunning || !Input.PostStop(RunningJobNumber)) return false;
    if (Paused && Input.PostResume(RunningJobNumber)) Paused = false, StateDirty();
    return true;
}

bool TCopyProgress::Abort() { return JobRunning && Input.PostAbort(RunningJobNumber); }

bool TCopyProgress::StopDownload(TStopScope Scope, std::int32_t DownloadNumber) {
    if (!JobRunning || !Downloads.contains(DownloadNumber)) return false;
    switch (Scope) {
    case TStopScope::File: return Input.PostStopFile(RunningJobNumber, DownloadNumber);
    case TStopScope::Host: return Input.PostStopHost(RunningJobNumber, DownloadNumber);
    case TStopScope::Extension: return Input.PostStopFileExtension(RunningJobNumber, DownloadNumber);
    case TStopScope::MimeType: return Input.PostStopMimeType(RunningJobNumber, DownloadNumber);
    }
    return false;
}

std::string TCopyProgress::StopDownloadText(TStopScope Scope, const TActiveDownload& Download) const {
    const std::string* values[] = {&Download.FileName, &Download.HostName, &Download.Extension, &Download.MimeType};
    const int scope = static_cast<int>(Scope);
    return jobs::FillPlaceholders(jobs::LocalText(TextStopFile + scope), *values[scope]);
}

bool TCopyProgress::StopDownloadApplies(TStopScope Scope, const TActiveDownload& Download) const {
    if (Scope == TStopScope::Extension) return !Download.Extension.empty();
    if (Scope == TStopScope::MimeType) return !Download.MimeType.empty();
    return true;
}

bool TCopyProgress::SaveResults(const std::string& FileName, std::string* ErrorText) const {
    TCSVRows rows;
    rows.reserve(Completed.size());
    for (const TCompletedFile& file : Completed) rows.push_back({file.Result, file.Location});
    return ListViewToCSVFile(rows, FileName, {jobs::LocalText(TextResult), jobs::LocalText(TextLocation)},
                             ErrorText);
}

void TCopyProgress::Flush() {
    FlushCompleted();
    FlushActive();
    if (StateChanged) {
        StateChanged = false;
        Observers.Notify([](TCopyProgressObserver& Observer) { Observer.StateChanged(); });
    }
}

void TCopyProgress::FlushCompleted() {
    if (CompletedCleared) {
        const int last = PublishedCompleted - 1;
        CompletedCleared = false;
        PublishedCompleted = 0;
        Observers.Notify([&](TCopyProgressObserver& Observer) { Observer.CompletedRowsRemoved(0, last); });
    }
    if (FirstChanged >= 0) {
        const int first = FirstChanged, last = LastChanged;
        FirstChanged = LastChanged = -1;
        Observers.Notify([&](TCopyProgressObserver& Observer) { Observer.CompletedRowsChanged(first, last); });
    }
    if (CompletedCount() > PublishedCompleted) {
        const int first = PublishedCompleted, last = CompletedCount() - 1;
        PublishedCompleted = CompletedCount();
        Observers.Notify([&](TCopyProgressObserver& Observer) { Observer.CompletedRowsInserted(first, last); });
    }
}

// Rows only ever join at the end, so after the removals the known rows are a
// prefix of the current ones: compare that prefix, then announce the rest.
void TCopyProgress::FlushActive() {
    const auto isGone = [this](const TActiveFile& Row) {
        return std::none_of(Active.begin(), Active.end(), [&](const TActiveFile& Now) { return Now.Id == Row.Id; });
    };
    for (int row = static_cast<int>(PublishedActive.size()) - 1; row >= 0; --row) {
        if (!isGone(PublishedActive[static_cast<std::size_t>(row)])) continue;
        int first = row;
        while (first > 0 && isGone(PublishedActive[static_cast<std::size_t>(first - 1)])) --first;
        PublishedActive.erase(PublishedActive.begin() + first, PublishedActive.begin() + row + 1);
        Observers.Notify([&](TCopyProgressObserver& Observer) { Observer.ActiveRowsRemoved(first, row); });
        row = first;
    }
    const int known = static_cast<int>(PublishedActive.size());
    int firstChanged = -1, lastChanged = -1;
    for (int row = 0; row < known; ++row) {
        const TActiveFile& was = PublishedActive[static_cast<std::size_t>(row)];
        const TActiveFile& now = Active[static_cast<std::size_t>(row)];
        if (was.Location == now.Location && was.Size == now.Size && was.Done == now.Done) continue;
        if (firstChanged < 0) firstChanged = row;
        lastChanged = row;
    }
    PublishedActive = Active;
    if (firstChanged >= 0)
        Observers.Notify([&](TCopyProgressObserver& Observer) { Observer.ActiveRowsChanged(firstChanged, lastChanged); });
    if (static_cast<int>(Active.size()) > known) {
        const int last = static_cast<int>(Active.size()) - 1;
        Observers.Notify([&](TCopyProgressObserver& Observer) { Observer.ActiveRowsInserted(known, last); });
    }
}

} // namespace queue
