#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>

class QComboBox;
class QLineEdit;

namespace jobs {
class TCopyJob;
class TSavedOptions;
} // namespace jobs

namespace ui {

// One page of the job definition. Pages keep no job of their own: the Start
// page hands its job in to show it and to take the controls back.
class TJobOptionPage : public QWidget {
    Q_OBJECT

  public:
    using QWidget::QWidget;

    virtual void LoadControlsFromJob(const jobs::TCopyJob& Job) = 0;
    virtual void StoreControlsToJob(jobs::TCopyJob& Job) = 0;
    virtual void UpdateLanguage() = 0;
    // Only pages with history boxes have work here.
    virtual void UpdateHistories(jobs::TSavedOptions& /*Settings*/) {}
};

// Language text Number as a QString.
QString LocalQText(int Number);
// The same with a keyboard mnemonic on its first letter.
QString MnemonicText(int Number);
// A whole number typed into an edit, or nothing for anything else.
std::optional<std::int64_t> WholeNumber(const QString& Text);
// Fills a history box: the stored entries with Current moved or inserted on top, first selected.
void FillHistoryBox(QComboBox& Box, const jobs::TSavedOptions& Settings, std::string_view Section,
                    const std::string& Current);

} // namespace ui
