#include "ui/MainForm.h"

#include "jobs/AppInfo.h"
#include "jobs/LanguageStrings.h"
#include "jobs/SavedOptions.h"
#include "ui/AboutFrame.h"
#include "ui/ClipboardWatcher.h"
#include "ui/AutomationControls.h"
#include "ui/CopyProgressFrame.h"
#include "ui/Icons.h"
#include "ui/JobLogFrame.h"
#include "ui/JobQueueFrame.h"
#include "ui/PreferencesFrame.h"
#include "ui/StartFrame.h"
#include "ui/StartingAddressPage.h"
#include "ui/TrayIcon.h"
#include "web/StartingURL.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QLayout>
#include <QMessageBox>
#include <QMimeData>
#include <QTabWidget>

#include <memory>

namespace ui {

namespace {

namespace S = jobs::Settings;

constexpr int FirstTabText = 10; // "Start"; the five other captions follow
constexpr int TextInvalidParameter = 185;
// How long a close waits for a running job to end after its abort.
constexpr int ShutdownPatienceMs = 15000;

QString Text(int Number) { return QString::fromStdString(jobs::LocalText(Number)); }

std::vector<std::string> LocalFiles(const QMimeData* Mime) {
    std::vector<std::string> paths;
    for (const QUrl& url : Mime->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    return paths;
}

} // namespace

TMainForm::TMainForm(TMainFormServices Services, QWidget* Parent)
    : QMainWindow(Parent), Services(Services), JobLog(Services.Settings.DataFolder()),
      CompletionAutomation(Services.Queue, Services.Settings, Services.Prompts, ProcessRunner, PowerOff),
      MainPageControl(new QTabWidget(this)), Tray(new TTrayIcon(this)),
      Clipboard(new TClipboardWatcher(QApplication::clipboard(),
                                      [this] { return this->Services.Settings.ClipboardResponse(); }, this)) {
    setObjectName("MainForm");
    setWindowIcon(ProgramIcon());
    setMinimumSize(550, 400);
    resize(552, 404);
    setAcceptDrops(true);
    JobLog.InitJobLog(Services.Splitter);
    CompletionAutomation.InitCommandLinePopupMenu();
    CompletionAutomation.Subscribe(*this);
    CreatePages();
    UpdateLanguage();
    UpdateCaption();
    Tray->SetTrayHint(QString::fromStdString(Services.Queue.TrayHint()));
    LoadWindowPosition();
    Services.Queue.Subscribe(*this);

    connect(Tray, &TTrayIcon::Clicked, this, [this] { BringMainWindowToFront(true); });
    connect(Clipboard, &TClipboardWatcher::OfferAddress, this, [this](const QString& Address) {
        BringMainWindowToFront(true);
        NewJobFromAddress(Address.toStdString());
    });
    connect(Clipboard, &TClipboardWatcher::QueueAddresses, this, &TMainForm::QueueClipboardAddresses);
    ShutdownDeadline.setSingleShot(true);
    connect(&ShutdownDeadline, &QTimer::timeout, this, &TMainForm::FinishShutdown);
    Clipboard->Arm();
}

TMainForm::~TMainForm() {
    Services.Queue.Unsubscribe(*this);
    CompletionAutomation.Unsubscribe(*this);
    // The pages watch the log and the automation, which go before the window's children.
    std::unique_ptr<QWidget> pages(takeCentralWidget());
    if (CursorOverridden) QApplication::restoreOverrideCursor();
}

void TMainForm::CreatePages() {
    MainPageControl->setObjectName("MainPageControl");
    Start = new TStartFrame(Services.Queue, Services.Settings, Services.Prompts);
    Start->Initialize();
    connect(Start->StartingAddressPage(), &TStartingAddressPage::PasswordsWanted, this, [this] {
        ShowPage(pgPreferences);
        Preferences->ShowPasswordsPage();
    });
    JobQueue = new TJobQueueFrame(Services.Queue);
    JobQueue->AutomationFrame()->layout()->addWidget(new TAutomationControls(CompletionAutomation));
    Progress = new TCopyProgressFrame(Services.Progress);
    Preferences = new TPreferencesFrame(Services.Settings, Services.Passwords, *this);
    Log = new TJobLogFrame(JobLog);
    About = new TAboutFrame;
    for (QWidget* page : std::initializer_list<QWidget*>{Start, JobQueue, Progress, Preferences, Log, About})
        MainPageControl->addTab(page, QString());
    setCentralWidget(MainPageControl);
    ShowPage(pgStart);
}

void TMainForm::UpdateLanguage() {
    for (int page = pgStart; page <= pgAbout; ++page) MainPageControl->setTabText(page, Text(FirstTabText + page));
    JobQueue->UpdateLanguage();
    Log->UpdateLanguage();
    Progress->UpdateLanguage();
}

// The product name, and the address of the job that runs.
void TMainForm::UpdateCaption() {
    QString caption = QString::fromStdString(jobs::AppInfo.ProductName());
    if (const int busy = Services.Queue.FindBusyJob(); busy >= 0) {
        const web::TURL url = web::GetStartingURL(Services.Queue.Entry(busy).Job);
        caption += " - " + QString::fromStdString(url.GetPlainURL());
    }
    setWindowTitle(caption);
}

void TMainForm::ShowInitially() {
    if (InitialWindowState == 2) showMaximized();
    else if (InitialWindowState == 1) showMinimized();
    else show();
}

void TMainForm::ShowPage(TPage Page) { MainPageControl->setCurrentIndex(Page); }

void TMainForm::SetQueueShown(bool Shown) {
    MainPageControl->setTabVisible(pgJobQueue, Shown);
    Services.Queue.SetQueueShown(Shown);
    Start->SetQueueShown(Shown);
    if (!Shown) Services.Queue.RemoveIdleJobs();
}

void TMainForm::SetJobLogEnabled(bool Enabled) {
    JobLog.SetJobLogEnabled(Enabled);
    MainPageControl->setTabVisible(pgLog, Enabled);
}

void TMainForm::SetStayOnTop(bool OnTop) {
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, OnTop);
    if (visible) show();
}

void TMainForm::ShowNotice(const QString& Text) {
    QMessageBox::warning(this, QString::fromStdString(jobs::AppInfo.ProductName()), Text);
}

void TMainForm::StartFlashing(int Seconds) { Tray->StartFlashing(Seconds); }

void TMainForm::StopFlashing() { Tray->StopFlashing(); }

void TMainForm::BringMainWindowToFront(bool RestoreFromTray) {
    if (isMinimized() || isHidden()) {
        if (!RestoreFromTray) return;
        showNormal();
    }
    raise();
    activateWindow();
}

void TMainForm::IgnoreNextClipboardChange() { Clipboard->IgnoreNextClipboardChange(); }

void TMainForm::ProcessParams(const QStringList& Params) {
    std::vector<std::string> params;
    for (const QString& param : Params) params.push_back(param.toStdString());
    ProcessCommandLine(params, *this);
}

void TMainForm::QueueClipboardAddresses(const QStringList& Addresses) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (const QString& address : Addresses)
        if (CopyAddressNow(address.toStdString()) == TQueueAnswer::QueueFull) break;
    QApplication::restoreOverrideCursor();
}

