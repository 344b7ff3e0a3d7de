#include "engine/DownloadThread.h"

#include "engine/DownloadFilter.h"
#include "engine/DownloadTask.h"
#include "engine/FTPDownload.h"
#include "engine/HTTPDownload.h"
#include "base/AppTraceLog.h"
#include "base/ThreadPriority.h"

#include <exception>
#include <filesystem>

namespace engine {

using base::TraceLog;

namespace {

// A referrer of the file scheme would tell a server about local files.
bool ReferrerPassedOn(const web::TURL* Referrer) {
    return Referrer && Referrer->GetScheme() != web::SchemeFile;
}

// Both entries are built only for an open log: refused links come by the
// hundred thousand, and their texts would cost more than the refusal.
void TraceDownloadStart(const web::TURL& Address, const web::TURL& Referrer) {
    if (!base::TraceLog.FileOpen()) return;
    std::string start = "Start download of " + Address.GetPlainURL();
    if (Referrer.IsValid()) start += " via " + Referrer.GetPlainURL();
    base::TraceLog.LogEntry(base::ttMessage, start, "Execute", DownloadUnitName);
}

void TraceDownloadStop(const web::TURL& Address) {
    if (!base::TraceLog.FileOpen()) return;
    // Without credentials: the log must never hold a password.
    base::TraceLog.LogEntry(base::ttMessage, "Stop download of " + Address.GetURL(false, true, true, true, true),
                            "Execute", DownloadUnitName);
}

// Provisional: a page (or style sheet) already on disk is parsed again even when it is not fetched.
bool NamedAsPage(const std::string& Destination, const web::TURL& Address) {
    std::string extension = std::filesystem::path(Destination).extension().string();
    if (extension.empty()) extension = Address.GetExtension();
    return !Destination.empty() && (web::IsHTMLExtension(extension) || web::IsStyleSheetExtension(extension));
}

} // namespace

void RecordRefusedDownload(TFileDownloadCompleteData& Complete, const web::TURL& Address,
                           const web::TURL* Referrer, const std::string& Destination,
                           std::uint8_t FilterResult) {
    Complete.Clear();
    Complete.Address.Assign(Address);
    if (ReferrerPassedOn(Referrer)) Complete.Referrer.Assign(*Referrer);
    TraceDownloadStart(Complete.Address, Complete.Referrer);
    Complete.IsPage = NamedAsPage(Destination, Address);
    Complete.FilterResult = FilterResult;
    Complete.LocalFile = Destination;
    TraceDownloadStop(Address);
}

TFileDownloadThread::TFileDownloadThread(TDownloadFilter& Filter, TMIMEExtensionsTable& MIMETable,
                                         TDownloadThreadServices GivenServices)
    : Filter(Filter), MIMETable(MIMETable), Services(std::move(GivenServices)),
      Session(std::make_unique<TInternetSession>(Services.Cookies, Services.ClientSettings)),
      Worker([this](std::stop_token Token) { Execute(Token); }) {}

TFileDownloadThread::~TFileDownloadThread() {
    Worker.request_stop();
    Session->RequestStop();
    if (Worker.joinable()) Worker.join();
}

void TFileDownloadThread::SetOptions(const jobs::TDownloadOptions& NewOptions) {
    Options = NewOptions;
    Session->SetOptions(NewOptions);
}

bool TFileDownloadThread::StartDownload(int Slot, const web::TURL& Address, const std::string& DestinationFile,
                                        std::int32_t Distance, const web::TURL* Referrer, bool Embedded) {
    TDownloadSlot& slot = Slots[static_cast<std::size_t>(Slot)];
    {
        std::lock_guard guard(WorkLock);
        if (slot.State() != dsIdle) return false;
        slot.WorkAddress.Assign(Address);
        slot.WorkReferrer.Clear();
        if (ReferrerPassedOn(Referrer)) slot.WorkReferrer.Assign(*Referrer);
        slot.WorkDistance = Distance;
        slot.WorkEmbedded = Embedded;
        slot.HandOver = ++HandOvers;
        slot.InProgress.Start(DestinationFile);
        slot.Complete.Clear();
        slot.StateValue.store(dsQueued, std::memory_order_release);
    }
    WorkReady.notify_one();
    return true;
}

// Under the lock, so that the worker never begins a download after a stop
// that was meant for the one before it.
unsigned TFileDownloadThread::Stop() {
    std::lock_guard guard(WorkLock);
    const unsigned withdrawn = WithdrawLocked();
    Session->RequestStop();
    return withdrawn;
}

unsigned TFileDownloadThread::Withdraw() {
    std::lock_guard guard(WorkLock);
    return WithdrawLocked();
}

unsigned TFileDownloadThread::WithdrawLocked() {
    unsigned withdrawn = 0;
    for (int i = 0; i < SlotCount; ++i) {
        if (Slots[static_cast<std::size_t>(i)].State() != dsQueued) continue;
        Slots[static_cast<std::size_t>(i)].StateValue.store(dsIdle, std::memory_order_release);
        withdrawn |= 1u << i;
    }
    return withdrawn;
}

void TFileDownloadThread::MarkIdle(int Slot) {
    TDownloadSlot& slot = Slots[static_cast<std::size_t>(Slot)];
    std::lock_guard guard(WorkLock);
    if (slot.State() == dsFinished) slot.StateValue.store(dsIdle, std::memory_order_release);
}

std::array<int, TFileDownloadThread::SlotCount> TFileDownloadThread::InHandOverOrder() const {
    static_assert(SlotCount == 2);
    if (Slots[0].HandOver <= Slots[1].HandOver) return {0, 1};
    return {1, 0};
}

void TFileDownloadThread::TellStateChanged() {
    if (Services.StateChanged) Services.StateChanged();
}

void TFileDownloadThread::Execute(std::stop_token Token) {
    base::LowerThisThreadsPriority();
    bool finishedUntold = false;
    while (TDownloadSlot* slot = BeginNextDownload(Token, finishedUntold)) {
        RunDownload(*slot);
        slot->StateValue.store(dsFinished, std::memory_order_release);
        finishedUntold = true;
    }
}

// Waits for the download handed over first and begins it; null when the
// thread is to end. The dispatcher hears of a finished download together with
// the next one's beginning, or before the wait when none is queued.
TDownloadSlot* TFileDownloadThread::BeginNextDownload(std::stop_token Token, bool FinishedUntold) {
    std::unique_lock guard(WorkLock);
    if (FinishedUntold && !NextQueued()) {
        guard.unlock();
        TellStateChanged();
        guard.lock();
    }
    TDownloadSlot* slot = nullptr;
    WorkReady.wait(guard, Token, [&] { return (slot = NextQueued()) != nullptr; });
    // The thread is ending: what waits is not begun, though the wait saw it.
    if (Token.stop_requested()) return nullptr;
    Session->ClearStop();
    slot->StateValue.store(dsWorkAssigned, std::memory_order_release);
    guard.unlock();
    TellStateChanged();
    return slot;
}

TDownloadSlot* TFileDownloadThread::NextQueued() {
    TDownloadSlot* next = nullptr;
    for (auto& slot : Slots)
        if (slot.State() == dsQueued && (!next || slot.HandOver < next->HandOver)) next = &slot;
    return next;
}

// One download from the filter's first check to the result.
void TFileDownloadThread::RunDownload(TDownloadSlot& Slot) {
    Slot.PageBody.clear();
    TFileDownloadCompleteData& complete = Slot.Complete;
    complete.Address.Assign(Slot.WorkAddress);
    complete.Referrer.Assign(Slot.WorkReferrer);
    TraceDownloadStart(Slot.WorkAddress, Slot.WorkReferrer);
    try {
        const std::string destination = Slot.DestinationFile();
        complete.IsPage = NamedAsPage(destination, Slot.WorkAddress);
        complete.FilterResult = Filter.CheckBeforeDownload(Slot.WorkAddress, Slot.WorkDistance, Slot.WorkEmbedded);
        if (complete.FilterResult == dfPassed) {
            if (destination.empty()) {
                complete.ExceptionRaised = true;
                complete.ExceptionText = "No destination filename";
                base::TraceLog.LogEntry(base::ttException, complete.ExceptionText, "Execute", DownloadUnitName);
            } else {
                EnsureBaseDownloadHandlesCreated();
                TDownloadTask task{.Session = *Session,
                                   .Filter = Filter,
                                   .MIMETable = MIMETable,
                                   .Services = Services,
                                   .Options = Options,
                                   .RootErrors = RootErrors,
                                   .Address = Slot.WorkAddress,
                                   .Referrer = Slot.WorkReferrer,
                                   .Distance = Slot.WorkDistance,
                                   .Embedded = Slot.WorkEmbedded,
                                   .Progress = Slot.InProgress,
                                   .Complete = complete,
                                   .ReadingData =
                                       [this, &Slot] {
                                           Slot.StateValue.store(dsReadingData, std::memory_order_release);
                                           TellStateChanged();
                                       },
                                   .PageBody = &Slot.PageBody};
                DownloadByScheme(task);
                // An earlier run saved the page under an added extension ("x.php.htm"):
                // unchanged, it is not fetched, but it is parsed again all the same.
                if (!complete.IsPage && Slot.DestinationFile() != destination)
                    complete.IsPage = NamedAsPage(Slot.DestinationFile(), Slot.WorkAddress);
            }
        }
    } catch (const std::exception& Error) {
        complete.ExceptionRaised = true;
        complete.ExceptionText = Error.what();
        base::TraceLog.LogEntry(base::ttException, Error.what(), "Execute", DownloadUnitName);
    }
    complete.LocalFile = Slot.DestinationFile();
    TraceDownloadStop(Slot.WorkAddress);
}

void TFileDownloadThread::DownloadByScheme(TDownloadTask& Task) {
    switch (Task.Address.GetScheme()) {
    case web::SchemeHTTP:
    case web::SchemeHTTPS:
        THTTPDownload(Task).Run();
        break;
    case web::SchemeFTP:
        TFTPDownload(Task).Run();
        break;
    default:
        break;  // the filter refuses every other scheme
    }
}

void TFileDownloadThread::EnsureBaseDownloadHandlesCreated() {
    const struct {
        TInternetRoot Root;
        const char* Call;
    } roots[] = {{TInternetRoot::FTP, "InternetOpen"},
                 {TInternetRoot::HTTP, "InternetOpen"},
                 {TInternetRoot::HTTPS, "InternetOpen (HTTPS)"}};
    for (const auto& root : roots) {
        if (Session->HasRoot(root.Root)) continue;
        std::int32_t error = 0;
        if (!Session->EnsureRoot(root.Root, error)) {
            RootErrors[static_cast<std::size_t>(root.Root)] = error;
            base::TraceLog.LogAPIErrorCode(error, root.Call, "OpenWininetHandle", DownloadUnitName);
        }
    }
}

} // namespace engine
