#include "ui/AddPasswordForm.h"

#include "jobs/LanguageStrings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

namespace ui {

namespace {

constexpr int TextSite = 204;
constexpr int TextUsername = 205;
constexpr int TextPassword = 206;

QString Text(int Number) { return QString::fromStdString(jobs::LocalText(Number)); }

} // namespace

TAddPasswordForm::TAddPasswordForm(QWidget* Parent)
    : QDialog(Parent), SiteEdit(new QLineEdit(this)), UserEdit(new QLineEdit(this)),
      PasswordEdit(new QLineEdit(this)), MaskCheck(new QCheckBox(tr("Mask password"), this)) {
    setObjectName("AddPasswordForm");
    setWindowTitle(tr("Add Password"));
    setMinimumWidth(360); // room for a host with its port
    PasswordEdit->setEchoMode(QLineEdit::Password);
    MaskCheck->setChecked(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    OkButton = buttons->button(QDialogButtonBox::Ok);
    auto* layout = new QFormLayout(this);
    layout->addRow(Text(TextSite), SiteEdit);
    layout->addRow(Text(TextUsername), UserEdit);
    layout->addRow(Text(TextPassword), PasswordEdit);
    layout->addRow(QString(), MaskCheck);
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(MaskCheck, &QCheckBox::toggled, this, [this](bool Masked) {
        PasswordEdit->setEchoMode(Masked ? QLineEdit::Password : QLineEdit::Normal);
    });
    for (QLineEdit* edit : {SiteEdit, UserEdit, PasswordEdit})
        connect(edit, &QLineEdit::textChanged, this, &TAddPasswordForm::UpdateOkButton);
    UpdateOkButton();
}

void TAddPasswordForm::SetValues(const QString& Site, const QString& User, const QString& Password) {
    SiteEdit->setText(Site);
    UserEdit->setText(User);
    PasswordEdit->setText(Password);
}

QString TAddPasswordForm::Site() const { return SiteEdit->text(); }
QString TAddPasswordForm::User() const { return UserEdit->text(); }
QString TAddPasswordForm::Password() const { return PasswordEdit->text(); }

void TAddPasswordForm::UpdateOkButton() {
    OkButton->setEnabled(!SiteEdit->text().trimmed().isEmpty() && !UserEdit->text().trimmed().isEmpty() &&
                         !PasswordEdit->text().trimmed().isEmpty());
}

} // namespace ui
