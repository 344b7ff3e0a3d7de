#pragma once

#include "queue/JobQueueTypes.h"

#include <QAbstractTableModel>

namespace queue {
class TJobQueue;
}

namespace ui {

// The job queue as a table: Status (with its icon), Job Name, Starting
// Address. Follows the queue row by row through its observer, so views keep
// their selection and scroll position; it never resets.
class TJobQueueModel final : public QAbstractTableModel, public queue::TJobQueueObserver {
    Q_OBJECT

  public:
    enum TColumn { colStatus, colJobName, colStartingAddress, ColumnCount };

    // Queue is borrowed and must outlive the model.
    explicit TJobQueueModel(queue::TJobQueue& Queue, QObject* Parent = nullptr);
    ~TJobQueueModel() override;

    int rowCount(const QModelIndex& Parent = {}) const override;
    int columnCount(const QModelIndex& Parent = {}) const override;
    QVariant data(const QModelIndex& Index, int Role) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override;

    // TJobQueueObserver
    void RowInserted(int Index) override;
    void RowRemoved(int Index) override;
    void RowMoved(int From, int To) override;
    void RowStatusChanged(int Index) override;
    void BusyChanged(bool Busy) override;
    void CommandPendingChanged(bool Pending) override;

  signals:
    // A row or the queue's state changed: the commands a row allows may differ now.
    void CommandsChanged();

  private:
    queue::TJobQueue& Queue;
    // The rows the views know: the queue tells of a change after making it,
    // so this count moves between the begin and end of each change, as views expect.
    int Rows = 0;
};

} // namespace ui
