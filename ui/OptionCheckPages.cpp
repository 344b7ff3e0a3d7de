#include "ui/OptionCheckPages.h"

#include "jobs/AppInfo.h"
#include "jobs/JobTypes.h"
#include "jobs/SavedOptions.h"
#include "web/StartingURL.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace ui {

namespace {

namespace S = jobs::Settings;

constexpr int TextAgentName = 86;
constexpr int TextReferrer = 87;
constexpr int TextPause = 88;
constexpr int MaxPauseSeconds = 600;

#define JOB_SWITCH(Field, Caption)                                                                      \
    TJobSwitch {                                                                                        \
        [](const jobs::TCopyJob& J) { return J.Field; }, [](jobs::TCopyJob& J, bool V) { J.Field = V; }, \
            Caption, #Field                                                                             \
    }

std::vector<TJobSwitch> ProtocolSwitches() {
    return {JOB_SWITCH(DownloadHTTP, 83), JOB_SWITCH(DownloadHTTPS, 85), JOB_SWITCH(DownloadFTP, 84)};
}

std::vector<TJobSwitch> AdditionalSwitches() {
    return {JOB_SWITCH(HonorRobotNoFollowTags, 89),
            JOB_SWITCH(DownloadOptions.AllowCookies, 90),
            JOB_SWITCH(SaveQueryResults, 92),
            JOB_SWITCH(DownloadOptions.AllowAuthentication, 94),
            JOB_SWITCH(PruneFolders, 95),
            JOB_SWITCH(AddMarkOfWebOnRewrite, 96),
            JOB_SWITCH(KeepRewriteInputFiles, 97),
            JOB_SWITCH(AssumeWWWWhenNoThirdLevelDomain, 98)};
}

#undef JOB_SWITCH

} // namespace

TJobSwitchList::TJobSwitchList(QWidget* Parent, std::vector<TJobSwitch> Switches) : Switches(std::move(Switches)) {
    for (const TJobSwitch& item : this->Switches) {
        auto* box = new QCheckBox(Parent);
        box->setObjectName(item.ObjectName);
        CheckBoxes.push_back(box);
    }
}

void TJobSwitchList::Load(const jobs::TCopyJob& Job) {
    for (std::size_t i = 0; i < Switches.size(); ++i) CheckBoxes[i]->setChecked(Switches[i].Get(Job));
}

void TJobSwitchList::Store(jobs::TCopyJob& Job) {
    for (std::size_t i = 0; i < Switches.size(); ++i) Switches[i].Set(Job, CheckBoxes[i]->isChecked());
}

void TJobSwitchList::UpdateLanguage() {
    for (std::size_t i = 0; i < Switches.size(); ++i) CheckBoxes[i]->setText(MnemonicText(Switches[i].Caption));
}

TJobProtocolsPage::TJobProtocolsPage(QWidget* Parent) : TJobOptionPage(Parent), Switches(this, ProtocolSwitches()) {
    setObjectName("JobProtocolsFrame");
    auto* layout = new QVBoxLayout(this);
    for (QCheckBox* box : Switches.Boxes()) layout->addWidget(box);
    layout->addStretch();
}

void TJobProtocolsPage::FollowStartingAddress(const QString& Address) {
    if (Address.trimmed().startsWith("https://", Qt::CaseInsensitive)) Switches.Boxes()[1]->setChecked(true);
}

TAdditionalOptionsPage::TAdditionalOptionsPage(jobs::TSavedOptions& Settings, QWidget* Parent)
    : TJobOptionPage(Parent), Settings(Settings), AgentLabel(new QLabel(this)), AgentName(new QComboBox(this)),
      ReferrerLabel(new QLabel(this)), Referrer(new QLineEdit(this)), PauseLabel(new QLabel(this)),
      PauseSeconds(new QSpinBox(this)), Switches(this, AdditionalSwitches()) {
    setObjectName("AdditionalOptionsFrame");
    AgentName->setObjectName("AgentNameHistory");
    AgentName->setEditable(true);
    AgentName->setInsertPolicy(QComboBox::NoInsert);
    AgentName->setEditText(QString::fromStdString(jobs::AppInfo.DefaultAgentName()));
    Referrer->setObjectName("ReferrerAddress");
    Referrer->installEventFilter(this);
    PauseSeconds->setRange(0, MaxPauseSeconds);
    AgentLabel->setBuddy(AgentName);
    ReferrerLabel->setBuddy(Referrer);
    PauseLabel->setBuddy(PauseSeconds);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(AgentLabel, AgentName);
    form->addRow(ReferrerLabel, Referrer);
    form->addRow(PauseLabel, PauseSeconds);
    layout->addLayout(form);
    for (QCheckBox* box : Switches.Boxes()) layout->addWidget(box);
    layout->addStretch();
}

void TAdditionalOptionsPage::LoadControlsFromJob(const jobs::TCopyJob& Job) {
    FillHistoryBox(*AgentName, Settings, S::AgentNameHistory, Job.DownloadOptions.HTTPAgentName);
    const QString fallback = QString::fromStdString(jobs::AppInfo.DefaultAgentName());
    if (AgentName->findText(fallback, Qt::MatchFixedString) < 0) AgentName->addItem(fallback);
    AgentName->setEditText(QString::fromStdString(Job.DownloadOptions.HTTPAgentName));
    Referrer->setText(QString::fromStdString(Job.StartingReferrer));
    PauseSeconds->setValue(std::clamp(Job.PauseBetweenDownloads, 0, MaxPauseSeconds));
    Switches.Load(Job);
    const web::TURL url = web::GetStartingURL(Job);
    StartingPlainAddress = url.IsValid() ? url.GetPlainURL() : "";
}

void TAdditionalOptionsPage::StoreControlsToJob(jobs::TCopyJob& Job) {
    Job.DownloadOptions.HTTPAgentName = AgentName->currentText().toStdString();
    Job.StartingReferrer = Referrer->text().toStdString();
    Job.PauseBetweenDownloads = PauseSeconds->value();
    Switches.Store(Job);
    const web::TURL url = web::GetStartingURL(Job);
    StartingPlainAddress = url.IsValid() ? url.GetPlainURL() : "";
}

void TAdditionalOptionsPage::UpdateLanguage() {
    AgentLabel->setText(MnemonicText(TextAgentName));
    ReferrerLabel->setText(MnemonicText(TextReferrer));
    PauseLabel->setText(MnemonicText(TextPause));
    Switches.UpdateLanguage();
}

void TAdditionalOptionsPage::UpdateHistories(jobs::TSavedOptions& Options) {
    Options.AddToHistory(S::AgentNameHistory, AgentName->currentText().toStdString());
}

bool TAdditionalOptionsPage::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == Referrer && Event->type() == QEvent::MouseButtonDblClick) {
        Referrer->setText(Referrer->text().trimmed());
        if (Referrer->text().isEmpty()) Referrer->setText(QString::fromStdString(StartingPlainAddress));
    }
    return TJobOptionPage::eventFilter(Watched, Event);
}

} // namespace ui
