#include "ui/LimitPages.h"

#include "jobs/JobTypes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>

#include <limits>

namespace ui {

namespace {

constexpr int TextFirstLimit = 65; // file count; minimum, maximum and total size follow
constexpr int TextStopAfter = 80;
constexpr int TextMinutes = 81;
constexpr int TextHours = 82;
constexpr std::int64_t KB = 1024;
constexpr std::int64_t MB = 1048576;
constexpr std::int64_t Hour = 3600;
constexpr std::int64_t Minute = 60;
const QStringList SizeUnits{"bytes", "KB", "MB"};

TLimitRow MakeRow(QWidget* Parent, QGridLayout& Layout, bool WithUnits) {
    const int row = Layout.rowCount();
    TLimitRow limit{new QCheckBox(Parent), new QLineEdit(Parent), WithUnits ? new QComboBox(Parent) : nullptr};
    Layout.addWidget(limit.Check, row, 0);
    Layout.addWidget(limit.Edit, row, 1);
    if (limit.Units) Layout.addWidget(limit.Units, row, 2);
    // Typing a number means the user wants the limit.
    QObject::connect(limit.Edit, &QLineEdit::textEdited, limit.Check, [check = limit.Check] { check->setChecked(true); });
    return limit;
}

void ShowLimit(const TLimitRow& Row, std::int64_t Value) {
    Row.Check->setChecked(Value >= 0);
    if (!Row.Units) {
        Row.Edit->setText(Value >= 0 ? QString::number(Value) : QString());
        return;
    }
    const std::int64_t unit = Value >= MB && Value % MB == 0 ? MB : Value >= KB && Value % KB == 0 ? KB : 1;
    Row.Edit->setText(Value >= 0 ? QString::number(Value / unit) : QString());
    Row.Units->setCurrentIndex(Value < 0 ? 1 : unit == MB ? 2 : unit == KB ? 1 : 0);
}

// -1 when off; a checked box with no whole number in it is switched off.
std::int64_t TakeLimit(const TLimitRow& Row, std::int64_t Cap) {
    if (!Row.Check->isChecked()) return -1;
    const auto number = WholeNumber(Row.Edit->text());
    if (!number || *number < 0) {
        Row.Check->setChecked(false);
        Row.Edit->clear();
        return -1;
    }
    const int index = Row.Units ? Row.Units->currentIndex() : 0;
    const std::int64_t unit = index == 2 ? MB : index == 1 ? KB : 1;
    if (*number > Cap / unit) return Cap;
    return *number * unit;
}

} // namespace

TFileCountAndSizePage::TFileCountAndSizePage(QWidget* Parent) : TJobOptionPage(Parent) {
    setObjectName("FileCountAndSizeFrame");
    auto* layout = new QGridLayout(this);
    for (std::size_t i = 0; i < Rows.size(); ++i) {
        Rows[i] = MakeRow(this, *layout, i > 0);
        if (Rows[i].Units) Rows[i].Units->addItems(SizeUnits);
    }
    layout->setRowStretch(layout->rowCount(), 1);
}

void TFileCountAndSizePage::LoadControlsFromJob(const jobs::TCopyJob& Job) {
    ShowLimit(Rows[0], Job.MaxFileCount);
    ShowLimit(Rows[1], Job.MinFileSize);
    ShowLimit(Rows[2], Job.MaxFileSize);
    ShowLimit(Rows[3], Job.MaxJobDownloadSize);
}

void TFileCountAndSizePage::StoreControlsToJob(jobs::TCopyJob& Job) {
    constexpr std::int64_t max32 = std::numeric_limits<std::int32_t>::max();
    Job.MaxFileCount = static_cast<std::int32_t>(TakeLimit(Rows[0], max32));
    Job.MinFileSize = static_cast<std::int32_t>(TakeLimit(Rows[1], max32));
    Job.MaxFileSize = static_cast<std::int32_t>(TakeLimit(Rows[2], max32));
    Job.MaxJobDownloadSize = TakeLimit(Rows[3], std::numeric_limits<std::int64_t>::max());
}

void TFileCountAndSizePage::UpdateLanguage() {
    for (std::size_t i = 0; i < Rows.size(); ++i) Rows[i].Check->setText(MnemonicText(TextFirstLimit + int(i)));
}

TJobTimePage::TJobTimePage(QWidget* Parent) : TJobOptionPage(Parent) {
    setObjectName("JobDLTimeFrame");
    auto* layout = new QGridLayout(this);
    Row = MakeRow(this, *layout, true);
    layout->setRowStretch(1, 1);
}

void TJobTimePage::LoadControlsFromJob(const jobs::TCopyJob& Job) {
    const std::int32_t seconds = Job.MaxSecondsForAllDownloads;
    const bool hours = seconds >= 0 && seconds % Hour == 0 && seconds > 0;
    Row.Check->setChecked(seconds >= 0);
    Row.Edit->setText(seconds < 0 ? "1" : QString::number(hours ? seconds / Hour : seconds / Minute));
    Row.Units->setCurrentIndex(hours ? 1 : 0);
}

void TJobTimePage::StoreControlsToJob(jobs::TCopyJob& Job) {
    const auto count = WholeNumber(Row.Edit->text());
    if (!count || *count < 0) Row.Check->setChecked(false);
    if (!Row.Check->isChecked()) {
        Job.MaxSecondsForAllDownloads = -1;
        return;
    }
    const std::int64_t seconds = *count * (Row.Units->currentIndex() == 1 ? Hour : Minute);
    Job.MaxSecondsForAllDownloads = static_cast<std::int32_t>(std::min<std::int64_t>(seconds, std::numeric_limits<std::int32_t>::max()));
}

void TJobTimePage::UpdateLanguage() {
    Row.Check->setText(MnemonicText(TextStopAfter));
    const int unit = std::max(0, Row.Units->currentIndex());
    Row.Units->clear();
    Row.Units->addItems({LocalQText(TextMinutes), LocalQText(TextHours)});
    Row.Units->setCurrentIndex(unit);
}

} // namespace ui
