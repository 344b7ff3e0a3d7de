#pragma once

#include "queue/JobLog.h"

#include <QAbstractTableModel>

#include <vector>

namespace ui {

// The job log as a table: Job Name, Date, Address, Filename. Follows the log
// row by row through its observer; only a reset of the whole log resets it.
// The Job Name cell is editable and renames the row in the log.
class TJobLogModel final : public QAbstractTableModel, public queue::TJobLogObserver {
    Q_OBJECT

  public:
    enum TColumn { colJobName, colDate, colAddress, colFilename, ColumnCount };

    // Log is borrowed and must outlive the model.
    explicit TJobLogModel(queue::TJobLog& Log, QObject* Parent = nullptr);
    ~TJobLogModel() override;

    int rowCount(const QModelIndex& Parent = {}) const override;
    int columnCount(const QModelIndex& Parent = {}) const override;
    QVariant data(const QModelIndex& Index, int Role) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override;
    Qt::ItemFlags flags(const QModelIndex& Index) const override;
    bool setData(const QModelIndex& Index, const QVariant& Value, int Role) override;

    // TJobLogObserver
    void RowInserted(int Index) override;
    void RowRemoved(int Index) override;
    void RowChanged(int Index) override;
    void RowsReset() override;
    void SaveFailed(const std::string& Message) override;

  signals:
    // A row came, went or changed: the commands a row allows may differ now.
    void CommandsChanged();
    void SaveError(const QString& Message);

  private:
    // A copy of every row of the log.
    std::vector<queue::TJobLogRow> AllRows() const;

    queue::TJobLog& Log;
    // The rows as the views know them. The log tells of a change after making
    // it, so between the begin and end of each change only this copy still
    // holds the numbering the views expect.
    std::vector<queue::TJobLogRow> Shown;
};

} // namespace ui
