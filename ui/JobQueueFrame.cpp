#include "ui/JobQueueFrame.h"

#include "jobs/LanguageStrings.h"
#include "queue/JobQueue.h"
#include "ui/JobQueueModel.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace ui {

namespace {

// Tool-button hints by text number.
constexpr int TextMoveUp = 149, TextMoveDown = 150, TextStart = 151, TextStop = 152, TextRemove = 155;

QString Text(int Number) { return QString::fromStdString(jobs::LocalText(Number)); }

} // namespace

TJobQueueFrame::TJobQueueFrame(queue::TJobQueue& Queue, QWidget* Parent)
    : QWidget(Parent), Queue(Queue), Model(new TJobQueueModel(Queue, this)), View(new QTableView(this)),
      Automation(new QFrame(this)) {
    setObjectName("JobQueueFrame");
    View->setObjectName("JobsListView");
    View->setModel(Model);
    View->setSelectionBehavior(QAbstractItemView::SelectRows);
    View->setSelectionMode(QAbstractItemView::SingleSelection);
    View->setEditTriggers(QAbstractItemView::NoEditTriggers);
    View->setShowGrid(true);
    View->verticalHeader()->hide();
    View->horizontalHeader()->setSectionsClickable(false);
    View->horizontalHeader()->setStretchLastSection(true);
    View->setColumnWidth(TJobQueueModel::colStatus, 100);
    View->setColumnWidth(TJobQueueModel::colJobName, 100);

    MoveUp = AddCommand(Qt::CTRL | Qt::Key_Up, &TJobQueueFrame::MoveUpBtnClick);
    MoveDown = AddCommand(Qt::CTRL | Qt::Key_Down, &TJobQueueFrame::MoveDownBtnClick);
    StartJob = AddCommand(Qt::CTRL | Qt::Key_Return, &TJobQueueFrame::StartJobBtnClick);
    StartJob->setShortcuts({Qt::CTRL | Qt::Key_Return, Qt::CTRL | Qt::Key_Enter});
    StopJob = AddCommand(Qt::CTRL | Qt::Key_Space, &TJobQueueFrame::StopJobBtnClick);
    DeleteJob = AddCommand(Qt::CTRL | Qt::Key_Delete, &TJobQueueFrame::DeleteJobBtnClick);
    MoveUp->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    MoveDown->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    StartJob->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    StopJob->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    DeleteJob->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));

    // Filled by the completion automation: its group box and message panel.
    Automation->setObjectName("AutomationFrame");
    Automation->setLayout(new QVBoxLayout);
    Automation->layout()->setContentsMargins(0, 0, 0, 0);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildToolBar());
    layout->addWidget(View, 1);
    layout->addWidget(Automation);

    connect(Model, &TJobQueueModel::CommandsChanged, this, &TJobQueueFrame::UpdateButtons);
    connect(View->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TJobQueueFrame::UpdateButtons);
    UpdateLanguage();
    UpdateButtons();
}

QAction* TJobQueueFrame::AddCommand(const QKeySequence& Key, void (TJobQueueFrame::*Handler)()) {
    auto* action = new QAction(this);
    action->setShortcut(Key);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(action, &QAction::triggered, this, Handler);
    addAction(action);
    return action;
}

QWidget* TJobQueueFrame::BuildToolBar() {
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    for (QAction* action : {StartJob, StopJob, DeleteJob, MoveUp, MoveDown}) {
        auto* button = new QToolButton(bar);
        button->setDefaultAction(action);
        row->addWidget(button);
    }
    row->addStretch();
    return bar;
}

void TJobQueueFrame::UpdateLanguage() {
    const std::pair<QAction*, int> hints[] = {
        {MoveUp, TextMoveUp}, {MoveDown, TextMoveDown}, {StartJob, TextStart}, {StopJob, TextStop}, {DeleteJob, TextRemove}};
    for (const auto& [action, number] : hints) {
        action->setText(Text(number));
        action->setToolTip(Text(number));
    }
}

int TJobQueueFrame::SelectedRow() const {
    const QModelIndexList rows = View->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TJobQueueFrame::SelectRow(int Row) {
    View->selectRow(Row);
    View->scrollTo(Model->index(Row, 0));
}

void TJobQueueFrame::UpdateButtons() {
    const queue::TJobCommands allowed = Queue.AllowedCommands(SelectedRow());
    MoveUp->setEnabled(allowed.MoveUp);
    MoveDown->setEnabled(allowed.MoveDown);
    StartJob->setEnabled(allowed.Start);
    StopJob->setEnabled(allowed.Stop);
    DeleteJob->setEnabled(allowed.Remove);
}

// A moved row keeps its selection: the model moves it with its row.
void TJobQueueFrame::MoveUpBtnClick() {
    if (const int row = SelectedRow(); Queue.MoveJob(row, -1)) View->scrollTo(Model->index(row - 1, 0));
}

void TJobQueueFrame::MoveDownBtnClick() {
    if (const int row = SelectedRow(); Queue.MoveJob(row, 1)) View->scrollTo(Model->index(row + 1, 0));
}

void TJobQueueFrame::StartJobBtnClick() {
    if (const int row = SelectedRow(); Queue.StartJob(row)) View->scrollTo(Model->index(row, 0));
}

void TJobQueueFrame::StopJobBtnClick() { Queue.StopJob(SelectedRow()); }

void TJobQueueFrame::DeleteJobBtnClick() { Queue.RemoveJob(SelectedRow()); }

} // namespace ui
