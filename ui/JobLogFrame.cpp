#include "ui/JobLogFrame.h"

#include "jobs/LanguageStrings.h"
#include "queue/JobLog.h"
#include "ui/JobLogModel.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace ui {

namespace {

// Button captions by text number.
constexpr int TextViewCopy = 217, TextExploreFolder = 218, TextRemoveFromLog = 219;

QString Text(int Number) { return QString::fromStdString(jobs::LocalText(Number)); }

// The desktop's "open" action on a file or folder; a refusal is shown.
void OpenLocalPath(QWidget* Owner, const QString& Path) {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(Path))) QMessageBox::warning(Owner, QString(), Path);
}

} // namespace

TJobLogFrame::TJobLogFrame(queue::TJobLog& Log, QWidget* Parent)
    : QWidget(Parent), Log(Log), Model(new TJobLogModel(Log, this)), View(new QTableView(this)),
      ViewButton(new QPushButton(this)), ExploreButton(new QPushButton(this)),
      RemoveFromLogButton(new QPushButton(this)) {
    setObjectName("JobLogFrame");
    View->setObjectName("CompletedJobsList");
    View->setModel(Model);
    View->setSelectionBehavior(QAbstractItemView::SelectRows);
    View->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // A double click opens the copy; the name is edited like a list caption.
    View->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    View->setShowGrid(true);
    View->verticalHeader()->hide();
    View->horizontalHeader()->setSectionsClickable(false);
    View->setColumnWidth(TJobLogModel::colJobName, 140);
    View->setColumnWidth(TJobLogModel::colDate, 140);
    View->horizontalHeader()->setSectionResizeMode(TJobLogModel::colAddress, QHeaderView::Stretch);
    View->setColumnHidden(TJobLogModel::colFilename, true);

    ViewButton->setObjectName("ViewButton");
    ExploreButton->setObjectName("ExploreButton");
    RemoveFromLogButton->setObjectName("RemoveFromLogButton");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {ViewButton, ExploreButton, RemoveFromLogButton}) buttons->addWidget(button);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(View, 1);
    layout->addLayout(buttons);

    connect(ViewButton, &QPushButton::clicked, this, &TJobLogFrame::ViewButtonClick);
    connect(ExploreButton, &QPushButton::clicked, this, &TJobLogFrame::ExploreButtonClick);
    connect(RemoveFromLogButton, &QPushButton::clicked, this, &TJobLogFrame::RemoveFromLogButtonClick);
    connect(View, &QTableView::doubleClicked, this, &TJobLogFrame::ViewButtonClick);
    connect(Model, &TJobLogModel::CommandsChanged, this, &TJobLogFrame::UpdateButtons);
    connect(Model, &TJobLogModel::SaveError, this, &TJobLogFrame::ShowSaveError);
    connect(View->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TJobLogFrame::UpdateButtons);
    UpdateLanguage();
    UpdateButtons();
}

void TJobLogFrame::UpdateLanguage() {
    ViewButton->setText(Text(TextViewCopy));
    ExploreButton->setText(Text(TextExploreFolder));
    RemoveFromLogButton->setText(Text(TextRemoveFromLog));
}

std::vector<int> TJobLogFrame::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : View->selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int TJobLogFrame::FirstSelectedRow() const {
    const std::vector<int> rows = SelectedRows();
    return rows.empty() ? -1 : rows.front();
}

void TJobLogFrame::UpdateButtons() {
    const queue::TJobLogCommands allowed = Log.AllowedCommands(FirstSelectedRow());
    ViewButton->setEnabled(allowed.View);
    ExploreButton->setEnabled(allowed.Explore);
    RemoveFromLogButton->setEnabled(allowed.Remove);
}

void TJobLogFrame::ViewButtonClick() {
    const int row = FirstSelectedRow();
    if (!Log.AllowedCommands(row).View) return;
    OpenLocalPath(this, QString::fromStdString(Log.Row(row).FileName));
}

void TJobLogFrame::ExploreButtonClick() {
    const int row = FirstSelectedRow();
    if (!Log.AllowedCommands(row).Explore) return;
    OpenLocalPath(this, QFileInfo(QString::fromStdString(Log.Row(row).FileName)).absolutePath());
}

void TJobLogFrame::RemoveFromLogButtonClick() { Log.RemoveRows(SelectedRows()); }

void TJobLogFrame::ShowSaveError(const QString& Message) { QMessageBox::warning(this, QString(), Message); }

} // namespace ui
