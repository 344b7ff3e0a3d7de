#pragma once

#include "messaging/SpiderOutputLabelQueue.h"
#include "messaging/SpiderOutputMsgQueue.h"

#include <QObject>

#include <cstdint>

namespace messaging {
class TSpiderOutputSplitter;
}

namespace ui {

// The output queue's notifier in the desktop program. Engine threads only
// hand it labels; it queues one call onto the GUI thread per batch, where the
// splitter takes the messages out and hands them to the views.
class TSpiderOutputRelay final : public QObject, public messaging::TSpiderOutputNotifier {
    Q_OBJECT

  public:
    // Becomes Queue's destination; both must outlive the relay.
    TSpiderOutputRelay(messaging::TSpiderOutputMessageQueue& Queue,
                       messaging::TSpiderOutputSplitter& Splitter, QObject* Parent = nullptr);
    // Leaves the queue first, so no engine thread calls a relay that is gone.
    ~TSpiderOutputRelay() override;

    // Any thread, with the output queue's lock held.
    bool NotifySpiderOutput(std::uint32_t Label) override;

  private:
    void DeliverLabels();

    messaging::TSpiderOutputMessageQueue& Queue;
    messaging::TSpiderOutputSplitter& Splitter;
    messaging::TSpiderOutputLabelQueue Labels; // filled on engine threads, emptied on the GUI thread
};

} // namespace ui
