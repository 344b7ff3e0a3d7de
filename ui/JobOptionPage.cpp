#include "ui/JobOptionPage.h"

#include "jobs/LanguageStrings.h"
#include "jobs/SavedOptions.h"

#include <QComboBox>

namespace ui {

QString LocalQText(int Number) { return QString::fromStdString(jobs::LocalText(Number)); }

QString MnemonicText(int Number) { return "&" + LocalQText(Number); }

std::optional<std::int64_t> WholeNumber(const QString& Text) {
    bool ok = false;
    const qlonglong value = Text.trimmed().toLongLong(&ok);
    if (!ok) return std::nullopt;
    return value;
}

void FillHistoryBox(QComboBox& Box, const jobs::TSavedOptions& Settings, std::string_view Section,
                    const std::string& Current) {
    std::vector<std::string> items;
    Settings.ReadHistory(Section, items);
    jobs::InsertMostRecent(Current, items);
    Box.clear();
    for (const std::string& item : items) Box.addItem(QString::fromStdString(item));
    if (Box.count() > 0) Box.setCurrentIndex(0);
    else Box.setEditText(QString::fromStdString(Current));
}

} // namespace ui