bool TMainForm::AddJobFile(const std::string& Path) { return Services.Queue.AddJobFile(Path); }

TQueueAnswer TMainForm::CopyAddressNow(const std::string& Address) { return Start->CopyAddressNow(Address); }

void TMainForm::LoadJobFile(const std::string& Path) { Start->LoadJobFile(Path); }

void TMainForm::NewJobFromAddress(const std::string& Address) {
    ShowPage(pgStart);
    Start->NewJobFromAddress(Address);
}

void TMainForm::ReportInvalidParameter(const std::string& Parameter) {
    QMessageBox::warning(this, Text(TextInvalidParameter), QString::fromStdString(Parameter));
}

bool TMainForm::StartPageCurrent() const { return MainPageControl->currentWidget() == Start; }

void TMainForm::RowStatusChanged(int) { ContinueShutdown(); }

void TMainForm::TrayHintChanged(const std::string& Hint) { Tray->SetTrayHint(QString::fromStdString(Hint)); }

void TMainForm::BusyChanged(bool Busy) {
    Tray->SetBusyIcon(Busy);
    Start->SetJobRunning(Busy);
    UpdateCaption();
    ContinueShutdown();
}

void TMainForm::CommandPendingChanged(bool Pending) {
    if (Pending && !CursorOverridden) QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!Pending && CursorOverridden) QApplication::restoreOverrideCursor();
    CursorOverridden = Pending;
    ContinueShutdown();
}

