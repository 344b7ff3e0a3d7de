#pragma once

#include "queue/JobCompletionAutomation.h"
#include "queue/JobLog.h"
#include "queue/JobQueue.h"
#include "queue/ProcessRunner.h"
#include "queue/ShutdownComputer.h"
#include "ui/CommandLine.h"
#include "ui/PreferencesWindow.h"

#include <QMainWindow>
#include <QTimer>

#include <cstdint>

class QTabWidget;

namespace jobs {
class TPasswordManager;
class TSavedOptions;
} // namespace jobs

namespace messaging {
class TSpiderOutputSplitter;
}

namespace queue {
class TCopyProgress;
}

namespace ui {

class TAboutFrame;
class TClipboardWatcher;
class TCopyProgressFrame;
class TJobLogFrame;
class TJobQueueFrame;
class TPreferencesFrame;
class TStartFrame;
class TTrayIcon;

// What the main window works with; all borrowed, all outliving the window.
struct TMainFormServices {
    jobs::TSavedOptions& Settings;
    queue::TJobQueue& Queue;
    jobs::TPasswordManager& Passwords; // the store the download threads consult
    queue::TJobQueuePrompts& Prompts; // the queue's, the automation's and the Start page's questions
    messaging::TSpiderOutputSplitter& Splitter; // on the GUI thread; the job log subscribes to it
    queue::TSpiderShutdown Spider; // ends the spider thread when the program closes
    queue::TCopyProgress& Progress; // the reports of the running job, shown on the Progress page
};

// The program's one top-level window: six pages, the tray icon, the
// clipboard watcher, dropped files, its saved position, and the close that
// aborts a running job and waits for its end before the program ends. Owns
// the job log and the job completion automation its pages show.
class TMainForm final : public QMainWindow,
                        public TOpenTarget,
                        public queue::TJobQueueObserver,
                        public queue::TAutomationObserver,
                        public TPreferencesWindow {
    Q_OBJECT

  public:
    // The pages in tab order.
    enum TPage { pgStart, pgJobQueue, pgProgress, pgPreferences, pgLog, pgAbout };

    explicit TMainForm(TMainFormServices Services, QWidget* Parent = nullptr);
    ~TMainForm() override;

    // Shows the window in the state it was closed in.
    void ShowInitially();
    void ShowPage(TPage Page);
    // TPreferencesWindow
    void SetQueueShown(bool Shown) override;
    void SetJobLogEnabled(bool Enabled) override;
    void SetStayOnTop(bool OnTop) override;
    void ShowNotice(const QString& Text) override;
    // TAutomationObserver
    void StartFlashing(int Seconds) override;
    void StopFlashing() override;
    void BringMainWindowToFront(bool RestoreFromTray);
    void IgnoreNextClipboardChange();
    // Parameters of this start or of a later start handed over.
    void ProcessParams(const QStringList& Params);
    // Aborts a running job, waits for its end, then ends the program.
    void BeginShutdown();

    TStartFrame* StartPage() const { return Start; }
    TJobQueueFrame* JobQueuePage() const { return JobQueue; }
    TCopyProgressFrame* ProgressPage() const { return Progress; }
    TPreferencesFrame* PreferencesPage() const { return Preferences; }
    TJobLogFrame* LogPage() const { return Log; }
    TAboutFrame* AboutPage() const { return About; }
    queue::TJobLog& CompletedJobs() { return JobLog; }
    queue::TJobCompletionAutomation& Automation() { return CompletionAutomation; }

    // TOpenTarget
    bool AddJobFile(const std::string& Path) override;
    TQueueAnswer CopyAddressNow(const std::string& Address) override;
    void LoadJobFile(const std::string& Path) override;
    void NewJobFromAddress(const std::string& Address) override;
    void ReportInvalidParameter(const std::string& Parameter) override;
    bool StartPageCurrent() const override;

    // TJobQueueObserver: the queue-wide events; row events move the close along.
    // PageWanted also serves the automation's countdowns.
    void RowStatusChanged(int Index) override;
    void TrayHintChanged(const std::string& Hint) override;
    void BusyChanged(bool Busy) override;
    void CommandPendingChanged(bool Pending) override;
    void PageWanted(queue::TMainPage Page) override;

  protected:
    void closeEvent(QCloseEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;

  private:
    void CreatePages();
    void UpdateLanguage();
    void UpdateCaption();
    void LoadWindowPosition();
    void SaveWindowPosition();
    void QueueClipboardAddresses(const QStringList& Addresses);
    void ContinueShutdown();
    void FinishShutdown();

    TMainFormServices Services;
    queue::TJobLog JobLog;
    queue::TSpawnProcessRunner ProcessRunner;
    queue::TCommandShutdown PowerOff;
    queue::TJobCompletionAutomation CompletionAutomation;
    QTabWidget* MainPageControl;
    TStartFrame* Start = nullptr;
    TJobQueueFrame* JobQueue = nullptr;
    TCopyProgressFrame* Progress = nullptr;
    TPreferencesFrame* Preferences = nullptr;
    TJobLogFrame* Log = nullptr;
    TAboutFrame* About = nullptr;
    TTrayIcon* Tray;
    TClipboardWatcher* Clipboard;
    int InitialWindowState = 0; // as saved: 0 normal, 1 minimised, 2 maximised
    bool CursorOverridden = false;
    bool ShuttingDown = false;
    bool ShutdownDone = false;
    std::int32_t AbortedJobNumber = 0; // the job this close aborted already
    QTimer ShutdownDeadline;           // ends the program even when a job does not end
};

} // namespace ui
