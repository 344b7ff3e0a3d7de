#pragma once

#include "queue/CopyProgressTypes.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <array>

namespace queue {
class TCopyProgress;
}

namespace ui {

// One list of the progress page as a table: the finished files (Result,
// Location) or the files in progress (Status, Location, Size, % Done).
// Follows the core model's flushes range by range; it never resets.
class TCopyProgressListModel final : public QAbstractTableModel, public queue::TCopyProgressObserver {
    Q_OBJECT

  public:
    enum TList { lsCompleted, lsActive };

    // Progress is borrowed and must outlive the model.
    TCopyProgressListModel(queue::TCopyProgress& Progress, TList List, QObject* Parent = nullptr);
    ~TCopyProgressListModel() override;

    int rowCount(const QModelIndex& Parent = {}) const override;
    int columnCount(const QModelIndex& Parent = {}) const override;
    QVariant data(const QModelIndex& Index, int Role) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override;

    // TCopyProgressObserver
    void CompletedRowsRemoved(int First, int Last) override;
    void CompletedRowsInserted(int First, int Last) override;
    void CompletedRowsChanged(int First, int Last) override;
    void ActiveRowsRemoved(int First, int Last) override;
    void ActiveRowsInserted(int First, int Last) override;
    void ActiveRowsChanged(int First, int Last) override;
    void StateChanged() override;

  signals:
    void ProgressStateChanged();

  private:
    void Removed(TList Of, int First, int Last);
    void Inserted(TList Of, int First, int Last);
    void Changed(TList Of, int First, int Last);
    QVariant CompletedData(int Row, int Column, int Role) const;
    QVariant ActiveData(int Row, int Column, int Role) const;
    int SourceCount() const;

    queue::TCopyProgress& Progress;
    TList List;
    // The rows the views know, moved between the begin and end of each change.
    int Rows = 0;
    // Made once: a style's icon decodes its image each time it is asked for,
    // and every repaint asks for every visible row's.
    std::array<QIcon, 5> Icons;
};

} // namespace ui
