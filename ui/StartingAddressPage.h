#pragma once

#include "ui/JobOptionPage.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;

namespace queue {
class TJobQueuePrompts;
}

namespace ui {

// Job name, starting address, destination folder and how the copy is laid out.
class TStartingAddressPage final : public TJobOptionPage {
    Q_OBJECT

  public:
    TStartingAddressPage(jobs::TSavedOptions& Settings, queue::TJobQueuePrompts& Prompts, QWidget* Parent = nullptr);

    void LoadControlsFromJob(const jobs::TCopyJob& Job) override;
    void StoreControlsToJob(jobs::TCopyJob& Job) override;
    void UpdateLanguage() override;
    void UpdateHistories(jobs::TSavedOptions& Settings) override;

    // Puts Address into the address box as if the user had typed it.
    void SetAddressText(const QString& Address);
    void SetJobName(const QString& Name);
    void FocusAddress();
    // Refuses the file-system root and folders that cannot be made or written;
    // the typed text stays either way. An empty box is left to the queue.
    bool CheckDestinationFolder();
    // The history boxes as they should look when the page is entered.
    void RefreshHistories();

    QComboBox* AddressBox() const { return Address; }
    QComboBox* FolderBox() const { return Folder; }

  signals:
    // The user (or a caller on his behalf) typed a starting address.
    void AddressTyped(const QString& Address);
    // The user asked for the stored site passwords.
    void PasswordsWanted();

  private:
    void ChooseLayout(bool Flat);
    void BrowseFolder();
    void ExploreFolder();
    void FolderLeft();

    jobs::TSavedOptions& Settings;
    queue::TJobQueuePrompts& Prompts;
    QLabel* JobNameLabel;
    QLineEdit* JobName;
    QLabel* AddressLabel;
    QComboBox* Address;
    QLabel* FolderLabel;
    QComboBox* Folder;
    QToolButton* BrowseButton;
    QToolButton* ExploreButton;
    QToolButton* PasswordButton;
    QRadioButton* FlatFolder;
    QRadioButton* TreeFolder;
    QCheckBox* FixLinks;
    QCheckBox* UpdateOldFiles;
    // The texts last shown from the job: an untouched box leaves the job's
    // value exactly as it was, so a loaded job saves back unchanged.
    QString LoadedAddress;
    QString LoadedFolder;
    // Leaving the folder box checks a text once; the boxes the check shows
    // take the focus themselves and must not start it again.
    QString CheckedFolder;
    bool CheckingFolder = false;
};

} // namespace ui
