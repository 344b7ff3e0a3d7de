#include "ui/JobQueueModel.h"

#include "jobs/LanguageStrings.h"
#include "queue/JobQueue.h"
#include "ui/Icons.h"
#include "web/StartingURL.h"

namespace ui {

namespace {

// Column captions by text number.
constexpr int ColumnTexts[TJobQueueModel::ColumnCount] = {142, 143, 26};

QString DisplayAddress(const jobs::TCopyJob& Job) {
    const web::TURL url = web::GetStartingURL(Job);
    return QString::fromStdString(url.IsValid() ? url.GetPlainURL() : Job.StartingWebAddress);
}

} // namespace

TJobQueueModel::TJobQueueModel(queue::TJobQueue& Queue, QObject* Parent)
    : QAbstractTableModel(Parent), Queue(Queue), Rows(Queue.Count()) {
    Queue.Subscribe(*this);
}

TJobQueueModel::~TJobQueueModel() { Queue.Unsubscribe(*this); }

int TJobQueueModel::rowCount(const QModelIndex& Parent) const { return Parent.isValid() ? 0 : Rows; }

int TJobQueueModel::columnCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : ColumnCount;
}

QVariant TJobQueueModel::data(const QModelIndex& Index, int Role) const {
    // Between the queue's change and the end of its announcement the two counts differ.
    if (!Index.isValid() || Index.row() >= Rows || Index.row() >= Queue.Count()) return {};
    const queue::TCopyJobAndStatus& entry = Queue.Entry(Index.row());
    if (Role == Qt::DecorationRole && Index.column() == colStatus) return JobStatusIcon(entry.Status);
    if (Role != Qt::DisplayRole && Role != Qt::ToolTipRole) return {};
    switch (Index.column()) {
    case colStatus: return QString::fromStdString(queue::JobStatusText(entry.Status));
    case colJobName: return QString::fromStdString(entry.Job.JobName);
    case colStartingAddress: return DisplayAddress(entry.Job);
    default: return {};
    }
}

QVariant TJobQueueModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation != Qt::Horizontal || Role != Qt::DisplayRole || Section < 0 || Section >= ColumnCount)
        return {};
    return QString::fromStdString(jobs::LocalText(ColumnTexts[Section]));
}

void TJobQueueModel::RowInserted(int Index) {
    beginInsertRows({}, Index, Index);
    ++Rows;
    endInsertRows();
    emit CommandsChanged();
}

void TJobQueueModel::RowRemoved(int Index) {
    beginRemoveRows({}, Index, Index);
    --Rows;
    endRemoveRows();
    emit CommandsChanged();
}

void TJobQueueModel::RowMoved(int From, int To) {
    // Qt names the row the moved one goes before, counted before the move.
    if (From == To || !beginMoveRows({}, From, From, {}, To > From ? To + 1 : To)) return;
    endMoveRows();
    emit CommandsChanged();
}

void TJobQueueModel::RowStatusChanged(int Index) {
    emit dataChanged(index(Index, 0), index(Index, ColumnCount - 1));
    emit CommandsChanged();
}

void TJobQueueModel::BusyChanged(bool) { emit CommandsChanged(); }

void TJobQueueModel::CommandPendingChanged(bool) { emit CommandsChanged(); }

} // namespace ui
