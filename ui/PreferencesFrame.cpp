#include "ui/PreferencesFrame.h"

#include "jobs/LanguageStrings.h"
#include "jobs/PasswordMgr.h"
#include "jobs/SavedOptions.h"
#include "ui/PasswordsFrame.h"
#include "ui/PreferencesProxyFrame.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QStackedWidget>

#include <array>

namespace ui {

namespace {

// Language texts of the sections, in list order.
constexpr std::array<int, 8> SectionTexts{16, 17, 18, 19, 21, 113, 114, 115};

} // namespace

TPreferencesFrame::TPreferencesFrame(jobs::TSavedOptions& Settings, jobs::TPasswordManager& Store,
                                     TPreferencesWindow& Window, QWidget* Parent)
    : QWidget(Parent), SectionList(new QListWidget(this)), Pages(new QStackedWidget(this)),
      Passwords(new TPasswordsFrame(Store, jobs::PasswordFileName(Settings.DataFolder()), Window)) {
    setObjectName("PreferencesFrame");
    SectionList->setObjectName("PreferencesSections");
    auto* automation = new TPreferencesAutomationFrame(Settings, Window);
    auto* sounds = new TPreferencesSoundsFrame(Settings);
    auto* speech = new TPreferencesSpeechFrame(Settings);
    auto* general = new TPreferencesGeneralFrame(Settings, Window);
    auto* httpProxy = new TPreferencesProxyFrame(jobs::Settings::HTTPProxy, Settings, Window);
    auto* ftpProxy = new TPreferencesProxyFrame(jobs::Settings::FTPProxy, Settings, Window);
    auto* history = new TPreferencesHistoryFrame(Settings);
    for (QWidget* page : std::initializer_list<QWidget*>{general, httpProxy, ftpProxy, automation, Passwords, sounds,
                                                         speech, history}) {
        Pages->addWidget(page);
        SectionList->addItem(QString());
    }
    SettingPages = {automation, sounds, speech, general, httpProxy, ftpProxy, history};
    SectionList->setFixedWidth(130);
    auto* layout = new QHBoxLayout(this);
    layout->setSpacing(8);
    layout->addWidget(SectionList);
    layout->addWidget(Pages, 1);
    connect(SectionList, &QListWidget::currentRowChanged, Pages, &QStackedWidget::setCurrentIndex);
    UpdateLanguage();
    ShowSection(psGeneral);
}

void TPreferencesFrame::LoadAll() {
    for (TPreferencesPage* page : SettingPages) page->Load();
    Passwords->LoadPasswords();
}

void TPreferencesFrame::ShowSection(TSection Section) { SectionList->setCurrentRow(Section); }

void TPreferencesFrame::UpdateLanguage() {
    for (std::size_t row = 0; row < SectionTexts.size(); ++row)
        SectionList->item(static_cast<int>(row))->setText(QString::fromStdString(jobs::LocalText(SectionTexts[row])));
}

QWidget* TPreferencesFrame::Section(TSection Section) const { return Pages->widget(Section); }

} // namespace ui
