#include "ui/CopyProgressModel.h"

#include "jobs/LanguageStrings.h"
#include "queue/CopyProgress.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>

#include <array>

namespace ui {

namespace {

// Column captions by text number: "Result", "Location"; "Status", "Location", "Size", "% Done".
constexpr int CompletedColumnTexts[] = {162, 163};
constexpr int ActiveColumnTexts[] = {165, 168, 167, 166};

QIcon StandardIcon(QStyle::StandardPixmap Pixmap) { return QApplication::style()->standardIcon(Pixmap); }

// The icons of finished-file results and of activities, in their enum order.
std::array<QIcon, 5> ResultIcons() {
    return {StandardIcon(QStyle::SP_DialogApplyButton), StandardIcon(QStyle::SP_MessageBoxInformation),
            StandardIcon(QStyle::SP_MediaStop), StandardIcon(QStyle::SP_MessageBoxWarning),
            StandardIcon(QStyle::SP_MessageBoxCritical)};
}

std::array<QIcon, 5> ActivityIcons() {
    return {StandardIcon(QStyle::SP_ArrowDown), StandardIcon(QStyle::SP_FileDialogContentsView),
            StandardIcon(QStyle::SP_DialogSaveButton), StandardIcon(QStyle::SP_TrashIcon),
            StandardIcon(QStyle::SP_FileDialogToParent)};
}

QVariant IconOf(const std::array<QIcon, 5>& Icons, int Index) {
    return Index >= 0 && Index < static_cast<int>(Icons.size()) ? QVariant(Icons[static_cast<std::size_t>(Index)])
                                                                : QVariant();
}

} // namespace

TCopyProgressListModel::TCopyProgressListModel(queue::TCopyProgress& Progress, TList List, QObject* Parent)
    : QAbstractTableModel(Parent), Progress(Progress), List(List),
      Icons(List == lsCompleted ? ResultIcons() : ActivityIcons()) {
    Rows = List == lsCompleted ? Progress.FlushedCompletedCount() : SourceCount();
    Progress.AddObserver(*this);
}

TCopyProgressListModel::~TCopyProgressListModel() { Progress.RemoveObserver(*this); }

int TCopyProgressListModel::SourceCount() const {
    return List == lsCompleted ? Progress.CompletedCount() : static_cast<int>(Progress.ActiveRows().size());
}

int TCopyProgressListModel::rowCount(const QModelIndex& Parent) const { return Parent.isValid() ? 0 : Rows; }

int TCopyProgressListModel::columnCount(const QModelIndex& Parent) const {
    if (Parent.isValid()) return 0;
    return List == lsCompleted ? std::size(CompletedColumnTexts) : std::size(ActiveColumnTexts);
}

QVariant TCopyProgressListModel::data(const QModelIndex& Index, int Role) const {
    // Between the core model's change and its announcement the two counts differ.
    if (!Index.isValid() || Index.row() >= Rows || Index.row() >= SourceCount()) return {};
    return List == lsCompleted ? CompletedData(Index.row(), Index.column(), Role)
                               : ActiveData(Index.row(), Index.column(), Role);
}

QVariant TCopyProgressListModel::CompletedData(int Row, int Column, int Role) const {
    const queue::TCompletedFile& file = Progress.CompletedRow(Row);
    if (Role == Qt::DecorationRole && Column == 0) return IconOf(Icons, static_cast<int>(file.Icon));
    if (Role != Qt::DisplayRole && Role != Qt::ToolTipRole) return {};
    return QString::fromStdString(Column == 0 ? file.Result : file.Location);
}

QVariant TCopyProgressListModel::ActiveData(int Row, int Column, int Role) const {
    const queue::TActiveFile& file = Progress.ActiveRows()[static_cast<std::size_t>(Row)];
    if (Role == Qt::DecorationRole && Column == 0) return IconOf(Icons, static_cast<int>(file.Kind));
    if (Role == Qt::TextAlignmentRole && Column >= 2) return int(Qt::AlignCenter);
    if (Role != Qt::DisplayRole && Role != Qt::ToolTipRole) return {};
    switch (Column) {
    case 0: return QString::fromStdString(queue::ActivityText(file.Kind));
    case 1: return QString::fromStdString(file.Location);
    case 2: return QString::fromStdString(file.Size);
    case 3: return QString::fromStdString(file.Done);
    default: return {};
    }
}

QVariant TCopyProgressListModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation != Qt::Horizontal || Role != Qt::DisplayRole || Section < 0 || Section >= columnCount())
        return {};
    const int text = List == lsCompleted ? CompletedColumnTexts[Section] : ActiveColumnTexts[Section];
    return QString::fromStdString(jobs::LocalText(text));
}

void TCopyProgressListModel::Removed(TList Of, int First, int Last) {
    if (Of != List) return;
    beginRemoveRows({}, First, Last);
    Rows -= Last - First + 1;
    endRemoveRows();
}

void TCopyProgressListModel::Inserted(TList Of, int First, int Last) {
    if (Of != List) return;
    beginInsertRows({}, First, Last);
    Rows += Last - First + 1;
    endInsertRows();
}

void TCopyProgressListModel::Changed(TList Of, int First, int Last) {
    if (Of == List) emit dataChanged(index(First, 0), index(Last, columnCount() - 1));
}

void TCopyProgressListModel::CompletedRowsRemoved(int First, int Last) { Removed(lsCompleted, First, Last); }
void TCopyProgressListModel::CompletedRowsInserted(int First, int Last) { Inserted(lsCompleted, First, Last); }
void TCopyProgressListModel::CompletedRowsChanged(int First, int Last) { Changed(lsCompleted, First, Last); }
void TCopyProgressListModel::ActiveRowsRemoved(int First, int Last) { Removed(lsActive, First, Last); }
void TCopyProgressListModel::ActiveRowsInserted(int First, int Last) { Inserted(lsActive, First, Last); }
void TCopyProgressListModel::ActiveRowsChanged(int First, int Last) { Changed(lsActive, First, Last); }
void TCopyProgressListModel::StateChanged() { emit ProgressStateChanged(); }

} // namespace ui
