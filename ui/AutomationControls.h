#pragma once

#include "queue/JobCompletionAutomation.h"

#include <QTimer>
#include <QWidget>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;

namespace ui {

// The completion automation's part of the "Job Queue" page: the group box
// with its five switches, the completion command line with its drop-down of
// prepared lines, and the countdown panel, which a click cancels. Drives the
// automation's once-a-second tick while a countdown runs.
class TAutomationControls final : public QWidget, public queue::TAutomationObserver {
    Q_OBJECT

  public:
    // Automation is borrowed and must outlive the controls.
    explicit TAutomationControls(queue::TJobCompletionAutomation& Automation, QWidget* Parent = nullptr);
    ~TAutomationControls() override;

    QFrame* TimerMessagePanel() const { return Panel; }
    QLabel* TimerMessage() const { return Message; }
    void UpdateLanguage();

    // TAutomationObserver
    void CountdownMessageChanged(const std::string& Text) override;
    void SwitchesChanged() override;

  protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

  private:
    QCheckBox* AddSwitch(const char* Name, void (queue::TJobCompletionAutomation::*Setter)(bool));
    QWidget* BuildCommandLineRow();
    void BuildMessagePanel();
    void InitCommandLinePopupMenu();
    void LoadAutomationSettings();
    void FollowCountdown();

    queue::TJobCompletionAutomation& Automation;
    QGroupBox* Group;
    QCheckBox* StartJobsAutomatically;
    QCheckBox* RemoveCompletedJobs;
    QCheckBox* SaveToUniqueSubfolder;
    QCheckBox* ShutdownWhenAllJobsCompleted;
    QCheckBox* RunAppOnJobCompletion;
    QLineEdit* CommandLine = nullptr;
    QToolButton* CommandLineToolBar = nullptr;
    QMenu* CommandLinePopupMenu = nullptr;
    QFrame* Panel = nullptr;
    QLabel* Message = nullptr;
    QTimer CountdownTimer;
    bool Loading = false; // the controls take the model's values: their changes are not the user's
};

} // namespace ui
