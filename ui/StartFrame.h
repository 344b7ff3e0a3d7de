#pragma once

#include "jobs/JobTypes.h"
#include "ui/CommandLine.h"

#include <QWidget>

#include <string>
#include <vector>

class QListWidget;
class QPushButton;
class QStackedWidget;

namespace jobs {
class TSavedOptions;
}

namespace queue {
class TJobQueue;
class TJobQueuePrompts;
} // namespace queue

namespace ui {

class TJobOptionPage;
class TJobProtocolsPage;
class TLocationRestrictionsPage;
class TStartingAddressPage;

// The "Start" page, where a job is defined: nine option pages chosen from a
// list on the left, over one job that stays on screen after it is queued.
class TStartFrame final : public QWidget {
    Q_OBJECT

  public:
    // The option pages, in list order.
    enum TOptionPage {
        opStartingAddress, opLocation, opAddresses, opCountAndSize, opExtensions,
        opMimeTypes, opProtocols, opJobTime, opAdditional, OptionPageCount
    };

    // All borrowed; they must outlive the page. Prompts shows the page's own
    // questions and refusals; the queue reports its refusals through its own.
    TStartFrame(queue::TJobQueue& Queue, jobs::TSavedOptions& Settings, queue::TJobQueuePrompts& Prompts,
                QWidget* Parent = nullptr);
    ~TStartFrame() override;

    // At program start: the job last queued when history is kept, else the defaults.
    void Initialize();
    // Opens a job file for editing; a file that cannot be read leaves the page as it was.
    bool LoadJobFile(const std::string& Path);
    // A new job for Address, to be edited before it is queued.
    void NewJobFromAddress(const std::string& Address);
    // Queues the page's job with Address as its starting address and no name.
    TQueueAnswer CopyAddressNow(const std::string& Address);
    // Takes the pages into the job and hands a copy to the queue. A job that
    // is refused stays on the page as typed.
    TQueueAnswer AddJobToQueue();
    bool SaveJobFile(const std::string& Path);
    void ResetDefaults();
    void UpdateLanguage();
    // With the queue hidden, "Copy Now" waits while a job runs.
    void SetQueueShown(bool Shown);
    void SetJobRunning(bool Running);

    // The page's job as last taken from or shown on the pages.
    const jobs::TCopyJob& CurrentJob() const { return Job; }
    void StorePages();
    void ShowOptionPage(TOptionPage Page);
    TStartingAddressPage* StartingAddressPage() const { return StartingAddress; }
    TJobOptionPage* OptionPage(TOptionPage Page) const { return Pages[Page]; }
    QPushButton* StartJobButton() const { return StartButton; }

  private:
    void CreateButtons();
    void LoadPages();
    void UpdateHistories();
    void OpenJobDialog();
    void SaveJobDialog();
    void PageSelected(int Row);
    void UpdateStartButton();

    queue::TJobQueue& Queue;
    jobs::TSavedOptions& Settings;
    queue::TJobQueuePrompts& Prompts;
    jobs::TCopyJob Job;
    QListWidget* StartFramesTree;
    QStackedWidget* PageStack;
    QPushButton* LoadFromFileButton;
    QPushButton* SaveToFileButton;
    QPushButton* ResetJobButton;
    QPushButton* StartButton;
    std::vector<TJobOptionPage*> Pages; // owned by the stack
    TStartingAddressPage* StartingAddress;
    TLocationRestrictionsPage* Location;
    TJobProtocolsPage* Protocols;
    bool QueueShown = false;
    bool JobRunning = false;
    int ShownPage = -1;
};

} // namespace ui
