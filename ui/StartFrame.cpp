#include "ui/StartFrame.h"

#include "jobs/LanguageStrings.h"
#include "jobs/SavedOptions.h"
#include "queue/JobQueue.h"
#include "ui/LimitPages.h"
#include "ui/LocationRestrictionsPage.h"
#include "ui/OptionCheckPages.h"
#include "ui/PurposeListPage.h"
#include "ui/StartingAddressPage.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace ui {

namespace {

constexpr int TextFirstPage = 26; // "Starting Address"; the eight other page names follow
constexpr int TextOpenJob = 35;
constexpr int TextSaveJob = 36;
constexpr int TextAddJobToQueue = 37;
constexpr int TextCopyNow = 38;
constexpr int TextResetDefaults = 39;
constexpr int TextUnableToReadJobFile = 156;
constexpr int TextUnableToWriteJobFile = 157;
const char* const JobFileFilter = "Copy Job file (*.hcj *.HCJ)";

TQueueAnswer Answer(queue::TAddJobResult Result) {
    switch (Result) {
    case queue::ajAdded: return TQueueAnswer::Added;
    case queue::ajQueueFull: return TQueueAnswer::QueueFull;
    default: return TQueueAnswer::Refused;
    }
}

// A page that may be taller than the space left on a small screen scrolls.
QScrollArea* Scrolled(QWidget* Page) {
    auto* area = new QScrollArea;
    area->setWidget(Page);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    return area;
}

} // namespace

TStartFrame::TStartFrame(queue::TJobQueue& Queue, jobs::TSavedOptions& Settings, queue::TJobQueuePrompts& Prompts,
                         QWidget* Parent)
    : QWidget(Parent), Queue(Queue), Settings(Settings), Prompts(Prompts), StartFramesTree(new QListWidget(this)),
      PageStack(new QStackedWidget(this)), LoadFromFileButton(new QPushButton(this)),
      SaveToFileButton(new QPushButton(this)), ResetJobButton(new QPushButton(this)), StartButton(new QPushButton(this)),
      StartingAddress(new TStartingAddressPage(Settings, Prompts)), Location(new TLocationRestrictionsPage),
      Protocols(new TJobProtocolsPage) {
    setObjectName("StartFrame");
    StartFramesTree->setObjectName("StartFramesTree");
    Pages = {StartingAddress,
             Location,
             new TPurposeListPage(AddressRestrictionsKind),
             new TFileCountAndSizePage,
             new TPurposeListPage(FileExtensionsKind),
             new TPurposeListPage(MimeTypesKind),
             Protocols,
             new TJobTimePage,
             new TAdditionalOptionsPage(Settings)};
    for (TJobOptionPage* page : Pages) {
        PageStack->addWidget(Scrolled(page));
        StartFramesTree->addItem(QString());
    }
    StartFramesTree->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    StartFramesTree->setMaximumWidth(200);
    CreateButtons();

    connect(StartFramesTree, &QListWidget::currentRowChanged, this, &TStartFrame::PageSelected);
    connect(StartingAddress, &TStartingAddressPage::AddressTyped, Protocols, &TJobProtocolsPage::FollowStartingAddress);
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto* shortcut = new QShortcut(key, this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (StartButton->isEnabled()) AddJobToQueue();
        });
    }
    UpdateLanguage();
    ShowOptionPage(opStartingAddress);
}

TStartFrame::~TStartFrame() = default;

void TStartFrame::CreateButtons() {
    LoadFromFileButton->setObjectName("LoadFromFileButton");
    SaveToFileButton->setObjectName("SaveToFileButton");
    ResetJobButton->setObjectName("ResetJobButton");
    StartButton->setObjectName("StartJobButton");
    auto* left = new QVBoxLayout;
    left->addWidget(StartFramesTree);
    for (QPushButton* button : {LoadFromFileButton, SaveToFileButton, ResetJobButton, StartButton})
        left->addWidget(button);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(PageStack, 1);
    connect(LoadFromFileButton, &QPushButton::clicked, this, &TStartFrame::OpenJobDialog);
    connect(SaveToFileButton, &QPushButton::clicked, this, &TStartFrame::SaveJobDialog);
    connect(ResetJobButton, &QPushButton::clicked, this, &TStartFrame::ResetDefaults);
    connect(StartButton, &QPushButton::clicked, this, &TStartFrame::AddJobToQueue);
}

