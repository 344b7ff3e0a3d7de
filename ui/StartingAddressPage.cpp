#include "ui/StartingAddressPage.h"

#include "jobs/JobTypes.h"
#include "jobs/LanguageStrings.h"
#include "jobs/SavedOptions.h"
#include "queue/DestinationFolder.h"
#include "queue/JobQueueTypes.h"
#include "web/StartingURL.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace ui {

namespace {

namespace S = jobs::Settings;

constexpr int TextPasswords = 21;
constexpr int TextJobName = 143;
constexpr int TextStartingAddress = 26;
constexpr int TextDestinationFolder = 40;
constexpr int TextBrowse = 41;
constexpr int TextBrowseHint = 42;
constexpr int TextExplore = 43;
constexpr int TextFlat = 44;
constexpr int TextTree = 45;
constexpr int TextFixLinks = 46;
constexpr int TextSelectFolder = 47;
constexpr int TextUpdateOldFiles = 91;

QComboBox* HistoryBox(QWidget* Parent, const char* Name) {
    auto* box = new QComboBox(Parent);
    box->setObjectName(Name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return box;
}

} // namespace

TStartingAddressPage::TStartingAddressPage(jobs::TSavedOptions& Settings, queue::TJobQueuePrompts& Prompts,
                                           QWidget* Parent)
    : TJobOptionPage(Parent), Settings(Settings), Prompts(Prompts), JobNameLabel(new QLabel(this)), JobName(new QLineEdit(this)),
      AddressLabel(new QLabel(this)), Address(HistoryBox(this, "StartingAddressHistory")),
      FolderLabel(new QLabel(this)), Folder(HistoryBox(this, "DestinationFolderHistory")),
      BrowseButton(new QToolButton(this)), ExploreButton(new QToolButton(this)),
      PasswordButton(new QToolButton(this)), FlatFolder(new QRadioButton(this)),
      TreeFolder(new QRadioButton(this)), FixLinks(new QCheckBox(this)), UpdateOldFiles(new QCheckBox(this)) {
    setObjectName("StartingAddressFrame");
    JobName->setObjectName("JobName");
    JobNameLabel->setBuddy(JobName);
    AddressLabel->setBuddy(Address);
    FolderLabel->setBuddy(Folder);
    ExploreButton->setIcon(QIcon::fromTheme("folder-open"));
    PasswordButton->setObjectName("PasswordButton");
    PasswordButton->setIcon(QIcon::fromTheme("dialog-password"));
    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(Address);
    addressRow->addWidget(PasswordButton);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(Folder);
    folderRow->addWidget(BrowseButton);
    folderRow->addWidget(ExploreButton);

    auto* layout = new QVBoxLayout(this);
    for (QWidget* widget : {static_cast<QWidget*>(JobNameLabel), static_cast<QWidget*>(JobName),
                            static_cast<QWidget*>(AddressLabel)})
        layout->addWidget(widget);
    layout->addLayout(addressRow);
    layout->addWidget(FolderLabel);
    layout->addLayout(folderRow);
    for (QWidget* widget : {static_cast<QWidget*>(FlatFolder), static_cast<QWidget*>(TreeFolder),
                            static_cast<QWidget*>(FixLinks), static_cast<QWidget*>(UpdateOldFiles)})
        layout->addWidget(widget);
    layout->addStretch();

    connect(Address->lineEdit(), &QLineEdit::textEdited, this, &TStartingAddressPage::AddressTyped);
    connect(Folder->lineEdit(), &QLineEdit::editingFinished, this, &TStartingAddressPage::FolderLeft);
    connect(FlatFolder, &QRadioButton::clicked, this, [this] { ChooseLayout(true); });
    connect(TreeFolder, &QRadioButton::clicked, this, [this] { ChooseLayout(false); });
    connect(BrowseButton, &QToolButton::clicked, this, &TStartingAddressPage::BrowseFolder);
    connect(ExploreButton, &QToolButton::clicked, this, &TStartingAddressPage::ExploreFolder);
    connect(PasswordButton, &QToolButton::clicked, this, &TStartingAddressPage::PasswordsWanted);
}

void TStartingAddressPage::LoadControlsFromJob(const jobs::TCopyJob& Job) {
    JobName->setText(QString::fromStdString(Job.JobName));
    const web::TURL url = web::GetStartingURL(Job);
    const std::string address = url.IsValid() ? url.GetFullURL() : url.GetUnusableText();
    FillHistoryBox(*Address, Settings, S::StartingAddressHistory, address);
    FillHistoryBox(*Folder, Settings, S::SaveFolderHistory, Job.DestinationFolder);
    Address->setEditText(QString::fromStdString(address));
    Folder->setEditText(QString::fromStdString(Job.DestinationFolder));
    LoadedAddress = Address->currentText();
    LoadedFolder = Folder->currentText();
    CheckedFolder = LoadedFolder;
    FlatFolder->setChecked(Job.FlattenDestinationFolders);
    TreeFolder->setChecked(!Job.FlattenDestinationFolders);
    FixLinks->setChecked(Job.RewriteLinks);
    UpdateOldFiles->setChecked(Job.DownloadOptions.UpdateOldFiles);
    FixLinks->setEnabled(!Job.FlattenDestinationFolders);
    UpdateOldFiles->setEnabled(!Job.FlattenDestinationFolders);
}

void TStartingAddressPage::StoreControlsToJob(jobs::TCopyJob& Job) {
    Job.JobName = JobName->text().trimmed().toStdString();
    if (Address->currentText() != LoadedAddress) web::SetStartingURL(Job, Address->currentText().trimmed().toStdString());
    if (Folder->currentText() != LoadedFolder) Job.SetDestinationFolder(Folder->currentText().trimmed().toStdString());
    Job.FlattenDestinationFolders = FlatFolder->isChecked();
    Job.RewriteLinks = FixLinks->isChecked();
    Job.DownloadOptions.UpdateOldFiles = UpdateOldFiles->isChecked();
}

void TStartingAddressPage::UpdateLanguage() {
    JobNameLabel->setText(MnemonicText(TextJobName));
    AddressLabel->setText(MnemonicText(TextStartingAddress));
    FolderLabel->setText(MnemonicText(TextDestinationFolder));
    BrowseButton->setText(LocalQText(TextBrowse));
    BrowseButton->setToolTip(LocalQText(TextBrowseHint));
    ExploreButton->setText(LocalQText(TextExplore)); // shown when the theme has no folder icon
    ExploreButton->setToolTip(LocalQText(TextExplore));
    PasswordButton->setText(LocalQText(TextPasswords)); // shown when the theme has no key icon
    PasswordButton->setToolTip(LocalQText(TextPasswords));
    FlatFolder->setText(MnemonicText(TextFlat));
    TreeFolder->setText(MnemonicText(TextTree));
    FixLinks->setText(MnemonicText(TextFixLinks));
    UpdateOldFiles->setText(MnemonicText(TextUpdateOldFiles));
}

void TStartingAddressPage::UpdateHistories(jobs::TSavedOptions& Options) {
    Options.AddToHistory(S::StartingAddressHistory, Address->currentText().toStdString());
    Options.AddToHistory(S::SaveFolderHistory, Folder->currentText().toStdString());
}

void TStartingAddressPage::RefreshHistories() {
    const QString address = Address->currentText();
    const QString folder = Folder->currentText();
    FillHistoryBox(*Address, Settings, S::StartingAddressHistory, address.toStdString());
    FillHistoryBox(*Folder, Settings, S::SaveFolderHistory, folder.toStdString());
    Address->setEditText(address.isEmpty() && Address->count() > 0 ? Address->itemText(0) : address);
    Folder->setEditText(folder.isEmpty() && Folder->count() > 0 ? Folder->itemText(0) : folder);
    if (Address->currentText().isEmpty()) Address->setEditText("http://");
    if (Folder->currentText().isEmpty()) Folder->setEditText(QString::fromStdString(queue::GetMyDocumentsFolder()));
}

void TStartingAddressPage::SetAddressText(const QString& Text) {
    Address->setEditText(Text);
    emit AddressTyped(Text);
}

void TStartingAddressPage::SetJobName(const QString& Name) { JobName->setText(Name); }

void TStartingAddressPage::FocusAddress() {
    Address->setFocus();
    Address->lineEdit()->selectAll();
}

bool TStartingAddressPage::CheckDestinationFolder() {
    if (CheckingFolder) return false;
    CheckingFolder = true;
    CheckedFolder = Folder->currentText();
    const bool usable = queue::CheckDestinationFolder(Prompts, CheckedFolder.trimmed().toStdString());
    CheckingFolder = false;
    return usable;
}

void TStartingAddressPage::FolderLeft() {
    if (Folder->currentText() != CheckedFolder) CheckDestinationFolder();
}

// Flat copies have no folder tree for links to point into, and old files
// cannot be told apart once moved together.
void TStartingAddressPage::ChooseLayout(bool Flat) {
    if (Flat) {
        FixLinks->setChecked(false);
        UpdateOldFiles->setChecked(false);
    }
    FixLinks->setEnabled(!Flat);
    UpdateOldFiles->setEnabled(!Flat);
}

void TStartingAddressPage::BrowseFolder() {
    const QString chosen = QFileDialog::getExistingDirectory(this, LocalQText(TextSelectFolder), Folder->currentText());
    if (!chosen.isEmpty()) Folder->setEditText(QDir::toNativeSeparators(chosen));
}

void TStartingAddressPage::ExploreFolder() {
    const QString folder = Folder->currentText().trimmed();
    if (!folder.isEmpty() && QDir(folder).exists()) QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

} // namespace ui
