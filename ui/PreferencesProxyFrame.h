#pragma once

#include "jobs/SavedOptions.h"
#include "ui/PreferencesPages.h"

namespace ui {

// The proxy of one settings section (HTTP or FTP). A switched-on proxy
// without an address or with a port outside 1 to 65535 is refused as it is
// entered, with a message, and not saved: the settings keep the last proxy
// that would be used, instead of one a job start would silently switch off.
class TPreferencesProxyFrame final : public TPreferencesPage {
    Q_OBJECT

  public:
    TPreferencesProxyFrame(const jobs::TProxySettingKeys& Keys, jobs::TSavedOptions& Settings,
                           TPreferencesWindow& Window, QWidget* Parent = nullptr);

    QCheckBox* UseProxyServerCheck() const { return UseProxyServer; }
    QLineEdit* AddressEdit() const { return Address; }
    QLineEdit* PortEdit() const { return Port; }

  private:
    void ShowSettings() override;
    void SaveSettings() override;
    // Tells the problem of the entered proxy once an entry is complete.
    void CheckEntry();
    std::optional<std::string> Problem() const;

    jobs::TProxySettingKeys Keys;
    TPreferencesWindow& Window;
    QCheckBox* UseProxyServer;
    QLineEdit* Address;
    QLineEdit* Port;
    QLineEdit* Username;
    QLineEdit* Password;
    QCheckBox* AllowLocalBypass;
};

} // namespace ui
