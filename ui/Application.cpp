#include "ui/Application.h"

#include "base/AppTraceLog.h"
#include "engine/CopyEngine.h"
#include "jobs/AppInfo.h"
#include "jobs/LanguageStrings.h"
#include "jobs/PasswordMgr.h"
#include "jobs/RegisterFileType.h"
#include "jobs/SavedOptions.h"
#include "queue/CopyProgress.h"
#include "queue/JobQueue.h"
#include "ui/CommandLine.h"
#include "ui/MainForm.h"
#include "ui/MessageBoxPrompts.h"
#include "ui/PreferencesFrame.h"
#include "ui/SingleInstance.h"
#include "ui/SpiderOutputRelay.h"
#include "ui/TerminationSignals.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QSessionManager>
#include <QUrl>

namespace ui {

namespace {

namespace S = jobs::Settings;

std::vector<std::string> Parameters(const QStringList& Arguments) {
    std::vector<std::string> params;
    for (qsizetype i = 1; i < Arguments.size(); ++i) params.push_back(Arguments[i].toStdString());
    return params;
}

// The running copy has its own working folder: files go over as absolute paths.
QStringList HandOverParameters(const QStringList& Arguments) {
    QStringList params = Arguments.mid(1);
    for (QString& param : params)
        if (!param.startsWith('-') && QFileInfo(param).isFile()) param = QFileInfo(param).absoluteFilePath();
    return params;
}

// Removes the association and, in a data folder of the program's own, every
// file directly in it and then the folder (which stays while anything else is in it).
int Uninstall() {
    jobs::UnregisterFileType();
    const jobs::TDataFolderChoice& data = jobs::GetDataFolderChoice();
    if (data.Kind != jobs::TDataFolderKind::PerUser && data.Kind != jobs::TDataFolderKind::Override) return 0;
    QDir folder(QString::fromStdString(data.Folder));
    for (const QString& file : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) folder.remove(file);
    folder.rmdir(folder.absolutePath());
    return 0;
}

void StartTraceLog(const std::vector<std::string>& Params) {
    // The log's own switch is written the way every other switch is.
    std::vector<std::string> logParams;
    if (HasSwitch(Params, EventLogSwitch)) logParams.push_back("/eventlog");
    base::TTraceLogHooks hooks;
    hooks.CtrlAndShiftHeld = [] {
        const auto held = QGuiApplication::queryKeyboardModifiers();
        return held.testFlag(Qt::ControlModifier) && held.testFlag(Qt::ShiftModifier);
    };
    hooks.ShowStartupOutcome = [](bool FileOpen, const std::string& FileName) {
        if (FileOpen) QMessageBox::information(nullptr, QString(), QObject::tr("Event logging enabled."));
        else QMessageBox::warning(nullptr, QString(), "Unable to create " + QString::fromStdString(FileName));
    };
    hooks.ExclamationBeep = [] { QApplication::beep(); };
    hooks.OpenLogFile = [](const std::string& FileName) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(FileName)));
    };
    base::TraceLog.Start(logParams, jobs::GetDataFolder(), std::move(hooks));
    jobs::AppInfo.LogStartupInfo();
}

// The engine, the queue and the window of one run, in the order they are
// made; they go in the reverse order, the window first and the engine last.
int RunMainWindow(QApplication& App, jobs::TSavedOptions& Settings, TSingleInstance& Single) {
    jobs::TPasswordManager passwords;
    jobs::LoadPasswords(passwords, jobs::PasswordFileName(jobs::GetDataFolder()));
    engine::TCopyEngine engine(Settings, passwords);
    TMessageBoxPrompts prompts;
    // The progress page hears each report before the queue acts on it.
    queue::TCopyProgress progress(engine.Input(), [&Settings] { return Settings.Read(S::ShowFriendlyDownloadResults); });
    progress.Subscribe(engine.Splitter());
    queue::TJobQueue jobQueue(engine.Input(), Settings, prompts);
    if (!jobQueue.InitJobQueue(engine.Splitter()))
        base::TraceLog.LogEntry(base::ttWarning, "", "RegisterForSpiderOutput", "JobQueue");
    TSpiderOutputRelay relay(engine.Output(), engine.Splitter());
    TMainForm window({Settings, jobQueue, passwords, prompts, engine.Splitter(), {[&engine] { engine.Terminate(); }, [&engine] { return engine.Finished(); }}, progress});
    prompts.SetOwner(&window);
    window.SetJobLogEnabled(Settings.Read(S::LogCompletedJobs));
    window.SetQueueShown(Settings.Read(S::ShowJobQueue));
    window.PreferencesPage()->LoadAll();

    TTerminationSignals termination;
    QObject::connect(&termination, &TTerminationSignals::TerminationRequested, &window, &TMainForm::BeginShutdown);
    QObject::connect(&App, &QGuiApplication::commitDataRequest, &window, [&window](QSessionManager&) { window.BeginShutdown(); });
    QObject::connect(&Single, &TSingleInstance::ParamsReceived, &window, [&window](const QStringList& Params) {
        window.ProcessParams(Params);
        window.BringMainWindowToFront(true);
    });

    window.ShowInitially();
    // Inside the event loop: a close or SIGTERM while a prompt about a
    // parameter is open must end the loop, which only a running loop can.
    QMetaObject::invokeMethod(&window, [&window, params = App.arguments().mid(1)] { window.ProcessParams(params); },
                              Qt::QueuedConnection);
    engine.Resume();
    const int status = App.exec();
    engine.Terminate();
    return status;
}

} // namespace

int RunApplication(QApplication& App) {
    App.setQuitOnLastWindowClosed(false); // the window hides to the tray; closing ends the run itself
    const std::vector<std::string> params = Parameters(App.arguments());
    jobs::SetLanguageFolder(QApplication::applicationDirPath().toStdString() + "/Languages/");
    jobs::TSavedOptions settings;
    settings.Initialize(jobs::GetDataFolder());

    if (HasSwitch(params, RunOnceSwitch)) return jobs::RegisterFileType() ? 0 : 1;
    if (HasSwitch(params, UninstallSwitch)) return Uninstall();

    const bool ownDataFolder = jobs::GetDataFolderChoice().Kind == jobs::TDataFolderKind::Override;
    TSingleInstance single(SingleInstanceServerName(QString::fromStdString(jobs::GetDataFolder()), ownDataFolder));
    if (!settings.AllowMultipleInstances() && single.SendParamsToRunningInstance(HandOverParameters(App.arguments())))
        return 0;
    single.Listen();

    StartTraceLog(params);
    int status = 1;
    try {
        status = RunMainWindow(App, settings, single);
    } catch (const std::exception& Error) {
        base::TraceLog.LogEntry(base::ttException, Error.what(), "Initialization", "Harvexis");
        QMessageBox::critical(nullptr, QString(), QString::fromUtf8(Error.what()));
    }
    base::TraceLog.Shutdown();
    return status;
}

} // namespace ui
