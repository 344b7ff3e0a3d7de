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

bool TFileDownloadThread::StartDownload(const web::TURL& Address, const std::string& DestinationFile,
                                        std::int32_t Distance, const web::TURL* Referrer, bool Embedded) {
    {
        std::lock_guard guard(WorkLock);
        if (State() != dsIdle) return false;
        WorkAddress.Assign(Address);
        WorkReferrer.Clear();
        if (ReferrerPassedOn(Referrer)) WorkReferrer.Assign(*Referrer);
        WorkDistance = Distance;
        WorkEmbedded = Embedded;
        InProgress.Start(DestinationFile);
        Complete.Clear();
        Session->ClearStop();
        StateValue.store(dsWorkAssigned, std::memory_order_release);
    }
    WorkReady.notify_one();
    return true;
}

void TFileDownloadThread::Stop() { Session->RequestStop(); }

bool TFileDownloadThread::StopRequested() const { return Session->StopRequested(); }

void TFileDownloadThread::MarkIdle() {
    std::lock_guard guard(WorkLock);
    if (State() == dsFinished) StateValue.store(dsIdle, std::memory_order_release);
}

TFileDownloadInProgressData TFileDownloadThread::Progress() const { return InProgress.Get(); }

std::string TFileDownloadThread::DestinationFile() const { return InProgress.DestinationFile(); }

void TFileDownloadThread::SetState(TFileDownloadState NewState) {
    StateValue.store(NewState, std::memory_order_release);
    if (Services.StateChanged) Services.StateChanged();
}

void TFileDownloadThread::Execute(std::stop_token Token) {
    base::LowerThisThreadsPriority();
    for (;;) {
        {
            std::unique_lock guard(WorkLock);
            if (!WorkReady.wait(guard, Token, [this] { return State() == dsWorkAssigned; })) return;
        }
        RunDownload();
        SetState(dsFinished);
    }
}

// One download from the filter's first check to the result.
void TFileDownloadThread::RunDownload() {
    PageBody.clear();
    Complete.Address.Assign(WorkAddress);
    Complete.Referrer.Assign(WorkReferrer);
    TraceDownloadStart(WorkAddress, WorkReferrer);
    try {
        const std::string destination = DestinationFile();
        Complete.IsPage = NamedAsPage(destination, WorkAddress);
        Complete.FilterResult = Filter.CheckBeforeDownload(WorkAddress, WorkDistance, WorkEmbedded);
        if (Complete.FilterResult == dfPassed) {
            if (destination.empty()) {
                Complete.ExceptionRaised = true;
                Complete.ExceptionText = "No destination filename";
                base::TraceLog.LogEntry(base::ttException, Complete.ExceptionText, "Execute", DownloadUnitName);
            } else {
                EnsureBaseDownloadHandlesCreated();
                TDownloadTask task{.Session = *Session,
                                   .Filter = Filter,
                                   .MIMETable = MIMETable,
                                   .Services = Services,
                                   .Options = Options,
                                   .RootErrors = RootErrors,
                                   .Address = WorkAddress,
                                   .Referrer = WorkReferrer,
                                   .Distance = WorkDistance,
                                   .Embedded = WorkEmbedded,
                                   .Progress = InProgress,
                                   .Complete = Complete,
                                   .ReadingData = [this] { SetState(dsReadingData); },
                                   .PageBody = &PageBody};
                DownloadByScheme(task);
                // An earlier run saved the page under an added extension ("x.php.htm"):
                // unchanged, it is not fetched, but it is parsed again all the same.
                if (!Complete.IsPage && DestinationFile() != destination)
                    Complete.IsPage = NamedAsPage(DestinationFile(), WorkAddress);
            }
        }
    } catch (const std::exception& Error) {
        Complete.ExceptionRaised = true;
        Complete.ExceptionText = Error.what();
        base::TraceLog.LogEntry(base::ttException, Error.what(), "Execute", DownloadUnitName);
    }
    Complete.LocalFile = DestinationFile();
    TraceDownloadStop(WorkAddress);
}

void TFileDownloadThread::DownloadByScheme(TDownloadTask& Task) {
    switch (WorkAddress.GetScheme()) {
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
