#include "ui/PreferencesPages.h"

#include "base/AppTraceLog.h"
#include "jobs/LanguageStrings.h"
#include "jobs/SavedOptions.h"
#include "ui/PreferencesWindow.h"
#include "ui/ProcessPriority.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace ui {

namespace {

namespace S = jobs::Settings;

// The captions below are language text numbers.
constexpr int TextForeground = 116;
constexpr int TextBackground = 117;
constexpr int TextJobPriority = 118;
constexpr int TextClipboardMonitoring = 126;
constexpr int FirstClipboardChoiceText = 127; // the three choices follow in order

QString Text(int Number) { return QString::fromStdString(jobs::LocalText(Number)); }
QString Str(const std::string& Value) { return QString::fromStdString(Value).trimmed(); }
std::string Str(const QLineEdit* Edit) { return Edit->text().toStdString(); }

} // namespace

TPreferencesPage::TPreferencesPage(const QString& ObjectName, jobs::TSavedOptions& Settings, QWidget* Parent)
    : QWidget(Parent), Settings(Settings), Form(new QFormLayout(this)) {
    setObjectName(ObjectName);
    Form->setContentsMargins(0, 0, 0, 0);
}

void TPreferencesPage::Load() {
    Loading = true;
    ShowSettings();
    Loading = false;
}

void TPreferencesPage::Changed() {
    if (!Loading) SaveSettings();
}

QCheckBox* TPreferencesPage::AddCheck(int TextNumber) {
    auto* check = new QCheckBox(Text(TextNumber), this);
    Form->addRow(check);
    connect(check, &QCheckBox::toggled, this, &TPreferencesPage::Changed);
    return check;
}

QLineEdit* TPreferencesPage::AddEdit(int TextNumber) {
    auto* edit = new QLineEdit(this);
    Form->addRow(Text(TextNumber), edit);
    connect(edit, &QLineEdit::textEdited, this, &TPreferencesPage::Changed);
    return edit;
}

TPreferencesGeneralFrame::TPreferencesGeneralFrame(jobs::TSavedOptions& Settings, TPreferencesWindow& Window,
                                                   QWidget* Parent)
    : TPreferencesPage("PreferencesGeneralFrame", Settings, Parent), Window(Window),
      ProcessPriorityCombo(new QComboBox(this)) {
    ProcessPriorityCombo->addItems({Text(TextForeground), Text(TextBackground)});
    Form->addRow(Text(TextJobPriority), ProcessPriorityCombo);
    connect(ProcessPriorityCombo, &QComboBox::currentIndexChanged, this, &TPreferencesGeneralFrame::Changed);
    StayOnTop = AddCheck(119);
    MinimizeToTaskbar = AddCheck(120);
    ShowFriendlyDownloadResults = AddCheck(124);
    JobLoggingEnabled = AddCheck(125);
}

void TPreferencesGeneralFrame::ShowSettings() {
    ProcessPriorityCombo->setCurrentIndex(Settings.Read(S::Priority) != NormalPriorityClass ? 1 : 0);
    StayOnTop->setChecked(Settings.Read(S::StayOnTop));
    MinimizeToTaskbar->setChecked(Settings.Read(S::MinimizeToTaskbar));
    ShowFriendlyDownloadResults->setChecked(Settings.Read(S::ShowFriendlyDownloadResults));
    JobLoggingEnabled->setChecked(Settings.Read(S::LogCompletedJobs));
    ApplyToWindow();
}

// Minimising to the tray needs nothing here: the window reads it at each minimise.
void TPreferencesGeneralFrame::SaveSettings() {
    const bool logWas = Settings.Read(S::LogCompletedJobs);
    Settings.Write(S::StayOnTop, StayOnTop->isChecked());
    Settings.Write(S::Priority, ProcessPriorityCombo->currentIndex() == 1 ? IdlePriorityClass : NormalPriorityClass);
    Settings.Write(S::ShowFriendlyDownloadResults, ShowFriendlyDownloadResults->isChecked());
    Settings.Write(S::LogCompletedJobs, JobLoggingEnabled->isChecked());
    Settings.Write(S::MinimizeToTaskbar, MinimizeToTaskbar->isChecked());
    ApplyToWindow();
    if (logWas != JobLoggingEnabled->isChecked()) Window.SetJobLogEnabled(JobLoggingEnabled->isChecked());
}

void TPreferencesGeneralFrame::ApplyToWindow() {
    Window.SetStayOnTop(StayOnTop->isChecked());
    if (const int error = SetProcessPriorityClass(Settings.Read(S::Priority)))
        base::TraceLog.LogAPIErrorCode(error, "SetPriorityClass", "ProcessPriorityComboChange", "PreferencesGeneral");
}

TPreferencesAutomationFrame::TPreferencesAutomationFrame(jobs::TSavedOptions& Settings, TPreferencesWindow& Window,
                                                         QWidget* Parent)
    : TPreferencesPage("PreferencesAutomationFrame", Settings, Parent), Window(Window),
      ClipboardResponse(new QButtonGroup(this)) {
    auto* group = new QGroupBox(Text(TextClipboardMonitoring), this);
    auto* groupLayout = new QVBoxLayout(group);
    for (int choice = 0; choice < 3; ++choice) {
        auto* radio = new QRadioButton(Text(FirstClipboardChoiceText + choice), group);
        groupLayout->addWidget(radio);
        ClipboardResponse->addButton(radio, choice);
    }
    Form->addRow(group);
    connect(ClipboardResponse, &QButtonGroup::idToggled, this, [this](int, bool On) {
        if (On) Changed();
    });
    ShowJobQueue = AddCheck(121);
    FocusProgressOnJobStart = AddCheck(122);
    FocusQueueOnJobAdd = AddCheck(123);
}

