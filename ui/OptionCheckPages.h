#pragma once

#include "ui/JobOptionPage.h"

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace ui {

// A job switch shown as a check box, with its caption's text number.
struct TJobSwitch {
    bool (*Get)(const jobs::TCopyJob&);
    void (*Set)(jobs::TCopyJob&, bool);
    int Caption;
    const char* ObjectName;
};

// Check boxes over job switches; the protocols page is nothing more.
class TJobSwitchList {
  public:
    TJobSwitchList(QWidget* Parent, std::vector<TJobSwitch> Switches);

    void Load(const jobs::TCopyJob& Job);
    void Store(jobs::TCopyJob& Job);
    void UpdateLanguage();
    const std::vector<QCheckBox*>& Boxes() const { return CheckBoxes; }

  private:
    std::vector<TJobSwitch> Switches;
    std::vector<QCheckBox*> CheckBoxes;
};

class TJobProtocolsPage final : public TJobOptionPage {
    Q_OBJECT

  public:
    explicit TJobProtocolsPage(QWidget* Parent = nullptr);

    void LoadControlsFromJob(const jobs::TCopyJob& Job) override { Switches.Load(Job); }
    void StoreControlsToJob(jobs::TCopyJob& Job) override { Switches.Store(Job); }
    void UpdateLanguage() override { Switches.UpdateLanguage(); }
    // HTTPS sites are what users copy most: an https starting address switches it on.
    void FollowStartingAddress(const QString& Address);

  private:
    TJobSwitchList Switches;
};

class TAdditionalOptionsPage final : public TJobOptionPage {
    Q_OBJECT

  public:
    TAdditionalOptionsPage(jobs::TSavedOptions& Settings, QWidget* Parent = nullptr);

    void LoadControlsFromJob(const jobs::TCopyJob& Job) override;
    void StoreControlsToJob(jobs::TCopyJob& Job) override;
    void UpdateLanguage() override;
    void UpdateHistories(jobs::TSavedOptions& Settings) override;

  protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

  private:
    jobs::TSavedOptions& Settings;
    QLabel* AgentLabel;
    QComboBox* AgentName;
    QLabel* ReferrerLabel;
    QLineEdit* Referrer;
    QLabel* PauseLabel;
    QSpinBox* PauseSeconds;
    TJobSwitchList Switches;
    std::string StartingPlainAddress; // offered on a double-click into an empty referrer
};

} // namespace ui
