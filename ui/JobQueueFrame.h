#pragma once

#include <QWidget>

class QAction;
class QFrame;
class QTableView;

namespace queue {
class TJobQueue;
}

namespace ui {

class TJobQueueModel;

// The "Job Queue" page: the queue's table, its five commands as tool buttons
// and Ctrl keys, and below them the frame of the completion automation.
// Buttons follow what the queue allows for the selected row.
class TJobQueueFrame final : public QWidget {
    Q_OBJECT

  public:
    // Queue is borrowed and must outlive the page.
    explicit TJobQueueFrame(queue::TJobQueue& Queue, QWidget* Parent = nullptr);

    // The selected row, or -1.
    int SelectedRow() const;
    void SelectRow(int Row);
    QTableView* JobsListView() const { return View; }
    // Where the completion automation group box and its message panel go.
    QFrame* AutomationFrame() const { return Automation; }
    QAction* MoveUpAction() const { return MoveUp; }
    QAction* MoveDownAction() const { return MoveDown; }
    QAction* StartJobAction() const { return StartJob; }
    QAction* StopJobAction() const { return StopJob; }
    QAction* DeleteJobAction() const { return DeleteJob; }
    void UpdateLanguage();

  private:
    QAction* AddCommand(const QKeySequence& Key, void (TJobQueueFrame::*Handler)());
    QWidget* BuildToolBar();
    void UpdateButtons();
    void MoveUpBtnClick();
    void MoveDownBtnClick();
    void StartJobBtnClick();
    void StopJobBtnClick();
    void DeleteJobBtnClick();

    queue::TJobQueue& Queue;
    TJobQueueModel* Model;
    QTableView* View;
    QFrame* Automation;
    QAction* MoveUp;
    QAction* MoveDown;
    QAction* StartJob;
    QAction* StopJob;
    QAction* DeleteJob;
};

} // namespace ui
