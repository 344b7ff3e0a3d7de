#include "ui/CopyProgressFrame.h"

#include "jobs/LanguageStrings.h"
#include "queue/CopyProgress.h"
#include "ui/ClipboardWatcher.h"
#include "ui/CopyProgressModel.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

namespace ui {

namespace {

constexpr int TextStopDownloading = 153;
constexpr int TextAbortJob = 154;
constexpr int TextStop = 152;
constexpr int TextCompletedFiles = 161;
constexpr int TextFilesInProgress = 164;
constexpr int TextPause = 171;
constexpr int TextSaveResults = 172;
constexpr int TextView = 173;
constexpr int TextBusy = 100;
constexpr int TextComplete = 101;
constexpr int TextExploreFolder = 218;

QString Text(int Number) { return QString::fromStdString(jobs::LocalText(Number)); }

QTableView* NewList(const QString& Name, QAbstractItemModel* Model) {
    auto* view = new QTableView;
    view->setObjectName(Name);
    view->setModel(Model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(false);
    view->setWordWrap(false);
    // Compact rows, as in a report list: thousands of finished files must stay scannable.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    return view;
}

// Shows a bar's caption in it and as its hint.
void SetBarText(QProgressBar* Bar, const QString& Caption) {
    Bar->setFormat(Caption);
    Bar->setToolTip(Caption);
}

void SetBar(QProgressBar* Bar, int Position, int Maximum, const std::string& Caption) {
    Bar->setRange(0, std::max(Maximum, 1));
    Bar->setValue(std::min(Position, std::max(Maximum, 1)));
    SetBarText(Bar, QString::fromStdString(Caption));
}

} // namespace

TCopyProgressFrame::TCopyProgressFrame(queue::TCopyProgress& Progress, QWidget* Parent)
    : QWidget(Parent), Progress(Progress),
      CompletedModel(new TCopyProgressListModel(Progress, TCopyProgressListModel::lsCompleted, this)),
      ActiveModel(new TCopyProgressListModel(Progress, TCopyProgressListModel::lsActive, this)),
      CompletedSorted(new QSortFilterProxyModel(this)) {
    setObjectName("CopyProgressFrame");
    CompletedSorted->setSourceModel(CompletedModel);
    CompletedSorted->setDynamicSortFilter(false); // rows added after a sort are appended
    CompletedSorted->setSortLocaleAware(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildLists(), 1);
    layout->addWidget(BuildProgressPanel());
    layout->addWidget(BuildButtons());
    connect(CompletedModel, &TCopyProgressListModel::ProgressStateChanged, this, &TCopyProgressFrame::UpdateState);
    connect(&FlushTimer, &QTimer::timeout, this, [this] { this->Progress.Flush(); });
    FlushTimer.start(FlushIntervalMs);
    UpdateLanguage();
    UpdateState();
}

QWidget* TCopyProgressFrame::BuildLists() {
    Completed = NewList("ProcessedFilesList", CompletedSorted);
    Completed->setShowGrid(true);
    Completed->horizontalHeader()->setSectionsClickable(true);
    Completed->horizontalHeader()->resizeSection(0, 150);
    Completed->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    connect(Completed->horizontalHeader(), &QHeaderView::sectionClicked, this, &TCopyProgressFrame::SortCompleted);
    connect(Completed, &QTableView::doubleClicked, this, &TCopyProgressFrame::CompletedDoubleClicked);
    connect(Completed->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TCopyProgressFrame::UpdateViewButtons);
    Active = NewList("InProgressList", ActiveModel);
    Active->setShowGrid(false);
    Active->horizontalHeader()->resizeSection(0, 120); // the caption beside its icon
    Active->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    Active->horizontalHeader()->resizeSection(3, 60);
    Active->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Active, &QWidget::customContextMenuRequested, this, &TCopyProgressFrame::ShowActiveMenu);