void TStartFrame::Initialize() {
    const std::string last = Settings.LastJobFileName();
    if (Settings.EnableHistory() && QFileInfo::exists(QString::fromStdString(last)) && Job.LoadFromFile(last))
        LoadPages();
    else
        ResetDefaults();
    StartingAddress->RefreshHistories();
    StartingAddress->FocusAddress(); // the address is what a new job needs first
}

bool TStartFrame::LoadJobFile(const std::string& Path) {
    if (!Job.LoadFromFile(Path)) {
        const std::string text = jobs::LocalText(TextUnableToReadJobFile);
        Prompts.ShowWarning(text, text);
        return false;
    }
    LoadPages();
    return true;
}

void TStartFrame::NewJobFromAddress(const std::string& Address) {
    ShowOptionPage(opStartingAddress);
    StartingAddress->SetAddressText(QString::fromStdString(Address));
    StartingAddress->FocusAddress();
}

TQueueAnswer TStartFrame::CopyAddressNow(const std::string& Address) {
    StartingAddress->SetJobName({});
    StartingAddress->SetAddressText(QString::fromStdString(Address));
    return AddJobToQueue();
}

TQueueAnswer TStartFrame::AddJobToQueue() {
    StorePages();
    if (!StartingAddress->CheckDestinationFolder()) return TQueueAnswer::Refused;
    UpdateHistories();
    Job.PrepareForRun();
    if (Settings.EnableHistory()) Job.SaveToFile(Settings.LastJobFileName());
    return Answer(Queue.AddCopyJob(Job));
}

bool TStartFrame::SaveJobFile(const std::string& Path) {
    StorePages();
    const bool saved = Job.SaveToFile(Path);
    if (!saved) {
        const std::string text = jobs::LocalText(TextUnableToWriteJobFile);
        Prompts.ShowWarning(text, text);
    }
    UpdateHistories();
    return saved;
}

void TStartFrame::ResetDefaults() {
    StorePages();
    Job.Reset();
    LoadPages();
}

void TStartFrame::StorePages() {
    for (TJobOptionPage* page : Pages) page->StoreControlsToJob(Job);
}

void TStartFrame::LoadPages() {
    for (TJobOptionPage* page : Pages) page->LoadControlsFromJob(Job);
}

void TStartFrame::UpdateHistories() {
    for (TJobOptionPage* page : Pages) page->UpdateHistories(Settings);
}

void TStartFrame::UpdateLanguage() {
    for (int row = 0; row < StartFramesTree->count(); ++row)
        StartFramesTree->item(row)->setText(LocalQText(TextFirstPage + row));
    LoadFromFileButton->setText(MnemonicText(TextOpenJob));
    SaveToFileButton->setText(MnemonicText(TextSaveJob));
    ResetJobButton->setText(MnemonicText(TextResetDefaults));
    StartButton->setText(MnemonicText(QueueShown ? TextAddJobToQueue : TextCopyNow));
    for (TJobOptionPage* page : Pages) page->UpdateLanguage();
}

void TStartFrame::SetQueueShown(bool Shown) {
    QueueShown = Shown;
    UpdateLanguage();
    UpdateStartButton();
}

void TStartFrame::SetJobRunning(bool Running) {
    JobRunning = Running;
    UpdateStartButton();
}

void TStartFrame::UpdateStartButton() { StartButton->setEnabled(QueueShown || !JobRunning); }

void TStartFrame::ShowOptionPage(TOptionPage Page) { StartFramesTree->setCurrentRow(Page); }

// Leaving a page takes it into the job, so the next page shows the job as typed.
void TStartFrame::PageSelected(int Row) {
    if (ShownPage >= 0) Pages[ShownPage]->StoreControlsToJob(Job);
    ShownPage = Row;
    PageStack->setCurrentIndex(Row);
    if (Row == opStartingAddress) StartingAddress->RefreshHistories();
    if (Row == opLocation) Location->ShowStartingLocation(Job);
}

void TStartFrame::OpenJobDialog() {
    const QString name = QFileDialog::getOpenFileName(this, LocalQText(TextOpenJob).remove("..."), QString(),
                                                      JobFileFilter);
    if (!name.isEmpty()) LoadJobFile(name.toStdString());
}

void TStartFrame::SaveJobDialog() {
    QFileDialog dialog(this, LocalQText(TextSaveJob).remove("..."), QString(), JobFileFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("HCJ");
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        SaveJobFile(dialog.selectedFiles().first().toStdString());
}

} // namespace ui
