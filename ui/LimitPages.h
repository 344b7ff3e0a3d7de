#pragma once

#include "ui/JobOptionPage.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace ui {

// A limit the user switches on and types in, with an optional unit list.
struct TLimitRow {
    QCheckBox* Check;
    QLineEdit* Edit;
    QComboBox* Units; // null for a count
};

// File count, smallest and largest file, and total download size. The job
// keeps bytes; the page shows the largest unit that divides them exactly.
class TFileCountAndSizePage final : public TJobOptionPage {
    Q_OBJECT

  public:
    explicit TFileCountAndSizePage(QWidget* Parent = nullptr);

    void LoadControlsFromJob(const jobs::TCopyJob& Job) override;
    void StoreControlsToJob(jobs::TCopyJob& Job) override;
    void UpdateLanguage() override;

  private:
    std::array<TLimitRow, 4> Rows; // count, minimum, maximum, total
};

// Stops the job's downloads after so many minutes or hours.
class TJobTimePage final : public TJobOptionPage {
    Q_OBJECT

  public:
    explicit TJobTimePage(QWidget* Parent = nullptr);

    void LoadControlsFromJob(const jobs::TCopyJob& Job) override;
    void StoreControlsToJob(jobs::TCopyJob& Job) override;
    void UpdateLanguage() override;

  private:
    TLimitRow Row;
};

} // namespace ui
