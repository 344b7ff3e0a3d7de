#include "ui/StartFrame.h"

#include "base/AppTraceLog.h"
#include "jobs/JobTypes.h"
#include "queue/JobQueue.h"
#include "web/StartingURL.h"

#include <QLabel>
#include <QVBoxLayout>

namespace ui {

namespace {

constexpr const char* UnitName = "StartFrame";

} // namespace

TStartFrame::TStartFrame(queue::TJobQueue& Queue, QWidget* Parent) : QWidget(Parent), Queue(Queue) {
    setObjectName("StartFrame");
    auto* label = new QLabel(tr("Jobs will be defined here."), this);
    label->setAlignment(Qt::AlignCenter);
    label->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
}

void TStartFrame::LoadJobFile(const std::string& Path) {
    base::TraceLog.LogEntry(base::ttWarning, "No job page to edit " + Path, "LoadJobFile", UnitName);
}

void TStartFrame::NewJobFromAddress(const std::string& Address) {
    base::TraceLog.LogEntry(base::ttWarning, "No job page to edit " + Address, "NewJobFromAddress", UnitName);
}

TQueueAnswer TStartFrame::CopyAddressNow(const std::string& Address) {
    jobs::TCopyJob job;
    job.Reset();
    web::SetStartingURL(job, Address);
    switch (Queue.AddCopyJob(job)) {
    case queue::ajAdded: return TQueueAnswer::Added;
    case queue::ajQueueFull: return TQueueAnswer::QueueFull;
    default: return TQueueAnswer::Refused;
    }
}

} // namespace ui
