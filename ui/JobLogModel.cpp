#include "ui/JobLogModel.h"

namespace ui {

TJobLogModel::TJobLogModel(queue::TJobLog& Log, QObject* Parent)
    : QAbstractTableModel(Parent), Log(Log), Shown(AllRows()) {
    Log.Subscribe(*this);
}

TJobLogModel::~TJobLogModel() { Log.Unsubscribe(*this); }

std::vector<queue::TJobLogRow> TJobLogModel::AllRows() const {
    std::vector<queue::TJobLogRow> rows;
    for (int i = 0; i < Log.Count(); ++i) rows.push_back(Log.Row(i));
    return rows;
}

int TJobLogModel::rowCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : static_cast<int>(Shown.size());
}

int TJobLogModel::columnCount(const QModelIndex& Parent) const { return Parent.isValid() ? 0 : ColumnCount; }

QVariant TJobLogModel::data(const QModelIndex& Index, int Role) const {
    if (!Index.isValid() || Index.row() >= rowCount()) return {};
    if (Role != Qt::DisplayRole && Role != Qt::EditRole && Role != Qt::ToolTipRole) return {};
    const queue::TJobLogRow& row = Shown[Index.row()];
    const std::string* const fields[] = {&row.JobName, &row.Date, &row.Address, &row.FileName};
    return Index.column() < ColumnCount ? QString::fromStdString(*fields[Index.column()]) : QVariant();
}

QVariant TJobLogModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation != Qt::Horizontal || Role != Qt::DisplayRole || Section < 0 || Section >= ColumnCount)
        return {};
    return QString::fromStdString(queue::JobLogColumnCaptions().at(Section));
}

Qt::ItemFlags TJobLogModel::flags(const QModelIndex& Index) const {
    const Qt::ItemFlags flags = QAbstractTableModel::flags(Index);
    return Index.column() == colJobName ? flags | Qt::ItemIsEditable : flags;
}

bool TJobLogModel::setData(const QModelIndex& Index, const QVariant& Value, int Role) {
    if (Role != Qt::EditRole || Index.column() != colJobName) return false;
    return Log.RenameRow(Index.row(), Value.toString().toStdString());
}

void TJobLogModel::RowInserted(int Index) {
    beginInsertRows({}, Index, Index);
    Shown.insert(Shown.begin() + Index, Log.Row(Index));
    endInsertRows();
    emit CommandsChanged();
}

void TJobLogModel::RowRemoved(int Index) {
    beginRemoveRows({}, Index, Index);
    Shown.erase(Shown.begin() + Index);
    endRemoveRows();
    emit CommandsChanged();
}

void TJobLogModel::RowChanged(int Index) {
    Shown[Index] = Log.Row(Index);
    emit dataChanged(index(Index, 0), index(Index, ColumnCount - 1));
    emit CommandsChanged();
}

void TJobLogModel::RowsReset() {
    beginResetModel();
    Shown = AllRows();
    endResetModel();
    emit CommandsChanged();
}

void TJobLogModel::SaveFailed(const std::string& Message) { emit SaveError(QString::fromStdString(Message)); }

} // namespace ui