    auto* lists = new QWidget;
    auto* layout = new QVBoxLayout(lists);
    layout->setContentsMargins(0, 0, 0, 0);
    for (auto [group, name, view, stretch] : {std::tuple{&CompletedGroup, "ProcessedFilesGroupBox", Completed, 3},
                                              std::tuple{&ActiveGroup, "InProgressGroupBox", Active, 1}}) {
        *group = new QGroupBox;
        (*group)->setObjectName(name);
        (new QVBoxLayout(*group))->addWidget(view);
        layout->addWidget(*group, stretch);
    }
    return lists;
}

QWidget* TCopyProgressFrame::BuildProgressPanel() {
    ProgressPanel = new QWidget;
    ProgressPanel->setObjectName("ProgressPanel");
    auto* layout = new QVBoxLayout(ProgressPanel);
    layout->setContentsMargins(0, 0, 0, 0);
    BusyBar = new QProgressBar;
    BusyBar->setObjectName("BusyProgressBar");
    BusyBar->setRange(0, BusySteps);
    connect(&BusyTimer, &QTimer::timeout, this,
            [this] { BusyBar->setValue((BusyBar->value() + 1) % (BusySteps + 1)); });
    DownloadBar = new QProgressBar;
    DownloadBar->setObjectName("DLProgressBar");
    WritePanel = new QWidget;
    WritePanel->setObjectName("WriteProgressPanel");
    WriteBar = new QProgressBar(WritePanel);
    WriteBar->setObjectName("WriteProgressBar");
    auto* writeLayout = new QVBoxLayout(WritePanel);
    writeLayout->setContentsMargins(0, 0, 0, 0);
    writeLayout->addWidget(WriteBar);
    for (QWidget* part : std::initializer_list<QWidget*>{BusyBar, DownloadBar, WritePanel}) layout->addWidget(part);
    ProgressPanel->hide(); // until the first job starts
    WritePanel->hide();    // until the first page is queued for rewriting
    return ProgressPanel;
}

QWidget* TCopyProgressFrame::BuildButtons() {
    PauseButton = new QPushButton;
    PauseButton->setObjectName("PauseButton");
    PauseButton->setCheckable(true);
    connect(PauseButton, &QPushButton::clicked, this, [this](bool Down) {
        if (!this->Progress.SetPaused(Down)) PauseButton->setChecked(!Down);
    });

    StopButton = new QToolButton;
    StopButton->setObjectName("StopButton");
    StopButton->setPopupMode(QToolButton::MenuButtonPopup);
    auto* stopMenu = new QMenu(StopButton);
    stopMenu->setObjectName("StopJobMenu");
    StopJobItem = stopMenu->addAction(QString(), this, [this] { this->Progress.Stop(); });
    AbortJobItem = stopMenu->addAction(QString(), this, [this] { this->Progress.Abort(); });
    StopButton->setMenu(stopMenu);
    connect(StopButton, &QToolButton::clicked, this, [this] { this->Progress.Stop(); });

    ViewButton = new QToolButton;
    ViewButton->setObjectName("ViewFileButton");
    ViewButton->setPopupMode(QToolButton::MenuButtonPopup);
    auto* fileMenu = new QMenu(ViewButton);
    fileMenu->setObjectName("CompletedFileMenu");
    OpenItem = fileMenu->addAction(QString(), this, &TCopyProgressFrame::OpenSelectedFile);
    fileMenu->addSeparator();
    ExploreItem = fileMenu->addAction(QString(), this, &TCopyProgressFrame::ExploreSelectedFolder);
    ViewButton->setMenu(fileMenu);
    connect(ViewButton, &QToolButton::clicked, this, &TCopyProgressFrame::OpenSelectedFile);
    Completed->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Completed, &QWidget::customContextMenuRequested, this, [this, fileMenu](const QPoint& Position) {
        if (!this->Progress.Running() && !SelectedFile().isEmpty())
            fileMenu->popup(Completed->viewport()->mapToGlobal(Position));
    });

    SaveResultsButton = new QPushButton;
    SaveResultsButton->setObjectName("SaveResultsButton");
    connect(SaveResultsButton, &QPushButton::clicked, this, &TCopyProgressFrame::SaveResults);

    auto* buttons = new QWidget;
    auto* layout = new QHBoxLayout(buttons);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* button : std::initializer_list<QWidget*>{PauseButton, StopButton, ViewButton, SaveResultsButton})
        layout->addWidget(button);
    layout->addStretch(1);
    return buttons;
}

void TCopyProgressFrame::UpdateLanguage() {
    CompletedGroup->setTitle(Text(TextCompletedFiles));
    ActiveGroup->setTitle(Text(TextFilesInProgress));
    PauseButton->setText(Text(TextPause));
    StopButton->setText(Text(TextStop));
    StopJobItem->setText(Text(TextStopDownloading));
    AbortJobItem->setText(Text(TextAbortJob));
    ViewButton->setText(Text(TextView));
    OpenItem->setText(tr("Open"));
    ExploreItem->setText(Text(TextExploreFolder));
    SaveResultsButton->setText(Text(TextSaveResults));
}

QString TCopyProgressFrame::DownloadCaption() const { return DownloadBar->format(); }

