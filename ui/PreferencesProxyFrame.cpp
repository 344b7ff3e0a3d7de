#include "ui/PreferencesProxyFrame.h"

#include "queue/ProxySettings.h"
#include "ui/PreferencesWindow.h"

#include <QCheckBox>
#include <QLineEdit>

namespace ui {

namespace {

constexpr int TextUseProxyServer = 210;
constexpr int TextAddress = 211;
constexpr int TextPort = 212;
constexpr int TextUsername = 205;
constexpr int TextPassword = 206;
constexpr int TextAllowLocalBypass = 213;

QString Trimmed(const std::string& Value) { return QString::fromStdString(Value).trimmed(); }
std::string Trimmed(const QLineEdit* Edit) { return Edit->text().trimmed().toStdString(); }

} // namespace

TPreferencesProxyFrame::TPreferencesProxyFrame(const jobs::TProxySettingKeys& Keys, jobs::TSavedOptions& Settings,
                                               TPreferencesWindow& Window, QWidget* Parent)
    : TPreferencesPage(QString("PreferencesProxyFrame_") + QString::fromUtf8(Keys.Address.Section.data(),
                                                                            Keys.Address.Section.size()),
                       Settings, Parent),
      Keys(Keys), Window(Window) {
    UseProxyServer = AddCheck(TextUseProxyServer);
    Address = AddEdit(TextAddress);
    Port = AddEdit(TextPort);
    Username = AddEdit(TextUsername);
    Password = AddEdit(TextPassword);
    Password->setEchoMode(QLineEdit::Password);
    AllowLocalBypass = AddCheck(TextAllowLocalBypass);
    connect(UseProxyServer, &QCheckBox::clicked, this, &TPreferencesProxyFrame::CheckEntry);
    connect(Address, &QLineEdit::editingFinished, this, &TPreferencesProxyFrame::CheckEntry);
    connect(Port, &QLineEdit::editingFinished, this, &TPreferencesProxyFrame::CheckEntry);
}

void TPreferencesProxyFrame::ShowSettings() {
    UseProxyServer->setChecked(Settings.Read(Keys.UseProxyServer));
    Address->setText(Trimmed(Settings.Read(Keys.Address)));
    Port->setText(Trimmed(Settings.Read(Keys.Port)));
    Username->setText(Trimmed(Settings.Read(Keys.Username)));
    Password->setText(Trimmed(Settings.Read(Keys.Password)));
    AllowLocalBypass->setChecked(Settings.Read(Keys.AllowLocalBypass));
}

// While the entry has a problem nothing is written; the next sound entry writes all six keys.
void TPreferencesProxyFrame::SaveSettings() {
    if (Problem()) return;
    Settings.Write(Keys.UseProxyServer, UseProxyServer->isChecked());
    Settings.Write(Keys.Address, Trimmed(Address));
    Settings.Write(Keys.Port, Trimmed(Port));
    Settings.Write(Keys.Username, Trimmed(Username));
    Settings.Write(Keys.Password, Trimmed(Password));
    Settings.Write(Keys.AllowLocalBypass, AllowLocalBypass->isChecked());
}

std::optional<std::string> TPreferencesProxyFrame::Problem() const {
    return queue::ProxyValuesProblem(UseProxyServer->isChecked(), Trimmed(Address), Trimmed(Port));
}

void TPreferencesProxyFrame::CheckEntry() {
    const auto problem = Problem();
    if (!problem) return;
    Window.ShowNotice(tr("The proxy server is not saved: it is switched on %1.").arg(QString::fromStdString(*problem)));
}

} // namespace ui
