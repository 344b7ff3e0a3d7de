#pragma once

#include <QWidget>

#include <vector>

class QListWidget;
class QStackedWidget;

namespace jobs {
class TPasswordManager;
class TSavedOptions;
} // namespace jobs

namespace ui {

class TPasswordsFrame;
class TPreferencesPage;
class TPreferencesWindow;

// The "Preferences" page: a list of sections beside the section shown. There
// is no OK or Cancel: every change is saved, and acts, at once.
class TPreferencesFrame final : public QWidget {
    Q_OBJECT

  public:
    // The sections in list order.
    enum TSection { psGeneral, psHTTPProxy, psFTPProxy, psAutomation, psPasswords, psSounds, psSpeech, psHistory };

    // Passwords is the store the download threads consult; all three outlive the frame.
    TPreferencesFrame(jobs::TSavedOptions& Settings, jobs::TPasswordManager& Passwords, TPreferencesWindow& Window,
                      QWidget* Parent = nullptr);

    // Fills every section from the settings and the password file, once at start.
    void LoadAll();
    void ShowSection(TSection Section);
    void ShowPasswordsPage() { ShowSection(psPasswords); }
    void UpdateLanguage();

    QWidget* Section(TSection Section) const;
    TPasswordsFrame* PasswordsPage() const { return Passwords; }

  private:
    QListWidget* SectionList;
    QStackedWidget* Pages;
    TPasswordsFrame* Passwords;
    std::vector<TPreferencesPage*> SettingPages; // all but Passwords, in load order
};

} // namespace ui