void TCopyProgressFrame::UpdateState() {
    const bool running = Progress.Running();
    if (running) ProgressPanel->show();
    // A range of 0 to 0 makes the bar a moving busy indicator.
    UpdateBusyBar(running);
    SetBar(DownloadBar, Progress.FilesDone(), Progress.FilesKnown(), Progress.DownloadCaption());
    SetBar(WriteBar, Progress.PagesRewritten(), Progress.PagesToRewriteCount(), Progress.RewriteCaption());
    WritePanel->setVisible(Progress.RewriteShown());
    PauseButton->setChecked(Progress.PauseDown());
    for (QWidget* control : std::initializer_list<QWidget*>{PauseButton, StopButton}) control->setEnabled(running);
    SaveResultsButton->setEnabled(!running && Progress.CompletedCount() > 0);
    if (!running && !Completed->selectionModel()->hasSelection() && CompletedSorted->rowCount() > 0)
        Completed->selectRow(0);
    UpdateViewButtons();
}

// The busy bar cycles a step at a time while the job runs; a style's own busy
// animation would repaint it dozens of times a second for the whole copy.
void TCopyProgressFrame::UpdateBusyBar(bool Running) {
    if (Running && !BusyShown) BusyBar->setValue(0);
    if (!Running) BusyBar->setValue(BusySteps);
    BusyShown = Running;
    SetBarText(BusyBar, Text(Running ? TextBusy : TextComplete));
    const bool cycling = Running && !Progress.PauseDown();
    if (cycling && !BusyTimer.isActive()) BusyTimer.start(BusyStepMs);
    if (!cycling) BusyTimer.stop();
}

void TCopyProgressFrame::UpdateViewButtons() { ViewButton->setEnabled(!Progress.Running() && !SelectedFile().isEmpty()); }

QString TCopyProgressFrame::SelectedLocation() const {
    const QModelIndexList rows = Completed->selectionModel()->selectedRows(1);
    return rows.isEmpty() ? QString() : rows.front().data().toString();
}

QString TCopyProgressFrame::SelectedFile() const {
    const QString location = SelectedLocation();
    return !location.isEmpty() && QFileInfo(location).isFile() ? location : QString();
}

void TCopyProgressFrame::CompletedDoubleClicked() {
    if (Progress.Running()) return;
    if (!SelectedFile().isEmpty()) return OpenSelectedFile();
    const QString address = SelectedLocation();
    if (!address.isEmpty()) CopyTextToClipboard(address);
}

void TCopyProgressFrame::SortCompleted(int Column) {
    if (Progress.Running()) return;
    SortAscending = Column == SortColumn ? !SortAscending : SortAscending;
    SortColumn = Column;
    CompletedSorted->sort(Column, SortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TCopyProgressFrame::ShowActiveMenu(const QPoint& Position) {
    const QModelIndexList rows = Active->selectionModel()->selectedRows();
    const queue::TActiveDownload* download = rows.isEmpty() ? nullptr : Progress.ActiveDownloadOfRow(rows.front().row());
    if (!download) return;
    QMenu menu;
    for (auto scope : {queue::TStopScope::File, queue::TStopScope::Host, queue::TStopScope::Extension,
                       queue::TStopScope::MimeType}) {
        QAction* item = menu.addAction(QString::fromStdString(Progress.StopDownloadText(scope, *download)));
        item->setObjectName(QStringLiteral("InProgressMenuItem%1").arg(static_cast<int>(scope)));
        item->setEnabled(Progress.StopDownloadApplies(scope, *download));
        item->setData(static_cast<int>(scope));
    }
    const std::int32_t number = download->DownloadNumber;
    // The download may end while the menu is open; the model then refuses the command.
    if (QAction* chosen = menu.exec(Active->viewport()->mapToGlobal(Position)))
        Progress.StopDownload(static_cast<queue::TStopScope>(chosen->data().toInt()), number);
}

void TCopyProgressFrame::OpenSelectedFile() {
    const QString file = SelectedFile();
    if (file.isEmpty() || QDesktopServices::openUrl(QUrl::fromLocalFile(file))) return;
    QMessageBox::warning(this, QString(), file);
}

void TCopyProgressFrame::ExploreSelectedFolder() {
    const QString file = SelectedFile();
    if (file.isEmpty()) return;
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) QMessageBox::warning(this, QString(), folder);
}

void TCopyProgressFrame::SaveResults() {
    QString name = QFileDialog::getSaveFileName(this, QString(), QString(), tr("Text file (*.txt)"));
    if (name.isEmpty()) return;
    if (QFileInfo(name).suffix().isEmpty()) name += ".txt";
    std::string error;
    if (!Progress.SaveResults(name.toStdString(), &error))
        QMessageBox::warning(this, QString(), QString::fromStdString(error));
}

} // namespace ui
