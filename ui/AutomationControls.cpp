#include "ui/AutomationControls.h"

#include "jobs/LanguageStrings.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>

namespace ui {

namespace {

using TAutomation = queue::TJobCompletionAutomation;

// Captions by text number.
constexpr int TextAutomation = 19, TextStartJobs = 144, TextUniqueSubfolder = 145, TextShutdown = 146,
              TextRunApp = 147, TextRemoveCompleted = 148;

QString Text(int Number) { return QString::fromStdString(jobs::LocalText(Number)); }

} // namespace

TAutomationControls::TAutomationControls(TAutomation& Automation, QWidget* Parent)
    : QWidget(Parent), Automation(Automation), Group(new QGroupBox(this)),
      StartJobsAutomatically(AddSwitch("StartJobsAutomatically", &TAutomation::SetStartJobsAutomatically)),
      RemoveCompletedJobs(AddSwitch("RemoveCompletedJobs", &TAutomation::SetRemoveCompletedJobs)),
      SaveToUniqueSubfolder(AddSwitch("SaveToUniqueSubfolder", &TAutomation::SetSaveToUniqueSubfolder)),
      ShutdownWhenAllJobsCompleted(
          AddSwitch("ShutdownWhenAllJobsCompleted", &TAutomation::SetShutdownWhenAllJobsCompleted)),
      RunAppOnJobCompletion(AddSwitch("RunAppOnJobCompletion", &TAutomation::SetRunAppOnJobCompletion)) {
    setObjectName("AutomationControls");
    Group->setObjectName("AutomationGroupBox");
    auto* boxes = new QGridLayout(Group);
    boxes->addWidget(StartJobsAutomatically, 0, 0);
    boxes->addWidget(RemoveCompletedJobs, 0, 1);
    boxes->addWidget(SaveToUniqueSubfolder, 1, 0);
    boxes->addWidget(RunAppOnJobCompletion, 1, 1);
    // The longest caption gets the whole width, so it is not cut at the window's smallest size.
    boxes->addWidget(ShutdownWhenAllJobsCompleted, 2, 0, 1, 2);
    boxes->addWidget(BuildCommandLineRow(), 3, 0, 1, 2);
    BuildMessagePanel();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Group);
    layout->addWidget(Panel);

    CountdownTimer.setObjectName("CountdownTimer");
    CountdownTimer.setInterval(1000);
    connect(&CountdownTimer, &QTimer::timeout, this, [this] {
        this->Automation.Tick();
        FollowCountdown();
    });
    Automation.Subscribe(*this);
    UpdateLanguage();
    LoadAutomationSettings();
    InitCommandLinePopupMenu();
    CountdownMessageChanged(Automation.CountdownMessage());
}

TAutomationControls::~TAutomationControls() { Automation.Unsubscribe(*this); }

QCheckBox* TAutomationControls::AddSwitch(const char* Name, void (TAutomation::*Setter)(bool)) {
    auto* box = new QCheckBox(Group);
    box->setObjectName(Name);
    connect(box, &QCheckBox::toggled, this, [this, Setter](bool Checked) {
        if (!Loading) (Automation.*Setter)(Checked);
    });
    return box;
}

QWidget* TAutomationControls::BuildCommandLineRow() {
    auto* row = new QWidget(Group);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    CommandLine = new QLineEdit(row);
    CommandLine->setObjectName("JobCompletionCommandLine");
    connect(CommandLine, &QLineEdit::textChanged, this, [this](const QString& Value) {
        if (!Loading) Automation.SetJobCompletionCommandLine(Value.toStdString());
    });
    CommandLinePopupMenu = new QMenu(row);
    CommandLinePopupMenu->setObjectName("CommandLinePopupMenu");
    CommandLineToolBar = new QToolButton(row);
    CommandLineToolBar->setObjectName("CommandLineToolBar");
    CommandLineToolBar->setArrowType(Qt::DownArrow);
    CommandLineToolBar->setPopupMode(QToolButton::InstantPopup);
    CommandLineToolBar->setMenu(CommandLinePopupMenu);
    layout->addWidget(CommandLine, 1);
    layout->addWidget(CommandLineToolBar);
    return row;
}

void TAutomationControls::BuildMessagePanel() {
    Panel = new QFrame(this);
    Panel->setObjectName("TimerMessagePanel");
    Panel->setFrameShape(QFrame::NoFrame);
    Panel->setStyleSheet("#TimerMessagePanel { background-color: navy; }");
    Panel->setCursor(Qt::PointingHandCursor);
    Message = new QLabel(Panel);
    Message->setObjectName("TimerMessage");
    Message->setStyleSheet("color: yellow; font-weight: bold;");
    Message->setAlignment(Qt::AlignCenter);
    Message->setWordWrap(true);
    auto* layout = new QVBoxLayout(Panel);
    layout->addWidget(Message);
    // The label does not take clicks, so they reach the panel's filter too.
    Panel->installEventFilter(this);
}

void TAutomationControls::UpdateLanguage() {
    Group->setTitle(Text(TextAutomation));
    const std::pair<QCheckBox*, int> captions[] = {{StartJobsAutomatically, TextStartJobs},
                                                   {RemoveCompletedJobs, TextRemoveCompleted},
                                                   {SaveToUniqueSubfolder, TextUniqueSubfolder},
                                                   {ShutdownWhenAllJobsCompleted, TextShutdown},
                                                   {RunAppOnJobCompletion, TextRunApp}};
    for (const auto& [box, number] : captions) box->setText(Text(number));
}

void TAutomationControls::LoadAutomationSettings() {
    Loading = true;
    const queue::TAutomationSwitches& values = Automation.Switches();
    StartJobsAutomatically->setChecked(values.StartJobsAutomatically);
    RemoveCompletedJobs->setChecked(values.RemoveCompletedJobs);
    SaveToUniqueSubfolder->setChecked(values.SaveToUniqueSubfolder);
    ShutdownWhenAllJobsCompleted->setChecked(values.ShutdownWhenAllJobsCompleted);
    RunAppOnJobCompletion->setChecked(values.RunAppOnJobCompletion);
    const QString line = QString::fromStdString(values.JobCompletionCommandLine);
    if (CommandLine->text() != line) CommandLine->setText(line);
    Loading = false;
}

void TAutomationControls::InitCommandLinePopupMenu() {
    CommandLinePopupMenu->clear();
    const std::vector<queue::TCommandLineEntry>& lines = Automation.CommandLines();
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        QAction* item = CommandLinePopupMenu->addAction(QString::fromStdString(lines[i].Caption));
        item->setObjectName(QString("MenuItem%1").arg(i));
        connect(item, &QAction::triggered, this, [this, i] { Automation.CommandLineMenuItemClick(i); });
    }
    CommandLineToolBar->setVisible(!lines.empty());
}

void TAutomationControls::CountdownMessageChanged(const std::string& Text) {
    Message->setText(QString::fromStdString(Text));
    Panel->setVisible(!Text.empty());
    FollowCountdown();
}

// The timer runs exactly while the automation counts down.
void TAutomationControls::FollowCountdown() {
    if (!Automation.CountdownRunning()) CountdownTimer.stop();
    else if (!CountdownTimer.isActive()) CountdownTimer.start();
}

void TAutomationControls::SwitchesChanged() { LoadAutomationSettings(); }

bool TAutomationControls::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == Panel && Event->type() == QEvent::MouseButtonRelease) {
        Automation.StopCountdown();
        return true;
    }
    return QWidget::eventFilter(Watched, Event);
}

} // namespace ui
