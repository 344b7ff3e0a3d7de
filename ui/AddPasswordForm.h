#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace ui {

// Asks for a site, a user name and a password; OK only while all three hold
// more than blanks. The password is masked until the user unmasks it.
class TAddPasswordForm final : public QDialog {
    Q_OBJECT

  public:
    explicit TAddPasswordForm(QWidget* Parent = nullptr);

    void SetValues(const QString& Site, const QString& User, const QString& Password);
    QString Site() const;
    QString User() const;
    QString Password() const;

  private:
    void UpdateOkButton();

    QLineEdit* SiteEdit;
    QLineEdit* UserEdit;
    QLineEdit* PasswordEdit;
    QCheckBox* MaskCheck;
    QPushButton* OkButton;
};

} // namespace ui