void TMainForm::PageWanted(queue::TMainPage Page) {
    ShowPage(Page == queue::TMainPage::JobQueue ? pgJobQueue : pgProgress);
}

// Closing is always allowed, but the program ends only after a running job
// has ended from its abort, so its partial files stay resumable.
void TMainForm::closeEvent(QCloseEvent* Event) {
    if (ShutdownDone) return Event->accept();
    Event->ignore();
    BeginShutdown();
}

void TMainForm::BeginShutdown() {
    if (ShuttingDown) return;
    ShuttingDown = true;
    SaveWindowPosition();
    hide();
    ShutdownDeadline.start(ShutdownPatienceMs);
    ContinueShutdown();
}

// Called again at every change of the queue while the program closes: a job
// whose start was pending gets its abort once the spider reports it running.
void TMainForm::ContinueShutdown() {
    if (!ShuttingDown || ShutdownDone) return;
    const int busy = Services.Queue.FindBusyJob();
    if (busy >= 0 && Services.Queue.Entry(busy).JobNumber != AbortedJobNumber &&
        Services.Queue.AbortJob(busy))
        AbortedJobNumber = Services.Queue.Entry(busy).JobNumber;
    // Not inside the queue's own notification: the queue finishes its change first.
    if (busy < 0 && !Services.Queue.CommandPending())
        QMetaObject::invokeMethod(this, &TMainForm::FinishShutdown, Qt::QueuedConnection);
}

void TMainForm::FinishShutdown() {
    if (ShutdownDone) return;
    ShutdownDone = true;
    ShutdownDeadline.stop();
    Services.Queue.PrepareForAppShutdown(Services.Spider);
    QApplication::quit();
}

void TMainForm::changeEvent(QEvent* Event) {
    QMainWindow::changeEvent(Event);
    if (Event->type() != QEvent::WindowStateChange || !isMinimized()) return;
    if (Tray->Available() && Services.Settings.Read(S::MinimizeToTaskbar))
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* Event) {
    if (!LocalFiles(Event->mimeData()).empty()) Event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* Event) {
    const std::vector<std::string> paths = LocalFiles(Event->mimeData());
    Event->acceptProposedAction();
    OpenFiles(paths, TOpenMode::Dropped, *this);
}

void TMainForm::LoadWindowPosition() {
    InitialWindowState = Services.Settings.Read(S::WindowState);
    if (InitialWindowState == 2) return;
    const int left = Services.Settings.Read(S::WindowLeft), top = Services.Settings.Read(S::WindowTop);
    const int width = Services.Settings.Read(S::WindowWidth), height = Services.Settings.Read(S::WindowHeight);
    // Without a saved position the desktop places the window.
    if (left != -1 || top != -1) move(left != -1 ? left : x(), top != -1 ? top : y());
    if (width != -1 || height != -1) resize(width != -1 ? width : this->width(), height != -1 ? height : this->height());
}

void TMainForm::SaveWindowPosition() {
    const int state = isMaximized() ? 2 : isMinimized() ? 1 : 0;
    Services.Settings.Write(S::WindowState, state);
    if (state == 2) return;
    Services.Settings.Write(S::WindowLeft, x());
    Services.Settings.Write(S::WindowTop, y());
    Services.Settings.Write(S::WindowWidth, width());
    Services.Settings.Write(S::WindowHeight, height());
}

} // namespace ui
