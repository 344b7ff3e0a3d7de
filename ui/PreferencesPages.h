#pragma once

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QLineEdit;
class QSpinBox;

namespace jobs {
class TSavedOptions;
}

namespace ui {

class TPreferencesWindow;

// The preference pages of plain switches and texts. Each shows the settings
// file and writes a control's change back at once; while Loading, the
// controls are being filled and write nothing.
class TPreferencesPage : public QWidget {
    Q_OBJECT

  public:
    TPreferencesPage(const QString& ObjectName, jobs::TSavedOptions& Settings, QWidget* Parent);
    void Load();

  protected:
    virtual void ShowSettings() = 0;
    virtual void SaveSettings() = 0;
    // Connected to each control's change.
    void Changed();
    QCheckBox* AddCheck(int TextNumber);
    QLineEdit* AddEdit(int TextNumber);

    jobs::TSavedOptions& Settings;
    QFormLayout* Form; // caption and control, a row each

  private:
    bool Loading = false;
};

// Job priority, window order, tray, friendly results and the job log.
class TPreferencesGeneralFrame final : public TPreferencesPage {
    Q_OBJECT

  public:
    TPreferencesGeneralFrame(jobs::TSavedOptions& Settings, TPreferencesWindow& Window, QWidget* Parent = nullptr);

  private:
    void ShowSettings() override;
    void SaveSettings() override;
    void ApplyToWindow();

    TPreferencesWindow& Window;
    QComboBox* ProcessPriorityCombo;
    QCheckBox* StayOnTop;
    QCheckBox* MinimizeToTaskbar;
    QCheckBox* ShowFriendlyDownloadResults;
    QCheckBox* JobLoggingEnabled;
};

// Clipboard monitoring and what the queue shows and focuses.
class TPreferencesAutomationFrame final : public TPreferencesPage {
    Q_OBJECT

  public:
    TPreferencesAutomationFrame(jobs::TSavedOptions& Settings, TPreferencesWindow& Window,
                                QWidget* Parent = nullptr);

  private:
    void ShowSettings() override;
    void SaveSettings() override;

    TPreferencesWindow& Window;
    QButtonGroup* ClipboardResponse;
    QCheckBox* ShowJobQueue;
    QCheckBox* FocusProgressOnJobStart;
    QCheckBox* FocusQueueOnJobAdd;
};

// The sound files of job start, job stop and file download.
class TPreferencesSoundsFrame final : public TPreferencesPage {
    Q_OBJECT

  public:
    explicit TPreferencesSoundsFrame(jobs::TSavedOptions& Settings, QWidget* Parent = nullptr);

  private:
    void ShowSettings() override;
    void SaveSettings() override;
    QLineEdit* AddSoundFile(int TextNumber);

    QCheckBox* EnableSounds;
    QLineEdit* JobStart;
    QLineEdit* JobEnd;
    QLineEdit* FileDownload;
};

// The texts spoken at program and job start and stop. There is no speech
// engine here, so speech stays off and only the texts are kept.
class TPreferencesSpeechFrame final : public TPreferencesPage {
    Q_OBJECT

  public:
    explicit TPreferencesSpeechFrame(jobs::TSavedOptions& Settings, QWidget* Parent = nullptr);

  private:
    void ShowSettings() override;
    void SaveSettings() override;

    QCheckBox* EnableSpeech;
    QLineEdit* AppStart;
    QLineEdit* AppEnd;
    QLineEdit* JobStart;
    QLineEdit* JobEnd;
};

// Whether histories are kept, how long they are, and clearing them.
class TPreferencesHistoryFrame final : public TPreferencesPage {
    Q_OBJECT

  public:
    explicit TPreferencesHistoryFrame(jobs::TSavedOptions& Settings, QWidget* Parent = nullptr);

  private:
    void ShowSettings() override;
    void SaveSettings() override;

    QCheckBox* EnableHistory;
    QSpinBox* HistoryLength;
};

} // namespace ui
