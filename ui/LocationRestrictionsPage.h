#pragma once

#include "ui/JobOptionPage.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace ui {

// Which folder or server the copy keeps to, and how far it follows links.
class TLocationRestrictionsPage final : public TJobOptionPage {
    Q_OBJECT

  public:
    explicit TLocationRestrictionsPage(QWidget* Parent = nullptr);

    void LoadControlsFromJob(const jobs::TCopyJob& Job) override;
    void StoreControlsToJob(jobs::TCopyJob& Job) override;
    void UpdateLanguage() override;
    // Names the server and folder of the job's starting address beside their rules.
    void ShowStartingLocation(const jobs::TCopyJob& Job);

  private:
    QGroupBox* FolderGroup;
    QRadioButton* CopyAllInFolder;
    QRadioButton* CopyAllAtServer;
    QRadioButton* CopyAll;
    QLabel* ThisFolderLabel;
    QLabel* ThisServerLabel;
    QRadioButton* WebPagesOnly;
    QRadioButton* AllFiles;
    QGroupBox* DepthGroup;
    QRadioButton* NoMaxDistance;
    QRadioButton* MaxDistanceRadio;
    QSpinBox* MaxDistanceEdit;
};

} // namespace ui
