#pragma once

#include "ui/CommandLine.h"

#include <QWidget>

#include <string>

namespace queue {
class TJobQueue;
}

namespace ui {

// The "Start" page, where a job is defined. For now it holds the page's
// operations that the window and the command line use; the job definition
// pages fill it. Until then a job to edit is only noted in the trace log.
class TStartFrame final : public QWidget {
    Q_OBJECT

  public:
    // Queue is borrowed and must outlive the page.
    explicit TStartFrame(queue::TJobQueue& Queue, QWidget* Parent = nullptr);

    // Opens a job file for editing.
    void LoadJobFile(const std::string& Path);
    // A new job for Address, to be edited before it is queued.
    void NewJobFromAddress(const std::string& Address);
    // Queues a new job for Address with the defaults of a new job.
    TQueueAnswer CopyAddressNow(const std::string& Address);

  private:
    queue::TJobQueue& Queue;
};

} // namespace ui
