#pragma once

#include <QTimer>
#include <QWidget>

class QAction;
class QGroupBox;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QToolButton;

namespace queue {
class TCopyProgress;
}

namespace ui {

class TCopyProgressListModel;

// The "Progress" page: the finished files with their results, the files in
// progress, the download and rewrite bars, and the buttons that pause, stop
// or abort the job. A 200 ms timer flushes the core model, so the lists
// repaint changed rows a few times a second however fast reports arrive.
class TCopyProgressFrame final : public QWidget {
    Q_OBJECT

  public:
    static constexpr int FlushIntervalMs = 200;
    // The busy bar's range and how often it advances while the job runs.
    static constexpr int BusySteps = 20;
    static constexpr int BusyStepMs = 500;

    // Progress is borrowed and must outlive the page.
    explicit TCopyProgressFrame(queue::TCopyProgress& Progress, QWidget* Parent = nullptr);

    QTableView* CompletedView() const { return Completed; }
    QTableView* ActiveView() const { return Active; }
    QString DownloadCaption() const;
    void UpdateLanguage();

  private:
    QWidget* BuildLists();
    QWidget* BuildProgressPanel();
    QWidget* BuildButtons();
    void UpdateState();
    void UpdateBusyBar(bool Running);
    void UpdateViewButtons();
    // The selected finished file's location when it names an existing file; else empty.
    QString SelectedFile() const;
    QString SelectedLocation() const;
    void CompletedDoubleClicked();
    void SortCompleted(int Column);
    void ShowActiveMenu(const QPoint& Position);
    void OpenSelectedFile();
    void ExploreSelectedFolder();
    void SaveResults();

    queue::TCopyProgress& Progress;
    TCopyProgressListModel* CompletedModel;
    TCopyProgressListModel* ActiveModel;
    QSortFilterProxyModel* CompletedSorted;
    QGroupBox* CompletedGroup = nullptr;
    QGroupBox* ActiveGroup = nullptr;
    QTableView* Completed = nullptr;
    QTableView* Active = nullptr;
    QWidget* ProgressPanel = nullptr;
    QProgressBar* BusyBar = nullptr;
    QProgressBar* DownloadBar = nullptr;
    QWidget* WritePanel = nullptr;
    QProgressBar* WriteBar = nullptr;
    QPushButton* PauseButton = nullptr;
    QToolButton* StopButton = nullptr;
    QAction* StopJobItem = nullptr;
    QAction* AbortJobItem = nullptr;
    QToolButton* ViewButton = nullptr;
    QAction* OpenItem = nullptr;
    QAction* ExploreItem = nullptr;
    QPushButton* SaveResultsButton = nullptr;
    int SortColumn = -1;
    bool SortAscending = false; // the first click on a column sorts it Z to A
    QTimer FlushTimer;
    QTimer BusyTimer;
    bool BusyShown = false; // the bar cycles for a running job
};

} // namespace ui