void TPreferencesAutomationFrame::ShowSettings() {
    if (QAbstractButton* choice = ClipboardResponse->button(Settings.ClipboardResponse())) choice->setChecked(true);
    ShowJobQueue->setChecked(Settings.Read(S::ShowJobQueue));
    FocusProgressOnJobStart->setChecked(Settings.Read(S::FocusProgressOnJobStart));
    FocusQueueOnJobAdd->setChecked(Settings.Read(S::FocusQueueOnJobAdd));
}

void TPreferencesAutomationFrame::SaveSettings() {
    if (ClipboardResponse->checkedId() >= 0) Settings.SetClipboardResponse(ClipboardResponse->checkedId());
    const bool queueWas = Settings.Read(S::ShowJobQueue);
    Settings.Write(S::ShowJobQueue, ShowJobQueue->isChecked());
    Settings.Write(S::FocusProgressOnJobStart, FocusProgressOnJobStart->isChecked());
    Settings.Write(S::FocusQueueOnJobAdd, FocusQueueOnJobAdd->isChecked());
    if (queueWas != ShowJobQueue->isChecked()) Window.SetQueueShown(ShowJobQueue->isChecked());
}

TPreferencesSoundsFrame::TPreferencesSoundsFrame(jobs::TSavedOptions& Settings, QWidget* Parent)
    : TPreferencesPage("PreferencesSoundsFrame", Settings, Parent) {
    EnableSounds = AddCheck(130);
    JobStart = AddSoundFile(131);
    JobEnd = AddSoundFile(132);
    FileDownload = AddSoundFile(133);
}

QLineEdit* TPreferencesSoundsFrame::AddSoundFile(int TextNumber) {
    auto* edit = new QLineEdit(this);
    auto* browse = new QPushButton("...", this);
    auto* row = new QHBoxLayout;
    row->addWidget(edit);
    row->addWidget(browse);
    Form->addRow(Text(TextNumber), row);
    connect(edit, &QLineEdit::textEdited, this, &TPreferencesSoundsFrame::Changed);
    connect(browse, &QPushButton::clicked, this, [this, edit] {
        const QString file = QFileDialog::getOpenFileName(this, QString(), edit->text(), tr("Sound file (*.wav *.WAV)"));
        if (file.isEmpty()) return;
        edit->setText(file);
        Changed();
    });
    return edit;
}

void TPreferencesSoundsFrame::ShowSettings() {
    EnableSounds->setChecked(Settings.Read(S::SoundsEnabled));
    JobStart->setText(Str(Settings.Read(S::SoundJobStart)));
    JobEnd->setText(Str(Settings.Read(S::SoundJobEnd)));
    FileDownload->setText(Str(Settings.Read(S::SoundFileDownload)));
}

void TPreferencesSoundsFrame::SaveSettings() {
    Settings.Write(S::SoundsEnabled, EnableSounds->isChecked());
    Settings.Write(S::SoundJobStart, Str(JobStart));
    Settings.Write(S::SoundJobEnd, Str(JobEnd));
    Settings.Write(S::SoundFileDownload, Str(FileDownload));
}

TPreferencesSpeechFrame::TPreferencesSpeechFrame(jobs::TSavedOptions& Settings, QWidget* Parent)
    : TPreferencesPage("PreferencesSpeechFrame", Settings, Parent) {
    EnableSpeech = AddCheck(134);
    EnableSpeech->setEnabled(false);
    AppStart = AddEdit(135);
    AppEnd = AddEdit(136);
    JobStart = AddEdit(137);
    JobEnd = AddEdit(138);
}

void TPreferencesSpeechFrame::ShowSettings() {
    EnableSpeech->setChecked(false);
    AppStart->setText(Str(Settings.Read(S::SpeechAppStart)));
    AppEnd->setText(Str(Settings.Read(S::SpeechAppEnd)));
    JobStart->setText(Str(Settings.Read(S::SpeechJobStart)));
    JobEnd->setText(Str(Settings.Read(S::SpeechJobEnd)));
}

// Without a speech engine the stored switch is kept as the user left it.
void TPreferencesSpeechFrame::SaveSettings() {
    Settings.Write(S::SpeechAppStart, Str(AppStart));
    Settings.Write(S::SpeechAppEnd, Str(AppEnd));
    Settings.Write(S::SpeechJobStart, Str(JobStart));
    Settings.Write(S::SpeechJobEnd, Str(JobEnd));
}

TPreferencesHistoryFrame::TPreferencesHistoryFrame(jobs::TSavedOptions& Settings, QWidget* Parent)
    : TPreferencesPage("PreferencesHistoryFrame", Settings, Parent), HistoryLength(new QSpinBox(this)) {
    EnableHistory = AddCheck(214);
    HistoryLength->setRange(1, jobs::MaxHistoryLengthLimit);
    Form->addRow(Text(215), HistoryLength);
    connect(HistoryLength, &QSpinBox::valueChanged, this, &TPreferencesHistoryFrame::Changed);
    auto* clear = new QPushButton(Text(216), this);
    Form->addRow(clear);
    connect(clear, &QPushButton::clicked, this, [this] { this->Settings.ClearHistories(); });
}

void TPreferencesHistoryFrame::ShowSettings() {
    EnableHistory->setChecked(Settings.EnableHistory());
    HistoryLength->setValue(Settings.MaxHistoryLength());
}

void TPreferencesHistoryFrame::SaveSettings() {
    if (EnableHistory->isChecked() != Settings.EnableHistory()) Settings.SetEnableHistory(EnableHistory->isChecked());
    if (HistoryLength->value() != Settings.MaxHistoryLength()) Settings.SetMaxHistoryLength(HistoryLength->value());
}

} // namespace ui
