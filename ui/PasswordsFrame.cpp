#include "ui/PasswordsFrame.h"

#include "jobs/LanguageStrings.h"
#include "jobs/PasswordMgr.h"
#include "ui/AddPasswordForm.h"
#include "ui/PreferencesWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>

namespace ui {

namespace {

constexpr int TextSiteAlreadyKnown = 203;
constexpr int TextSite = 204;
constexpr int TextUsername = 205;
constexpr int TextPassword = 206;
constexpr int TextAdd = 207;
constexpr int TextRemove = 208;
constexpr int TextPasswordListFull = 209;

// Always the same length, so the list does not tell how long a password is.
const QString MaskedPassword = QStringLiteral("********");
// The real password rides in the row, never shown.
constexpr int PasswordRole = Qt::UserRole;

enum TColumn { colSite, colUser, colPassword };

QString Text(int Number) { return QString::fromStdString(jobs::LocalText(Number)); }

std::optional<QString> AddRefusal(jobs::TAddPasswordResult Result) {
    switch (Result) {
    case jobs::TAddPasswordResult::Added:
    case jobs::TAddPasswordResult::Incomplete: return std::nullopt;
    case jobs::TAddPasswordResult::InvalidSite:
        return QObject::tr("The site must not contain control characters.");
    case jobs::TAddPasswordResult::AlreadyKnown: return Text(TextSiteAlreadyKnown);
    case jobs::TAddPasswordResult::ListFull: return Text(TextPasswordListFull);
    }
    return std::nullopt;
}

} // namespace

TPasswordsFrame::TPasswordsFrame(jobs::TPasswordManager& Passwords, std::string FileName,
                                 TPreferencesWindow& Window, QWidget* Parent)
    : QWidget(Parent), Passwords(Passwords), FileName(std::move(FileName)), Window(Window),
      List(new QTreeWidget(this)), ProblemLabel(new QLabel(this)),
      RemoveButton(new QPushButton(Text(TextRemove), this)) {
    setObjectName("PasswordsFrame");
    List->setObjectName("PasswordList");
    List->setHeaderLabels({Text(TextSite), Text(TextUsername), Text(TextPassword)});
    List->setRootIsDecorated(false);
    List->setSortingEnabled(true);
    List->sortByColumn(colSite, Qt::AscendingOrder);
    List->header()->resizeSection(colSite, 150);
    List->header()->resizeSection(colUser, 100);
    ProblemLabel->setWordWrap(true);
    ProblemLabel->setStyleSheet("color: #b00000");
    ProblemLabel->hide();
    auto* addButton = new QPushButton(Text(TextAdd), this);
    RemoveButton->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addButton);
    buttons->addWidget(RemoveButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ProblemLabel);
    layout->addWidget(List);
    layout->addLayout(buttons);
    connect(addButton, &QPushButton::clicked, this, &TPasswordsFrame::AddClicked);
    connect(RemoveButton, &QPushButton::clicked, this, &TPasswordsFrame::RemoveClicked);
    connect(List, &QTreeWidget::itemDoubleClicked, this, &TPasswordsFrame::EditRow);
    connect(List, &QTreeWidget::itemSelectionChanged, this,
            [this] { RemoveButton->setEnabled(!List->selectedItems().isEmpty()); });
}

// A damaged file is shown with the entries that could be read, and stays as it is.
void TPasswordsFrame::LoadPasswords() {
    const jobs::TPasswordFileCheck check = jobs::CheckPasswordFile(FileName);
    if (check.Problem) ShowProblem(*check.Problem);
    else ProblemLabel->hide();
    if (!check.Missing) jobs::LoadPasswords(Passwords, FileName);
    ShowEntries();
}

bool TPasswordsFrame::AddPassword(const QString& Site, const QString& User, const QString& Password) {
    return AddWith([](jobs::TPasswordManager&) { return true; }, Site, User, Password, false);
}

// One update of the file: the old entry is not lost when the new one is refused.
bool TPasswordsFrame::EditPassword(const QString& Host, const QString& Site, const QString& User,
                                   const QString& Password) {
    const std::string host = Host.toStdString();
    // The runner may have removed the old entry meanwhile; the new one is stored all the same.
    const auto removeOld = [&host](jobs::TPasswordManager& Store) {
        Store.RemovePassword(host);
        return true;
    };
    return AddWith(removeOld, Site, User, Password, true);
}

bool TPasswordsFrame::RemovePassword(const QString& Host) {
    const std::string host = Host.toStdString();
    return UpdateFile([&host](jobs::TPasswordManager& Store) { return Store.RemovePassword(host); });
}

bool TPasswordsFrame::AddWith(const std::function<bool(jobs::TPasswordManager&)>& Prepare, const QString& Site,
                              const QString& User, const QString& Password, bool AllowReplace) {
    std::optional<jobs::TAddPasswordResult> result;
    const bool saved = UpdateFile([&](jobs::TPasswordManager& Store) {
        if (!Prepare(Store)) return false;
        result = jobs::AddSitePassword(Store, Site.toStdString(), User.toStdString(), Password.toStdString(),
                                       AllowReplace);
        return result == jobs::TAddPasswordResult::Added;
    });
    if (result)
        if (const auto refusal = AddRefusal(*result)) Window.ShowNotice(*refusal);
    return saved;
}

// The file is re-read under its lock for every change; the store and the list
// then show the file as written, with whatever the runner changed meanwhile.
bool TPasswordsFrame::UpdateFile(const std::function<bool(jobs::TPasswordManager&)>& Change) {
    const jobs::TPasswordFileCheck check = jobs::CheckPasswordFile(FileName);
    if (check.Problem) {
        ShowProblem(*check.Problem);
        Window.ShowNotice(ProblemLabel->text());
        return false;
    }
    bool changed = false;
    const bool saved = jobs::UpdatePasswordFile(FileName, [&](jobs::TPasswordManager& Store) {
        changed = Change(Store);
        return changed;
    });
    if (changed && !saved)
        Window.ShowNotice(tr("Unable to write %1.").arg(QString::fromStdString(FileName)));
    LoadPasswords();
    return saved;
}

void TPasswordsFrame::ShowEntries() {
    List->setSortingEnabled(false);
    List->clear();
    for (const jobs::TSitePassword& entry : Passwords.Entries()) {
        auto* item = new QTreeWidgetItem(List, {QString::fromStdString(entry.Host),
                                                QString::fromStdString(entry.User), MaskedPassword});
        item->setData(colPassword, PasswordRole, QString::fromStdString(entry.Password));
    }
    List->setSortingEnabled(true);
}

void TPasswordsFrame::ShowProblem(const std::string& Problem) {
    ProblemLabel->setText(tr("The password store %1 cannot be used: %2. It is left as it is.")
                              .arg(QString::fromStdString(FileName), QString::fromStdString(Problem)));
    ProblemLabel->show();
}

void TPasswordsFrame::AddClicked() {
    TAddPasswordForm form(this);
    if (form.exec() == QDialog::Accepted) AddPassword(form.Site(), form.User(), form.Password());
}

void TPasswordsFrame::EditRow(QTreeWidgetItem* Item) {
    const QString host = Item->text(colSite);
    TAddPasswordForm form(this);
    form.SetValues(host, Item->text(colUser), Item->data(colPassword, PasswordRole).toString());
    if (form.exec() == QDialog::Accepted) EditPassword(host, form.Site(), form.User(), form.Password());
}

void TPasswordsFrame::RemoveClicked() {
    const QList<QTreeWidgetItem*> selected = List->selectedItems();
    if (!selected.isEmpty()) RemovePassword(selected.first()->text(colSite));
}

} // namespace ui
