#pragma once

#include <QWidget>

#include <functional>
#include <string>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace jobs {
class TPasswordManager;
}

namespace ui {

class TPreferencesWindow;

// The stored site passwords: lists, adds, edits and removes them. Every change
// goes through the password file under its lock, re-read first, so an entry
// the runner added meanwhile survives; a damaged file is reported and left as
// it is. The store the download threads consult follows the file.
class TPasswordsFrame final : public QWidget {
    Q_OBJECT

  public:
    TPasswordsFrame(jobs::TPasswordManager& Passwords, std::string FileName, TPreferencesWindow& Window,
                    QWidget* Parent = nullptr);

    void LoadPasswords();
    // Each reports a refusal to the window and answers whether the file changed.
    bool AddPassword(const QString& Site, const QString& User, const QString& Password);
    // Replaces the entry of Host by the new values, or changes nothing.
    bool EditPassword(const QString& Host, const QString& Site, const QString& User, const QString& Password);
    bool RemovePassword(const QString& Host);

    QTreeWidget* PasswordList() const { return List; }

  private:
    bool UpdateFile(const std::function<bool(jobs::TPasswordManager&)>& Change);
    bool AddWith(const std::function<bool(jobs::TPasswordManager&)>& Prepare, const QString& Site,
                 const QString& User, const QString& Password, bool AllowReplace);
    void ShowEntries();
    void ShowProblem(const std::string& Problem);
    void AddClicked();
    void EditRow(QTreeWidgetItem* Item);
    void RemoveClicked();

    jobs::TPasswordManager& Passwords;
    std::string FileName;
    TPreferencesWindow& Window;
    QTreeWidget* List;
    QLabel* ProblemLabel;
    QPushButton* RemoveButton;
};

} // namespace ui
