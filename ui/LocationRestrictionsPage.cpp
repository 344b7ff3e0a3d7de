#include "ui/LocationRestrictionsPage.h"

#include "jobs/JobTypes.h"
#include "web/StartingURL.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace ui {

namespace {

constexpr int TextFolderExploration = 53;
constexpr int TextWithinFolder = 54; // 55 and 56 follow for the two other rules
constexpr int TextWebPagesOnly = 57;
constexpr int TextAllFiles = 58;
constexpr int TextDepthExploration = 59;
constexpr int TextMaxDistance = 60;
constexpr int TextUnlimitedDistance = 61;
constexpr int MaxDistanceLimit = 99;

// The folder part of a path: all of it when it ends in "/", else up to its
// last "/" when that comes before the last "." (a file name), else nothing.
std::string FolderPart(const std::string& Path) {
    if (!Path.empty() && Path.back() == '/') return Path;
    const auto slash = Path.rfind('/');
    const auto dot = Path.rfind('.');
    if (slash == std::string::npos || dot == std::string::npos || slash > dot) return {};
    return Path.substr(0, slash + 1);
}

void ShowLabel(QLabel& Label, const std::string& Text) {
    Label.setText(QString::fromStdString(Text));
    Label.setToolTip(Label.text());
}

} // namespace

TLocationRestrictionsPage::TLocationRestrictionsPage(QWidget* Parent)
    : TJobOptionPage(Parent), FolderGroup(new QGroupBox(this)), CopyAllInFolder(new QRadioButton(this)),
      CopyAllAtServer(new QRadioButton(this)), CopyAll(new QRadioButton(this)), ThisFolderLabel(new QLabel(this)),
      ThisServerLabel(new QLabel(this)), WebPagesOnly(new QRadioButton(this)), AllFiles(new QRadioButton(this)),
      DepthGroup(new QGroupBox(this)), NoMaxDistance(new QRadioButton(this)), MaxDistanceRadio(new QRadioButton(this)),
      MaxDistanceEdit(new QSpinBox(this)) {
    setObjectName("LocationRestrictionsFrame");
    MaxDistanceEdit->setObjectName("MaxDistanceEdit");
    MaxDistanceEdit->setRange(0, MaxDistanceLimit);
    for (QLabel* label : {ThisFolderLabel, ThisServerLabel}) label->setEnabled(false);

    auto* rules = new QButtonGroup(this);
    auto* scope = new QButtonGroup(this);
    auto* folder = new QGridLayout(FolderGroup);
    folder->addWidget(CopyAllInFolder, 0, 0);
    folder->addWidget(ThisFolderLabel, 0, 1);
    folder->addWidget(CopyAllAtServer, 1, 0);
    folder->addWidget(ThisServerLabel, 1, 1);
    folder->addWidget(CopyAll, 2, 0);
    folder->addWidget(WebPagesOnly, 3, 0, 1, 2);
    folder->addWidget(AllFiles, 4, 0, 1, 2);
    for (QRadioButton* radio : {CopyAllInFolder, CopyAllAtServer, CopyAll}) rules->addButton(radio);
    for (QRadioButton* radio : {WebPagesOnly, AllFiles}) scope->addButton(radio);

    auto* depth = new QGridLayout(DepthGroup);
    depth->addWidget(NoMaxDistance, 0, 0, 1, 2);
    depth->addWidget(MaxDistanceRadio, 1, 0);
    depth->addWidget(MaxDistanceEdit, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FolderGroup);
    layout->addWidget(DepthGroup);
    layout->addStretch();

    // Changing the number means the user wants a limit.
    connect(MaxDistanceEdit, &QSpinBox::valueChanged, this, [this] {
        if (MaxDistanceEdit->hasFocus()) MaxDistanceRadio->setChecked(true);
    });
}

void TLocationRestrictionsPage::LoadControlsFromJob(const jobs::TCopyJob& Job) {
    CopyAllInFolder->setChecked(Job.RestrictLocation == jobs::lrWithinFolder);
    CopyAllAtServer->setChecked(Job.RestrictLocation == jobs::lrAtServer);
    CopyAll->setChecked(Job.RestrictLocation == jobs::lrAnywhere);
    WebPagesOnly->setChecked(Job.RestrictLocationOfWebPagesOnly);
    AllFiles->setChecked(!Job.RestrictLocationOfWebPagesOnly);
    const bool unlimited = Job.MaxDistance < 0;
    NoMaxDistance->setChecked(unlimited);
    MaxDistanceRadio->setChecked(!unlimited);
    MaxDistanceEdit->setValue(unlimited ? 0 : std::min(Job.MaxDistance, MaxDistanceLimit));
    ShowStartingLocation(Job);
}

void TLocationRestrictionsPage::StoreControlsToJob(jobs::TCopyJob& Job) {
    if (CopyAllInFolder->isChecked()) Job.RestrictLocation = jobs::lrWithinFolder;
    if (CopyAllAtServer->isChecked()) Job.RestrictLocation = jobs::lrAtServer;
    if (CopyAll->isChecked()) Job.RestrictLocation = jobs::lrAnywhere;
    if (WebPagesOnly->isChecked() || AllFiles->isChecked()) Job.RestrictLocationOfWebPagesOnly = WebPagesOnly->isChecked();
    if (NoMaxDistance->isChecked()) Job.MaxDistance = -1;
    if (MaxDistanceRadio->isChecked()) Job.MaxDistance = MaxDistanceEdit->value();
}

void TLocationRestrictionsPage::UpdateLanguage() {
    FolderGroup->setTitle(LocalQText(TextFolderExploration));
    CopyAllInFolder->setText(MnemonicText(TextWithinFolder));
    CopyAllAtServer->setText(MnemonicText(TextWithinFolder + 1));
    CopyAll->setText(MnemonicText(TextWithinFolder + 2));
    WebPagesOnly->setText(MnemonicText(TextWebPagesOnly));
    AllFiles->setText(MnemonicText(TextAllFiles));
    DepthGroup->setTitle(LocalQText(TextDepthExploration));
    MaxDistanceRadio->setText(MnemonicText(TextMaxDistance));
    NoMaxDistance->setText(MnemonicText(TextUnlimitedDistance));
}

void TLocationRestrictionsPage::ShowStartingLocation(const jobs::TCopyJob& Job) {
    const web::TURL url = web::GetStartingURL(Job);
    ShowLabel(*ThisServerLabel, url.IsValid() ? url.GetHostName() : "");
    ShowLabel(*ThisFolderLabel, url.IsValid() ? url.GetHostName() + FolderPart(url.GetUrlPath()) : "");
}

} // namespace ui
