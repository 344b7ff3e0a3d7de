#pragma once

#include <QWidget>

#include <vector>

class QPushButton;
class QTableView;

namespace queue {
class TJobLog;
}

namespace ui {

class TJobLogModel;

// The "Log" page: the ended jobs, several selectable, the job name renamed in
// place, and the buttons View Copy, Explore Folder and Remove From Log, which
// follow what the log allows for the first selected row.
class TJobLogFrame final : public QWidget {
    Q_OBJECT

  public:
    // Log is borrowed and must outlive the page.
    explicit TJobLogFrame(queue::TJobLog& Log, QWidget* Parent = nullptr);

    QTableView* CompletedJobsList() const { return View; }
    // The selected rows, in list order.
    std::vector<int> SelectedRows() const;
    void UpdateLanguage();

  private:
    int FirstSelectedRow() const;
    void UpdateButtons();
    void ViewButtonClick();
    void ExploreButtonClick();
    void RemoveFromLogButtonClick();
    void ShowSaveError(const QString& Message);

    queue::TJobLog& Log;
    TJobLogModel* Model;
    QTableView* View;
    QPushButton* ViewButton;
    QPushButton* ExploreButton;
    QPushButton* RemoveFromLogButton;
};

} // namespace ui
